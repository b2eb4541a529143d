#pragma once

#include <QStringList>

namespace pondera {

// The fixed texts of the Information window, one entry per line, for the four text boxes
// TextMEMO(0) to TextMEMO(3). Columns are lined up for a font whose full-width characters are one
// em and whose half-width characters are half an em (the window uses such a font).
QStringList InformationMemoLines(int index);

}  // namespace pondera
