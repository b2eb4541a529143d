#pragma once

#include <QPixmap>

namespace pondera {

// The About window's 32 x 32 icon, drawn in colours of the classic 16-colour palette: a small
// standing figure with the centre-of-gravity mark at its waist.
QPixmap AboutIconPixmap();

}  // namespace pondera
