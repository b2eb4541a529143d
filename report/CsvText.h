#pragma once

#include <string>
#include <vector>

#include "report/RecordData.h"

namespace pondera::report {

// Every record as one row of comma-separated values, with a header row naming each column in
// Japanese and English: code, picture name, sex, memo, body centre x and z, the 15 segment
// centres (x, z each) and the 22 landmarks (x, z each). UTF-8 with a byte-order mark (so
// spreadsheets take it as UTF-8), rows ended by CR LF, fields holding a comma, a quote or a line
// break quoted with the quotes doubled. The centres are computed from the landmarks; a record
// whose sex has no coefficients leaves them empty. Numbers are the shortest text that reads back
// as the same single-precision value. Plain C++: the workbook tool exports without Qt.
std::string recordsCsvText(const std::vector<RecordData> &records);

// The CSV's last field: the marked landmarks' numbers, and whether the verdict depends on them.
std::string checkField(const RecordData &record, const Results &results);

}  // namespace pondera::report
