// libFuzzer entry of the workbook reader (built with -DPONDERA_FUZZ=ON and clang).
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    pondera::fuzz::runWorkbookInput(data, size);
    return 0;
}
