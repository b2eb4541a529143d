#include "report/CsvWriter.h"

#include <charconv>

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
    if (t.find_first_of(",\"\r\n") == std::string::npos) {
        out_.append(t.data(), static_cast<qsizetype>(t.size()));
        return *this;
    }
    out_.append('"');
    for (char c : t) {
        if (c == '"') out_.append('"');
        out_.append(c);
    }
    out_.append('"');
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
