#pragma once

#include <QColor>

#include "app/ControlLayout.h"

class QWidget;

namespace pondera {

// A colour by the system colour index the window layouts are described with (5 window
// background, 8 window text, 14 highlighted text, 15 button face).
QColor SystemColour(int index);
// Sets the background a text box is filled with.
void SetBackground(QWidget *widget, const QColor &colour);
// Creates one control of the main window's layout table inside its container (not yet placed).
QWidget *MakeControl(const ControlSpec &entry, QWidget *parent);

}  // namespace pondera
