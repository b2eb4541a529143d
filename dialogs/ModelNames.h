#pragma once

#include <QString>
#include <string>

namespace pondera {

// A landmark or segment name of the body model as the windows show it: the model's own
// (Japanese) name, translated into the interface language. The workbook keeps the model's name.
// Landmark and segment names share some Japanese words ("右足" is the toe landmark and the foot
// segment), so each kind has its own entry for translators.
QString LandMarkNameText(const std::string &name);
QString SegmentNameText(const std::string &name);

}  // namespace pondera
