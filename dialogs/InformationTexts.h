#pragma once

#include <QStringList>

namespace pondera {

// The fixed texts of the Information window, one entry per line, for the four text boxes
// TextMEMO(0) to TextMEMO(3), and the "what's new" box. Columns are lined up for a font whose
// full-width characters are one em and whose half-width characters are half an em (the window uses
// such a font).
QStringList InformationMemoLines(int index);

// The index of the "what's new" text, a box of its own below the four.
constexpr int kWhatsNewMemo = 4;

}  // namespace pondera
