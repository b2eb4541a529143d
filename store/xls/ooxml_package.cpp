#include "store/xls/ooxml_package.h"

#include <cstring>

#include "base/error.h"
#include "store/xls/bytes.h"

namespace pondera::store::ooxml {

[[noreturn]] void fail(const std::string &why) {
    throw Error(kErrWorkbookOpen, "The OOXML workbook cannot be read: " + why);
}

namespace {

struct ParseState {
    XML_Parser parser;
    XmlHandler *handler;
    std::string error;
};

void stopWith(ParseState *st, std::string why) {
    if (st->error.empty()) st->error = std::move(why);
    XML_StopParser(st->parser, XML_FALSE);
}

// Callbacks never let an exception cross expat's C frames: the first fault is kept and the
// parser stopped, and the fault is raised again once expat has returned.
void XMLCALL onStart(void *ud, const XML_Char *name, const XML_Char **atts) {
    auto *st = static_cast<ParseState *>(ud);
    try {
        st->handler->start(localName(name), atts);
    } catch (const std::exception &e) {
        stopWith(st, e.what());
    }
}
void XMLCALL onEnd(void *ud, const XML_Char *name) {
    auto *st = static_cast<ParseState *>(ud);
    try {
        st->handler->end(localName(name));
    } catch (const std::exception &e) {
        stopWith(st, e.what());
    }
}
void XMLCALL onText(void *ud, const XML_Char *s, int len) {
    auto *st = static_cast<ParseState *>(ud);
    try {
        st->handler->text(s, static_cast<size_t>(len));
    } catch (const std::exception &e) {
        stopWith(st, e.what());
    }
}
// Package parts carry no document type declaration; one is refused, which also shuts out
// entity expansion tricks.
void XMLCALL onDoctype(void *ud, const XML_Char *, const XML_Char *, const XML_Char *, int) {
    stopWith(static_cast<ParseState *>(ud), "a document type declaration is not allowed");
}

}  // namespace

void parsePart(Package &pkg, zip_uint64_t index, const std::string &name, XmlHandler &handler) {
    std::unique_ptr<std::remove_pointer_t<XML_Parser>, void (*)(XML_Parser)> parser(
        XML_ParserCreateNS(nullptr, kNsSep), XML_ParserFree);
    if (!parser) throw std::bad_alloc();
    ParseState st{parser.get(), &handler, {}};
    XML_SetUserData(parser.get(), &st);
    XML_SetElementHandler(parser.get(), onStart, onEnd);
    XML_SetCharacterDataHandler(parser.get(), onText);
    XML_SetStartDoctypeDeclHandler(parser.get(), onDoctype);
    pkg.read(index, name, [&](const char *data, size_t n, bool last) {
        if (XML_Parse(parser.get(), data, static_cast<int>(n), last ? XML_TRUE : XML_FALSE) ==
            XML_STATUS_OK)
            return;
        if (!st.error.empty()) fail("part " + name + ": " + st.error);
        fail("part " + name + " is not well-formed XML (line " +
             std::to_string(XML_GetCurrentLineNumber(parser.get())) + ": " +
             XML_ErrorString(XML_GetErrorCode(parser.get())) + ")");
    });
}

void parsePart(Package &pkg, const std::string &name, XmlHandler &handler) {
    auto index = pkg.find(name);
    if (!index) fail("part " + name + " is missing");
    parsePart(pkg, *index, name, handler);
}

// ---------------------------------------------------------------------------------------------
// Text helpers

// Spreadsheets write characters XML cannot carry (carriage return, other controls) as
// "_xHHHH_", and a literal "_x0041_" as "_x005F_x0041_". Undo that escape.
std::string unescapeText(std::string s) {
    if (s.find("_x") == std::string::npos) return s;
    auto unit = [&](size_t at) -> std::optional<uint32_t> {
        if (at + 7 > s.size() || s[at] != '_' || s[at + 1] != 'x' || s[at + 6] != '_')
            return std::nullopt;
        uint32_t v = 0;
        auto [p, ec] = std::from_chars(s.data() + at + 2, s.data() + at + 6, v, 16);
        if (ec != std::errc() || p != s.data() + at + 6) return std::nullopt;
        return v;
    };
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        auto u = unit(i);
        if (!u) {
            out += s[i++];
            continue;
        }
        i += 7;
        uint32_t cp = *u;
        if (cp >= 0xD800 && cp < 0xDC00) {
            auto low = unit(i);
            if (low && *low >= 0xDC00 && *low < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (*low - 0xDC00);
                i += 7;
            } else {
                cp = 0xFFFD;
            }
        } else if (cp >= 0xDC00 && cp < 0xE000) {
            cp = 0xFFFD;
        }
        appendUtf8(out, cp);
    }
    return out;
}

