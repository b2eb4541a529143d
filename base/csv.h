#pragma once

#include <string>
#include <string_view>

namespace pondera {

// One field of comma-separated values as RFC 4180 writes it: a field holding a comma, a quote
// or a line break is quoted with its quotes doubled, any other stands as it is. Every CSV the
// program writes (the export, the workbook tool's detect) goes through this.
inline std::string csvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

}  // namespace pondera
