#pragma once

#include <QRect>
#include <string>
#include <vector>

class QFont;

namespace pondera {

// What a control of the main window is.
enum class ControlKind {
    Client,     // the window's client area
    Frame,      // a group box
    IdBox,      // the record's ID code text box, without a frame
    NameBox,    // the picture name box: read-only, without a frame
    MemoBox,    // a multi-line text box
    Option,     // an option button
    Label,      // a boxed caption
    TableBox,   // a read-only box of the landmark table
    TableName,  // a read-only, centred box of the landmark table
    Picture,    // the picture area
};

// One control: its object name (control arrays as "TextX(5)"), the object name of its container,
// kind, caption and rectangle in twips relative to the container.
struct ControlSpec {
    std::string name;
    std::string parent;
    ControlKind kind;
    std::string caption;
    int left, top, width, height;
};

// Every control of the main window in creation order, containers before their contents.
const std::vector<ControlSpec> &MainWindowControls();

// The client area of the main window in twips.
inline constexpr int kClientWidthTwips = 12705;
inline constexpr int kClientHeightTwips = 7965;

// Pixels per twip: 1/15 (96 dots per inch) with the designed font, more with a larger one, so
// that every text fits its box as it did on systems with large-font settings.
struct TwipScale {
    double pixelsPerTwip = 1.0 / 15.0;
    int pixels(int twips) const;
    QRect rect(int left, int top, int width, int height) const;
    QRect rect(const ControlSpec &entry) const {
        return rect(entry.left, entry.top, entry.width, entry.height);
    }
};

// The scale for a font: 1/15 times FontScale.
TwipScale TwipScaleForFont(const QFont &font);

}  // namespace pondera
