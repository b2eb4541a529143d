#pragma once

#include <QString>
#include <cstdint>

#include "report/RecordData.h"

namespace pondera::report {

// The texts that state a record's results, shared by the window, the annotated picture and the
// report so all three say the same. Coordinates are model pixels, to one decimal.
QString sexText(int16_t sex);                  // "Male", "Female", "sex code 7"
QString cogText(const Results &results);       // "COG (309.0, 246.0)"
QString statureText(const BalanceFigures &f);  // "COG height 54.1 % of stature"
QString baseText(const BalanceFigures &f);     // "Base 280.0–325.0: inside, 64 %"
// The base text of a record's results, with "(depends on points to check)" after the verdict when
// marked landmarks could turn it.
QString baseText(const Results &results);
QString placedText(const BalanceFigures &f);  // "22/22 landmarks placed"
QString sourceText();                         // "Coefficients: 松井秀治（1958）"
QString oneDecimal(double value);

}  // namespace pondera::report
