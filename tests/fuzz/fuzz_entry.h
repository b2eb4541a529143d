#pragma once

#include <cstddef>
#include <cstdint>

namespace pondera::fuzz {

// Runs one input through the workbook engine the way the program uses it, all in memory:
// load the bytes (OOXML by its zip signature, a compound file otherwise, as opening a file
// decides), read the program's sheets, write a cell, serialize the workbook as a save would
// (which rewrites the sheets written to and carries the others), and load what was written.
// Refusing the input (pondera::Error) is the expected outcome for most inputs; anything else
// escaping, a failure to read back what the engine wrote, a crash, a hang or a sanitizer
// report is a fault. An input starting with '<' is taken as the XML of a worksheet and packed
// into an OOXML package first.
void runWorkbookInput(const uint8_t *data, size_t size);

}  // namespace pondera::fuzz
