#include "model/ClassSEGMENT.h"

#include "base/error.h"
#include "model/BodyFacts.h"

namespace pondera {

namespace {

// The coefficient tables give the limbs as pairs; each side gets half, halved in double and
// rounded once to float so the stored ratio is the float nearest the half.
float half(double pair) {
    return static_cast<float>(pair / 2.0);
}

// One step of the computation: evaluated in double from float operands, rounded when stored.
float segmentPoint(float proximal, float distal, float ratio) {
    const double p = proximal;
    return static_cast<float>(p + (static_cast<double>(distal) - p) * static_cast<double>(ratio));
}
float accumulate(float sum, float mass, float value) {
    return static_cast<float>(static_cast<double>(sum) +
                              static_cast<double>(mass) * static_cast<double>(value));
}

}  // namespace

ClassSEGMENT::ClassSEGMENT(const ClassLANDMARK &landMarks)
    : landMarks_(landMarks),
      table_{{
          // name, proximal, distal, {male, female} mass, {male, female} COG position
          {"頭", 1, 0, {0.044f, 0.037f}, {0.63f, 0.63f}},
          {"頸", 2, 1, {0.033f, 0.026f}, {0.50f, 0.50f}},
          {"体幹", 3, 2, {0.479f, 0.487f}, {0.52f, 0.52f}},
          {"右上腕", 4, 5, {half(0.053), half(0.051)}, {0.46f, 0.46f}},
          {"右前腕", 5, 6, {half(0.030), half(0.026)}, {0.41f, 0.42f}},
          {"右手", 6, 7, {half(0.018), half(0.012)}, {0.50f, 0.50f}},
          {"左上腕", 8, 9, {half(0.053), half(0.051)}, {0.46f, 0.46f}},
          {"左前腕", 9, 10, {half(0.030), half(0.026)}, {0.41f, 0.42f}},
          {"左手", 10, 11, {half(0.018), half(0.012)}, {0.50f, 0.50f}},
          {"右大腿", 12, 13, {half(0.200), half(0.223)}, {0.42f, 0.42f}},
          {"右下腿", 13, 14, {half(0.107), half(0.107)}, {0.41f, 0.42f}},
          {"右足", 15, 16, {half(0.038), half(0.030)}, {0.50f, 0.50f}},
          {"左大腿", 17, 18, {half(0.200), half(0.223)}, {0.42f, 0.42f}},
          {"左下腿", 18, 19, {half(0.107), half(0.107)}, {0.41f, 0.42f}},
          {"左足", 20, 21, {half(0.038), half(0.030)}, {0.50f, 0.50f}},
      }} {}

int16_t ClassSEGMENT::CalcCOGB() {
    // Both sexes read the same positions: take them once rather than 12 times per segment.
    std::array<Point, kLandmarkCount> at;
    for (int16_t i = 0; i < static_cast<int16_t>(at.size()); ++i)
        at[i] = {landMarks_.GetLandMarkX(i), landMarks_.GetLandMarkY(i),
                 landMarks_.GetLandMarkZ(i)};

    for (int s = 0; s < kSexes; ++s) {
        Point sum;
        float massSum = 0;
        for (int k = 0; k < kSegments; ++k) {
            const Row &row = table_[k];
            const float r = row.position[s];
            const float m = row.mass[s];
            const Point &p = at[row.proximal];
            const Point &d = at[row.distal];
            Point &seg = segments_[s][k];
            seg.x = segmentPoint(p.x, d.x, r);
            seg.y = segmentPoint(p.y, d.y, r);
            seg.z = segmentPoint(p.z, d.z, r);
            sum.x = accumulate(sum.x, m, seg.x);
            sum.y = accumulate(sum.y, m, seg.y);
            sum.z = accumulate(sum.z, m, seg.z);
            massSum = accumulate(massSum, 1.0f, m);
        }
        // The mass ratios of a sex total 1.002 (male) or 0.999 (female), not 1. Without dividing
        // by that total a body standing at x = 1000 would be placed 2 px off, growing with the
        // distance from the origin; the weighted mean is what the centre of gravity is.
        body_[s].x = static_cast<float>(static_cast<double>(sum.x) / massSum);
        body_[s].y = static_cast<float>(static_cast<double>(sum.y) / massSum);
        body_[s].z = static_cast<float>(static_cast<double>(sum.z) / massSum);
    }
    return 1;
}

int ClassSEGMENT::sexSlot() const {
    if (!isValidSex(sex_))
        throw Error(kErrSubscript,
                    "Subscript out of range: sex " + std::to_string(sex_) + " (valid: 0 or 1)");
    return sex_;
}

const ClassSEGMENT::Point &ClassSEGMENT::segment(int16_t intSegNum) const {
    if (intSegNum < 0 || intSegNum >= kSegments)
        throw Error(kErrSubscript, "Subscript out of range: segment " + std::to_string(intSegNum) +
                                       " (valid: 0..14)");
    return segments_[sexSlot()][intSegNum];
}

const ClassSEGMENT::Row &ClassSEGMENT::row(int16_t intSegNum, int16_t intSex) const {
    if (intSegNum < 0 || intSegNum >= kSegments)
        throw Error(kErrSubscript, "Subscript out of range: segment " + std::to_string(intSegNum) +
                                       " (valid: 0..14)");
    if (!isValidSex(intSex))
        throw Error(kErrSubscript,
                    "Subscript out of range: sex " + std::to_string(intSex) + " (valid: 0 or 1)");
    return table_[intSegNum];
}

std::string ClassSEGMENT::GetCOGSName(int16_t intValue) const {
    return row(intValue).name;
}

int16_t ClassSEGMENT::GetSegProximalNum(int16_t intSegNum) const {
    return row(intSegNum).proximal;
}
int16_t ClassSEGMENT::GetSegDistalNum(int16_t intSegNum) const {
    return row(intSegNum).distal;
}
float ClassSEGMENT::GetSegMass(int16_t intSegNum, int16_t intSex) const {
    return row(intSegNum, intSex).mass[intSex];
}
float ClassSEGMENT::GetSegPosition(int16_t intSegNum, int16_t intSex) const {
    return row(intSegNum, intSex).position[intSex];
}

float ClassSEGMENT::GetCOGBX() const {
    return body_[sexSlot()].x;
}
float ClassSEGMENT::GetCOGBY() const {
    return body_[sexSlot()].y;
}
float ClassSEGMENT::GetCOGBZ() const {
    return body_[sexSlot()].z;
}

int16_t ClassSEGMENT::SetSex(int16_t intValue) {
    sex_ = intValue;
    return 1;
}

float ClassSEGMENT::GetCOGSX(int16_t n) const {
    return segment(n).x;
}
float ClassSEGMENT::GetCOGSY(int16_t n) const {
    return segment(n).y;
}
float ClassSEGMENT::GetCOGSZ(int16_t n) const {
    return segment(n).z;
}

}  // namespace pondera
