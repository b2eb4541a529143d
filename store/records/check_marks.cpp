#include "store/records/check_marks.h"

#include <charconv>

namespace pondera::store {

std::string encodeCheckMarks(const CheckMarks &marks) {
    std::string text;
    for (size_t i = 0; i < marks.size(); ++i) {
        if (marks[i]) text += (text.empty() ? "" : " ") + std::to_string(i);
    }
    return text;
}

CheckMarks decodeCheckMarks(const std::string &text) {
    CheckMarks marks{};
    const char *p = text.data(), *end = p + text.size();
    while (p < end) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        int n = -1;
        auto [next, ec] = std::from_chars(p, end, n);
        const bool whole = ec == std::errc() && (next == end || *next == ' ');
        if (whole && n >= 0 && n < int(marks.size())) marks[size_t(n)] = true;
        p = next;
        while (p < end && *p != ' ')
            ++p;
    }
    return marks;
}

CheckMarks GetCheckMarks(ClassEXCEL &store) {
    return decodeCheckMarks(store.GetRecordValue(kCheckMarksKey));
}

void PutCheckMarks(ClassEXCEL &store, const CheckMarks &marks) {
    store.PutRecordValue(kCheckMarksKey, encodeCheckMarks(marks));
}

}  // namespace pondera::store
