#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace pondera {

// Error numbers that message boxes show and callers test. They keep the values users and the
// workbook's history know them by.
enum ErrorNumber : int {
    kErrInvalidCall = 5,      // a call the data cannot serve (a registry value with no data)
    kErrOverflow = 6,         // 16-bit arithmetic overflowed
    kErrOutOfMemory = 7,      // memory exhausted, or a picture too large to hold
    kErrSubscript = 9,        // index out of range; also: no worksheet of that name
    kErrTypeMismatch = 13,    // a cell value that cannot be converted
    kErrInternal = 51,        // a fault of the program itself
    kErrFileAccess = 75,      // path or file access error
    kErrPathNotFound = 76,    // path not found
    kErrWorkbookOpen = 1004,  // the workbook file cannot be opened as a workbook
};

// The one error type of the program: a number from ErrorNumber (or another the platform gave)
// and a sentence saying what failed, for the message box and the log of a test.
class Error : public std::runtime_error {
  public:
    Error(int number, const std::string &message) : std::runtime_error(message), number_(number) {}
    int number() const noexcept { return number_; }

  private:
    int number_;
};

// 16-bit signed arithmetic as records and rows are numbered: a result outside -32768..32767
// raises the overflow error instead of wrapping.
inline int16_t checked16(long long value, const char *what = "16-bit value") {
    if (value < INT16_MIN || value > INT16_MAX)
        throw Error(kErrOverflow, std::string("Overflow: ") + what + " " + std::to_string(value) +
                                      " is outside -32768..32767");
    return static_cast<int16_t>(value);
}
inline int16_t add16(int16_t a, int16_t b) {
    return checked16(static_cast<long long>(a) + b, "sum");
}
inline int16_t sub16(int16_t a, int16_t b) {
    return checked16(static_cast<long long>(a) - b, "difference");
}
inline int16_t mul16(int16_t a, int16_t b) {
    return checked16(static_cast<long long>(a) * b, "product");
}

}  // namespace pondera
