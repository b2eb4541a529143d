#pragma once

// Constants and the name order of the compound file, shared by its reader and writer.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pondera::store::cfb {

inline constexpr uint32_t kDifSect = 0xFFFFFFFC;
inline constexpr uint32_t kFatSect = 0xFFFFFFFD;
inline constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
inline constexpr uint32_t kFreeSect = 0xFFFFFFFF;
inline constexpr uint32_t kNoStream = 0xFFFFFFFF;
inline constexpr size_t kMiniSectorSize = 64;
inline constexpr uint64_t kMiniCutoff = 4096;
inline constexpr size_t kDirEntrySize = 128;

// The container compares names by their upper-cased UTF-16 units (ASCII and Latin-1).
inline char16_t upper(char16_t c) {
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
    return c;
}

inline bool sameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i])) return false;
    return true;
}

// Siblings are ordered by length first, then by upper-cased code units.
inline bool nameLess(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return a.size() < b.size();
    for (size_t i = 0; i < a.size(); ++i) {
        const char16_t x = upper(a[i]), y = upper(b[i]);
        if (x != y) return x < y;
    }
    return false;
}

}  // namespace pondera::store::cfb
