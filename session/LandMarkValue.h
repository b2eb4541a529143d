#pragma once

#include <cstdint>

namespace pondera {

// A landmark's model coordinates.
struct LandMarkValue {
    int16_t index = 0;
    float x = 0;
    float z = 0;
    bool operator==(const LandMarkValue &) const = default;
};

}  // namespace pondera
