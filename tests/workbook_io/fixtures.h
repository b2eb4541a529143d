#pragma once

#include <string>

namespace pondera::testing {

// A file of tests/workbook_io/fixtures.
inline std::string fixture(const std::string &name) {
    return std::string(PONDERA_FIXTURES) + "/" + name;
}

}  // namespace pondera::testing
