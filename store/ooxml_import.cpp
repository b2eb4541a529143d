#include "ooxml_import.h"

#include "error.h"

namespace pondera::store {

ImportedWorkbook importOoxml(std::span<const uint8_t>) {
    throw Error(kErrWorkbookOpen, "OOXML workbooks are not read yet");
}

}  // namespace pondera::store
