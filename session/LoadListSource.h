#pragma once

#include <cstdint>
#include <string>

namespace pondera {

// What the record selection dialog reads from the record store while it fills its list. The
// record store is the one real source; the interface lets the dialog be driven by a stand-in.
class LoadListSource {
  public:
    virtual ~LoadListSource() = default;
    virtual int16_t GetCodeMaxNum() = 0;
    virtual int16_t GetCodeMinNum() = 0;
    virtual int16_t SetCurCode(int16_t intValue) = 0;
    virtual int16_t GetCurSex() = 0;
    virtual std::string GetCurPictureName() = 0;
    // The current record's sex cell as text, as it stands; the list shows it when SetCurCode
    // raised error 13 because that cell holds no whole number (the picture name is then read).
    virtual std::string GetCurSexText() { return {}; }
};

}  // namespace pondera
