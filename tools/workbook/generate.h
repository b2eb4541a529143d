#pragma once

#include <cstdint>
#include <string>

#include "store/xls/workbook_engine.h"

namespace pondera::tool {

// Fills a new workbook with the program's three sheets (headers as the program writes them,
// demonstration records 0 to 3) and records 4 to records-1 of plausible landmark data with
// their centres of gravity, as if each had been digitized and shown once. pictureDir is the
// folder the demonstration picture names start with.
void generateWorkbook(store::Workbook &book, int32_t records, const std::string &pictureDir);

}  // namespace pondera::tool
