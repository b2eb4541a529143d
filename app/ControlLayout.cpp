#include "app/ControlLayout.h"

#include <algorithm>
#include <cmath>

#include "dialogs/FontScale.h"

namespace pondera {

namespace {

constexpr int kLandMarks = 22;

std::string indexed(const char *name, int index) {
    return std::string(name) + "(" + std::to_string(index) + ")";
}

std::vector<ControlSpec> buildControls() {
    using K = ControlKind;
    std::vector<ControlSpec> c{
        {"FormMain", "", K::Client, "", 0, 0, kClientWidthTwips, kClientHeightTwips},
        {"Frame1", "FormMain", K::Frame, "Information", 120, 0, 12495, 7815},
        {"TextIDCode", "Frame1", K::IdBox, "ID Code ", 120, 240, 1335, 210},
        {"OptionSex(0)", "Frame1", K::Option, "Male", 1560, 240, 735, 200},
        {"OptionSex(1)", "Frame1", K::Option, "Female", 2280, 240, 975, 200},
        {"TextPICTURENAME", "Frame1", K::NameBox, "Picture Name", 3240, 240, 7695, 200},
        {"TextMEMO", "Frame1", K::MemoBox, "MEMO", 9840, 480, 2535, 1095},
        {"Frame2", "Frame1", K::Frame, "", 9720, 1440, 2655, 6255},
        {"LabelLandMark(22)", "Frame2", K::Label, "LandMark", 480, 240, 1215, 255},
        {"LabelX(23)", "Frame2", K::Label, "X", 1680, 240, 495, 255},
        {"LabelZ(23)", "Frame2", K::Label, "Z", 2160, 240, 495, 255},
    };
    for (int n = 0; n < kLandMarks; ++n) {
        const int top = 480 + 240 * n;
        c.push_back(
            {indexed("OptionLandMark", n), "Frame2", K::Option, "Option2", 120, top, 255, 255});
        c.push_back({indexed("TextLandMark", n), "Frame2", K::TableName, "", 480, top, 1215, 270});
        c.push_back({indexed("TextX", n), "Frame2", K::TableBox, "", 1680, top, 495, 270});
        c.push_back({indexed("TextZ", n), "Frame2", K::TableBox, "", 2160, top, 495, 270});
    }
    c.push_back({"TextCOG", "Frame2", K::TableName, "", 480, 5880, 1215, 270});
    c.push_back({"TextCOGX", "Frame2", K::TableBox, "", 1680, 5880, 495, 270});
    c.push_back({"TextCOGZ", "Frame2", K::TableBox, "", 2160, 5880, 495, 270});
    // The picture area lies over Frame1, outside it, so disabling the frame never disables it.
    c.push_back({"Picture1", "FormMain", K::Picture, "", 240, 480, 9615, 7215});
    return c;
}

}  // namespace

const std::vector<ControlSpec> &MainWindowControls() {
    static const std::vector<ControlSpec> controls = buildControls();
    return controls;
}

int TwipScale::pixels(int twips) const {
    // At 1/15 this is (twips + 7) / 15: no twip count lies half-way between two pixels.
    return static_cast<int>(std::floor(twips * pixelsPerTwip + 0.5));
}

QRect TwipScale::rect(int left, int top, int width, int height) const {
    return QRect(pixels(left), pixels(top), pixels(width), pixels(height));
}

TwipScale TwipScaleForFont(const QFont &font) {
    return {FontScale(font) / 15.0};
}

}  // namespace pondera
