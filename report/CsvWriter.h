#pragma once

#include <string>

namespace pondera::report {

// The CSV every export writes: UTF-8 (the caller puts the byte-order mark first), commas, rows
// ended by CR LF, fields holding a comma, a quote or a line break quoted with the quotes doubled
// (RFC 4180). Numbers are the shortest text that reads back as the same value. Plain C++, so
// the workbook tool writes CSV without Qt.
inline constexpr const char *kCsvByteOrderMark = "\xEF\xBB\xBF";

class CsvRow {
  public:
    explicit CsvRow(std::string &out) : out_(out) {}
    CsvRow &text(const std::string &t);
    CsvRow &num(float v);
    CsvRow &num(double v);
    CsvRow &num(long long v);
    CsvRow &empty();
    void end() { out_ += "\r\n"; }

  private:
    void sep();
    std::string &out_;
    bool first_ = true;
};

}  // namespace pondera::report