std::string_view trim(std::string_view s) {
    auto ws = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && ws(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && ws(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string quoted(std::string_view s) {
    constexpr size_t kShown = 40;
    std::string out = "\"";
    out += s.substr(0, kShown);
    if (s.size() > kShown) out += "...";
    return out + "\"";
}

// "AB12" -> 0-based row 11, column 27. Letters must be upper case, as the format writes them.
// ---------------------------------------------------------------------------------------------
// Package relationships and part names

bool typeIs(const std::string &type, std::string_view kind) {
    return type.size() > kind.size() && type.ends_with(kind) &&
           type[type.size() - kind.size() - 1] == '/';
}

namespace {

class RelsHandler : public XmlHandler {
  public:
    std::vector<Relationship> rels;
    void start(std::string_view name, const XML_Char **atts) override {
        if (name != "Relationship") return;
        const char *id = attribute(atts, "Id");
        const char *type = attribute(atts, "Type");
        const char *target = attribute(atts, "Target");
        const char *mode = attribute(atts, "TargetMode");
        if (!id || !type || !target)
            throw std::runtime_error("a relationship lacks Id, Type or Target");
        rels.push_back({id, type, target, mode && std::string_view(mode) == "External"});
    }
    void end(std::string_view) override {}
    void text(const char *, size_t) override {}
};

}  // namespace

// "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels"
std::string relsPartOf(const std::string &part) {
    size_t slash = part.rfind('/');
    std::string dir = slash == std::string::npos ? "" : part.substr(0, slash + 1);
    std::string file = slash == std::string::npos ? part : part.substr(slash + 1);
    return dir + "_rels/" + file + ".rels";
}

// Resolves a relationship target against the folder of the part that holds the relationship,
// undoing percent escapes and "." / ".." steps. A target that climbs out of the package is
// refused.
std::string resolveTarget(const std::string &sourcePart, const std::string &target) {
    std::string decoded;
    for (size_t i = 0; i < target.size(); ++i) {
        uint8_t v = 0;
        if (target[i] == '%' && i + 2 < target.size() &&
            std::from_chars(target.data() + i + 1, target.data() + i + 3, v, 16).ptr ==
                target.data() + i + 3) {
            decoded += static_cast<char>(v);
            i += 2;
        } else {
            decoded += target[i];
        }
    }
    std::string path;
    if (!decoded.empty() && decoded.front() == '/') {
        path = decoded.substr(1);
    } else {
        size_t slash = sourcePart.rfind('/');
        path = (slash == std::string::npos ? "" : sourcePart.substr(0, slash + 1)) + decoded;
    }
    std::vector<std::string> parts;
    size_t from = 0;
    while (from <= path.size()) {
        size_t to = path.find('/', from);
        if (to == std::string::npos) to = path.size();
        std::string seg = path.substr(from, to - from);
        if (seg == "..") {
            if (parts.empty())
                fail("relationship target " + quoted(target) + " leaves the package");
            parts.pop_back();
        } else if (!seg.empty() && seg != ".") {
            parts.push_back(seg);
        }
        from = to + 1;
    }
    if (parts.empty()) fail("relationship target " + quoted(target) + " names no part");
    std::string out;
    for (const auto &p : parts)
        out += (out.empty() ? "" : "/") + p;
    return out;
}

std::vector<Relationship> readRels(Package &pkg, const std::string &part) {
    RelsHandler h;
    std::string relsName = relsPartOf(part);
    if (auto index = pkg.find(relsName)) parsePart(pkg, *index, relsName, h);
    return std::move(h.rels);
}

}  // namespace pondera::store::ooxml
