#include "store/xls/bytes.h"

#include "model/error.h"

namespace pondera::store {

void ByteReader::need(size_t n) const {
    if (n > bytes_.size() - pos_) malformed(std::string(what_) + " is truncated");
}

void malformed(const std::string &reason) {
    throw Error(kErrWorkbookOpen, "The workbook cannot be opened: " + reason + ".");
}

namespace {

template <typename Unit>
void appendUnitsAsUtf8(std::string &out, size_t count, Unit unitAt) {
    for (size_t i = 0; i < count; ++i) {
        uint32_t u = unitAt(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count) {
            uint32_t lo = unitAt(i + 1);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                ++i;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
        appendUtf8(out, u);
    }
}

// Decodes one code point from UTF-8 at s[i], advancing i; invalid sequences give U+FFFD.
uint32_t nextCodePoint(std::string_view s, size_t &i) {
    auto b0 = static_cast<uint8_t>(s[i++]);
    if (b0 < 0x80) return b0;
    int extra;
    uint32_t cp, min;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0xFFFD;
    }
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size() || (static_cast<uint8_t>(s[i]) & 0xC0) != 0x80) return 0xFFFD;
        cp = (cp << 6) | (static_cast<uint8_t>(s[i++]) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFD;
    return cp;
}

}  // namespace

void appendLatin1AsUtf8(std::string &out, const uint8_t *chars, size_t count) {
    for (size_t i = 0; i < count; ++i)
        appendUtf8(out, chars[i]);
}

void appendUtf16leAsUtf8(std::string &out, const uint8_t *chars, size_t count) {
    appendUnitsAsUtf8(out, count, [chars](size_t i) { return rd16(chars + 2 * i); });
}

std::string utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    appendUnitsAsUtf8(out, utf16.size(), [utf16](size_t i) { return uint32_t{utf16[i]}; });
    return out;
}

std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        uint32_t cp = nextCodePoint(utf8, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

bool fitsCompressed(std::u16string_view utf16) {
    for (char16_t c : utf16)
        if (c >= 0x100) return false;
    return true;
}

size_t utf16Length(std::string_view utf8) {
    size_t n = 0;
    for (size_t i = 0; i < utf8.size();)
        n += nextCodePoint(utf8, i) >= 0x10000 ? 2 : 1;
    return n;
}

size_t utf16Prefix(std::string_view utf8, size_t units) {
    size_t n = 0, i = 0;
    while (i < utf8.size()) {
        size_t next = i;
        n += nextCodePoint(utf8, next) >= 0x10000 ? 2 : 1;
        if (n > units) break;
        i = next;
    }
    return i;
}

}  // namespace pondera::store
