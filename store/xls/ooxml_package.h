#pragma once

// The plumbing of the OOXML importer: the zip package read in memory with libzip, XML parts
// streamed through expat, relationships between parts, and the text helpers the parts need.

#include <expat.h>
#include <zip.h>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pondera::store::ooxml {

// Raises Error(kErrWorkbookOpen) with "The OOXML workbook cannot be read: why".
[[noreturn]] void fail(const std::string &why);

// Unpacked bytes read from all parts together. The largest workbook the program makes holds
// about 2.7 million cells, some 120 MB of sheet XML as a spreadsheet writes it; a package that
// inflates to more than this is refused rather than allowed to fill memory (zip bombs).
inline constexpr uint64_t kMaxUnpackedBytes = 384ull << 20;

// ---------------------------------------------------------------------------------------------
// Zip package

class Package {
  public:
    explicit Package(std::span<const uint8_t> bytes) {
        zip_error_t err;
        zip_error_init(&err);
        zip_source_t *src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &err);
        if (!src) {
            std::string why = zip_error_strerror(&err);
            zip_error_fini(&err);
            fail("the zip container cannot be opened (" + why + ")");
        }
        // No ZIP_CHECKCONS: it refuses packages that some producers write and spreadsheets open;
        // every part is still checked by its CRC as it is read, and the unpacked total is capped.
        zip_ = zip_open_from_source(src, ZIP_RDONLY, &err);
        if (!zip_) {
            zip_source_free(src);
            std::string why = zip_error_strerror(&err);
            zip_error_fini(&err);
            fail("the zip container is damaged (" + why + ")");
        }
        zip_error_fini(&err);
    }
    ~Package() { zip_discard(zip_); }
    Package(const Package &) = delete;
    Package &operator=(const Package &) = delete;

    // Part names of a package compare without regard to case.
    std::optional<zip_uint64_t> find(const std::string &name) const {
        zip_int64_t i = zip_name_locate(zip_, name.c_str(), ZIP_FL_NOCASE);
        if (i < 0) return std::nullopt;
        return static_cast<zip_uint64_t>(i);
    }

    // Feeds the part's bytes to sink in pieces; the running total of all parts is capped.
    template <typename Sink>
    void read(zip_uint64_t index, const std::string &name, Sink &&sink) {
        zip_file_t *f = zip_fopen_index(zip_, index, 0);
        if (!f) {
            fail("part " + name + " cannot be unpacked (" + zip_strerror(zip_) +
                 "; encrypted or of an unknown compression?)");
        }
        std::unique_ptr<zip_file_t, int (*)(zip_file_t *)> guard(f, zip_fclose);
        std::vector<char> buf(1 << 16);
        for (;;) {
            zip_int64_t n = zip_fread(f, buf.data(), buf.size());
            if (n < 0) fail("part " + name + " is damaged (" + zip_file_strerror(f) + ")");
            if (n == 0) break;
            unpacked_ += static_cast<uint64_t>(n);
            if (unpacked_ > kMaxUnpackedBytes)
                fail("the package unpacks to more than " + std::to_string(kMaxUnpackedBytes >> 20) +
                     " MB");
            sink(buf.data(), static_cast<size_t>(n), false);
        }
        sink(buf.data(), 0, true);
    }

  private:
    zip_t *zip_ = nullptr;
    uint64_t unpacked_ = 0;
};

// ---------------------------------------------------------------------------------------------
// XML streaming

// Element and attribute names arrive as "namespace|local"; the parts are matched by local
// name, as producers differ in the prefixes (and, in strict OOXML, the namespaces) they use.
inline constexpr char kNsSep = '|';

inline std::string_view localName(const XML_Char *name) {
    std::string_view s(name);
    size_t bar = s.rfind(kNsSep);
    return bar == std::string_view::npos ? s : s.substr(bar + 1);
}
inline bool hasNamespace(const XML_Char *name) {
    return std::strchr(name, kNsSep) != nullptr;
}

inline const XML_Char *attribute(const XML_Char **atts, std::string_view local,
                                 bool qualified = false) {
    for (; atts && atts[0]; atts += 2) {
        if (localName(atts[0]) == local && hasNamespace(atts[0]) == qualified) return atts[1];
    }
    return nullptr;
}

class XmlHandler {
  public:
    virtual ~XmlHandler() = default;
    virtual void start(std::string_view name, const XML_Char **atts) = 0;
    virtual void end(std::string_view name) = 0;
    virtual void text(const char *s, size_t n) = 0;
};

// Streams one part (by index or name; a missing part is a fault) through handler. A document
// type declaration is refused, which also shuts out entity expansion tricks.
void parsePart(Package &pkg, zip_uint64_t index, const std::string &name, XmlHandler &handler);
void parsePart(Package &pkg, const std::string &name, XmlHandler &handler);

// ---------------------------------------------------------------------------------------------
// Text helpers

// Undoes the "_xHHHH_" escape spreadsheets write for characters XML cannot carry.
std::string unescapeText(std::string s);
// Without blanks, tabs and line breaks at either end.
std::string_view trim(std::string_view s);
// A text for a message: in quotes, cut after 40 characters.
std::string quoted(std::string_view s);

template <typename T>
inline std::optional<T> parseUnsigned(std::string_view s) {
    s = trim(s);
    T v{};
    if (s.empty()) return std::nullopt;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
    return v;
}

// ---------------------------------------------------------------------------------------------
// Relationships

struct Relationship {
    std::string id, type, target;
    bool external = false;
};

// Whether a relationship type names that kind ("…/worksheet" is kind "worksheet").
bool typeIs(const std::string &type, std::string_view kind);
// "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels"
std::string relsPartOf(const std::string &part);
// Resolves a relationship target against the folder of the part that holds the relationship,
// undoing percent escapes and "." / ".." steps. A target that climbs out of the package is
// refused.
std::string resolveTarget(const std::string &sourcePart, const std::string &target);
// The relationships of a part (none when it has no relationship part).
std::vector<Relationship> readRels(Package &pkg, const std::string &part);

}  // namespace pondera::store::ooxml
