#pragma once

// Little-endian byte primitives for the compound file, the BIFF8 records and the record
// store's journal: a growing writer
// that builds a whole file in one buffer, a bounds-checked reader over bytes read from disk, and
// the text conversions between the API's UTF-8 and the file's UTF-16 / 8-bit forms.

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pondera::store {

inline uint16_t rd16(const uint8_t *p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t rd32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t rd64(const uint8_t *p) {
    return static_cast<uint64_t>(rd32(p)) | (static_cast<uint64_t>(rd32(p + 4)) << 32);
}
inline double rdf64(const uint8_t *p) {
    uint64_t bits = rd64(p);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}
inline void wr16(uint8_t *p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void wr32(uint8_t *p, uint32_t v) {
    wr16(p, static_cast<uint16_t>(v));
    wr16(p + 2, static_cast<uint16_t>(v >> 16));
}
inline void wr64(uint8_t *p, uint64_t v) {
    wr32(p, static_cast<uint32_t>(v));
    wr32(p + 4, static_cast<uint32_t>(v >> 32));
}

// An allocator that leaves new bytes uninitialised: buffers of tens of megabytes are filled
// right after they grow, so zeroing them first would only cost time.
template <typename T>
struct NoInitAllocator : std::allocator<T> {
    using std::allocator<T>::allocator;
    template <typename U>
    struct rebind {
        using other = NoInitAllocator<U>;
    };
    template <typename U>
    void construct(U *p) noexcept {
        ::new (static_cast<void *>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U *p, Args &&...args) {
        ::new (static_cast<void *>(p)) U(std::forward<Args>(args)...);
    }
};
using Buffer = std::vector<uint8_t, NoInitAllocator<uint8_t>>;

// Appends little-endian values to one contiguous buffer. Positions returned by size() stay valid
// for patch*() after further appends (the buffer may move, offsets do not).
class ByteWriter {
  public:
    Buffer data;

    size_t size() const { return data.size(); }
    uint8_t *grow(size_t n) {
        size_t at = data.size();
        data.resize(at + n);
        return data.data() + at;
    }
    void u8(uint8_t v) { data.push_back(v); }
    void u16(uint16_t v) { wr16(grow(2), v); }
    void u32(uint32_t v) { wr32(grow(4), v); }
    void u64(uint64_t v) { wr64(grow(8), v); }
    void f64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        u64(bits);
    }
    void bytes(std::span<const uint8_t> b) {
        if (!b.empty()) std::memcpy(grow(b.size()), b.data(), b.size());
    }
    void zeros(size_t n) { std::memset(grow(n), 0, n); }
    void patch16(size_t at, uint16_t v) { wr16(data.data() + at, v); }
    void patch32(size_t at, uint32_t v) { wr32(data.data() + at, v); }
};

// Reads little-endian values from bytes that came from a file: every read is bounds-checked and
// a short read raises Error(kErrWorkbookOpen) naming what was being read.
class ByteReader {
  public:
    ByteReader(std::span<const uint8_t> bytes, const char *what) : bytes_(bytes), what_(what) {}

    size_t pos() const { return pos_; }
    size_t remaining() const { return bytes_.size() - pos_; }
    bool atEnd() const { return pos_ >= bytes_.size(); }
    void need(size_t n) const;
    void skip(size_t n) {
        need(n);
        pos_ += n;
    }
    uint8_t u8() {
        need(1);
        return bytes_[pos_++];
    }
    uint16_t u16() {
        need(2);
        uint16_t v = rd16(bytes_.data() + pos_);
        pos_ += 2;
        return v;
    }
    uint32_t u32() {
        need(4);
        uint32_t v = rd32(bytes_.data() + pos_);
        pos_ += 4;
        return v;
    }
    double f64() {
        need(8);
        double v = rdf64(bytes_.data() + pos_);
        pos_ += 8;
        return v;
    }
    std::span<const uint8_t> take(size_t n) {
        need(n);
        auto s = bytes_.subspan(pos_, n);
        pos_ += n;
        return s;
    }

  private:
    std::span<const uint8_t> bytes_;
    const char *what_;
    size_t pos_ = 0;
};

// Raises Error(kErrWorkbookOpen) with "The workbook cannot be opened: <reason>".
[[noreturn]] void malformed(const std::string &reason);

// Appends the UTF-8 form of one code point (the caller passes valid scalar values).
inline void appendUtf8(std::string &out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Text conversions. Character data in the file is either 8-bit (code points below 0x100, the
// "compressed" form) or UTF-16LE; unpaired surrogates and invalid UTF-8 become U+FFFD.
void appendLatin1AsUtf8(std::string &out, const uint8_t *chars, size_t count);
void appendUtf16leAsUtf8(std::string &out, const uint8_t *chars, size_t count);
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);
bool fitsCompressed(std::u16string_view utf16);
// Number of UTF-16 code units the UTF-8 text takes.
size_t utf16Length(std::string_view utf8);
// Bytes of the longest start of the UTF-8 text that takes at most `units` UTF-16 code units
// and ends on a whole character.
size_t utf16Prefix(std::string_view utf8, size_t units);

}  // namespace pondera::store
