#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace pondera {

// The 22 anatomical landmarks the user marks on a picture, plus entry -1 whose only use is its
// name, the caption of the whole-body centre of gravity. Coordinates are model coordinates:
// picture pixels, origin at the lower-left corner, x to the right, z upward; y is carried along.
class ClassLANDMARK {
  public:
    ClassLANDMARK();

    int16_t GetLandMarkMaxNum() const { return 21; }
    int16_t GetLandMarkMinNum() const { return 0; }

    // Any value is accepted; an index outside -1..21 only fails at the next Cur operation.
    int16_t SetLandMarkCurNum(int16_t intValue);
    int16_t GetLandMarkCurNum() const { return curNum_; }

    int16_t SetLandMarkCurX(float sngValue);
    int16_t SetLandMarkCurY(float sngValue);
    int16_t SetLandMarkCurZ(float sngValue);
    float GetLandMarkCurX() const;
    float GetLandMarkCurY() const;
    float GetLandMarkCurZ() const;
    std::string GetLandMarkCurName() const;

    int16_t SetLandMarkX(int16_t intValue, float sngValue);
    int16_t SetLandMarkY(int16_t intValue, float sngValue);
    int16_t SetLandMarkZ(int16_t intValue, float sngValue);
    std::string GetLandMarkName(int16_t intValue) const;
    float GetLandMarkX(int16_t intValue) const;
    float GetLandMarkY(int16_t intValue) const;
    float GetLandMarkZ(int16_t intValue) const;

  private:
    struct Entry {
        const char *name;
        float x = 0, y = 0, z = 0;
    };
    static constexpr int kLowest = -1;
    static constexpr int kCount = 23;

    // Throws error 9 for an index outside -1..21.
    Entry &at(int16_t index);
    const Entry &at(int16_t index) const;

    std::array<Entry, kCount> entries_;
    int16_t curNum_ = 0;
};

}  // namespace pondera
