#include "report/CsvWriter.h"

#include <charconv>

#include "base/csv.h"

namespace pondera::report {

namespace {

template <typename T>
void number(QByteArray &out, T value) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    (void)ec;  // 32 characters hold every float, double and long long
    out.append(buf, end - buf);
}

}  // namespace

void CsvRow::sep() {
    if (!first_) out_.append(',');
    first_ = false;
}

CsvRow &CsvRow::text(const std::string &t) {
    sep();
    const std::string field = csvField(t);
    out_.append(field.data(), static_cast<qsizetype>(field.size()));
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
