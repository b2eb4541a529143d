#include "report/CsvWriter.h"

#include <charconv>

#include "base/csv.h"

namespace pondera::report {

namespace {

template <typename T>
void number(std::string &out, T value) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    (void)ec;  // 32 characters hold every float, double and long long
    out.append(buf, static_cast<size_t>(end - buf));
}

}  // namespace

void CsvRow::sep() {
    if (!first_) out_ += ',';
    first_ = false;
}

CsvRow &CsvRow::text(const std::string &t) {
    sep();
    out_ += csvField(t);
    return *this;
}

CsvRow &CsvRow::num(float v) {
    sep();
    number(out_, v);
    return *this;
}

CsvRow &CsvRow::num(double v) {
    sep();
    number(out_, v);
    return *this;
}

CsvRow &CsvRow::num(long long v) {
    sep();
    number(out_, v);
    return *this;
}

CsvRow &CsvRow::empty() {
    sep();
    return *this;
}

}  // namespace pondera::report
