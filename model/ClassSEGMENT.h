#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "model/ClassLANDMARK.h"

namespace pondera {

// The body as 15 segments between pairs of landmarks, with mass ratios and centre-of-gravity
// position ratios for men (sex 0) and women (sex 1). CalcCOGB computes both sexes at once from
// the landmark set given at construction; the getters return the results of the current sex.
class ClassSEGMENT {
  public:
    explicit ClassSEGMENT(const ClassLANDMARK &landMarks);

    int16_t CalcCOGB();
    int16_t GetSegMinNum() const { return 0; }
    int16_t GetSegMaxNum() const { return 14; }
    std::string GetCOGSName(int16_t intValue) const;
    // The segment table itself, for the texts that describe it: the landmarks at the segment's
    // ends and its mass and centre-of-gravity position ratios for a sex (error 9 out of range).
    int16_t GetSegProximalNum(int16_t intSegNum) const;
    int16_t GetSegDistalNum(int16_t intSegNum) const;
    float GetSegMass(int16_t intSegNum, int16_t intSex) const;
    float GetSegPosition(int16_t intSegNum, int16_t intSex) const;
    float GetCOGBX() const;
    float GetCOGBY() const;
    float GetCOGBZ() const;
    // Any value is accepted; a sex outside 0..1 only fails at the next reading of a result.
    int16_t SetSex(int16_t intValue);
    int16_t GetSex() const { return sex_; }
    float GetCOGSX(int16_t intSegNum) const;
    float GetCOGSY(int16_t intSegNum) const;
    float GetCOGSZ(int16_t intSegNum) const;

    static constexpr int kSegments = 15;
    static constexpr int kSexes = 2;

  private:
    struct Point {
        float x = 0, y = 0, z = 0;
    };
    struct Row {
        const char *name;
        int16_t proximal, distal;
        std::array<float, kSexes> mass, position;
    };

    int sexSlot() const;  // throws error 9 unless the current sex is 0 or 1
    const Row &row(int16_t intSegNum, int16_t intSex = 0) const;
    const Point &segment(int16_t intSegNum) const;

    const ClassLANDMARK &landMarks_;
    std::array<Row, kSegments> table_;
    std::array<std::array<Point, kSegments>, kSexes> segments_{};
    std::array<Point, kSexes> body_{};
    int16_t sex_ = 0;
};

}  // namespace pondera
