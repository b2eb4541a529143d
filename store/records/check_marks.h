#pragma once

#include <array>
#include <string>

#include "store/records/ClassEXCEL.h"

// Landmarks marked for the user to check (by detection), kept with their record as the record's
// own value under kCheckMarksKey: the landmark numbers in ascending order, blank-separated
// ("11 16 21"); no value when none is marked.
namespace pondera::store {

inline constexpr const char *kCheckMarksKey = "check";
using CheckMarks = std::array<bool, 22>;

std::string encodeCheckMarks(const CheckMarks &marks);
// Numbers outside 0-21 and anything that is no number are ignored (a cell edited by hand).
CheckMarks decodeCheckMarks(const std::string &text);

// The current record's marks.
CheckMarks GetCheckMarks(ClassEXCEL &store);
void PutCheckMarks(ClassEXCEL &store, const CheckMarks &marks);

}  // namespace pondera::store
