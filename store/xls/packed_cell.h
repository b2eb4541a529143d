#pragma once

// How a PackedCell holds its value, shared by the sheet model, the reader and the writer.

#include <cstdint>
#include <cstring>

#include "store/xls/xls_workbook.h"

namespace pondera::store {

enum CellKind : uint8_t { kBlankFmt, kInt, kSingle, kDouble, kText, kBool, kErr };

inline double packedDouble(const PackedCell &c) {
    const uint64_t b = (static_cast<uint64_t>(c.hi) << 32) | c.lo;
    double d;
    std::memcpy(&d, &b, 8);
    return d;
}

inline float packedSingle(const PackedCell &c) {
    float f;
    std::memcpy(&f, &c.lo, 4);
    return f;
}

inline void setNumber(PackedCell &c, double d) {
    uint64_t b;
    std::memcpy(&b, &d, 8);
    c.kind = kDouble;
    c.lo = static_cast<uint32_t>(b);
    c.hi = static_cast<uint32_t>(b >> 32);
}

inline void setSingle(PackedCell &c, float f) {
    c.kind = kSingle;
    std::memcpy(&c.lo, &f, 4);
}

inline void setText(PackedCell &c, uint32_t stringIndex) {
    c.kind = kText;
    c.lo = stringIndex;
}

}  // namespace pondera::store
