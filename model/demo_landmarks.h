#pragma once

#include <array>

namespace pondera {

// Landmark positions (model x, z) of the two demonstration photographs: set A is the person in
// DEMO/demo001.bmp, set B the one in DEMO/demo003.bmp. Index = landmark number 0..21.
struct DemoPoint {
    int x, z;
};
using DemoLandmarkSet = std::array<DemoPoint, 22>;

inline constexpr DemoLandmarkSet kDemoSetA{{
    {294, 438}, {300, 372}, {303, 349}, {305, 215}, {256, 332}, {257, 345}, {323, 358}, {371, 358},
    {340, 337}, {418, 341}, {492, 346}, {532, 351}, {285, 215}, {274, 115}, {316, 42},  {325, 36},
    {280, 20},  {324, 213}, {332, 116}, {304, 56},  {303, 55},  {300, 38},
}};

inline constexpr DemoLandmarkSet kDemoSetB{{
    {309, 445}, {311, 379}, {313, 360}, {316, 241}, {271, 350}, {245, 283}, {247, 218}, {259, 184},
    {349, 351}, {391, 296}, {403, 231}, {395, 199}, {301, 233}, {302, 150}, {304, 66},  {313, 62},
    {277, 45},  {334, 235}, {363, 158}, {394, 75},  {381, 73},  {427, 45},
}};

}  // namespace pondera
