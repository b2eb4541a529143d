#include "fuzz_entry.h"

#include <cstring>
#include <memory>
#include <span>

#include "error.h"
#include "xls_workbook.h"

namespace pondera::fuzz {

namespace {

std::unique_ptr<store::XlsWorkbook> load(std::span<const uint8_t> bytes) {
    auto book = std::make_unique<store::XlsWorkbook>();
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), "PK\3\4", 4) == 0) {
        book->loadOoxml(bytes);
    } else {
        book->loadCompoundFile(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    }
    return book;
}

void readSheets(store::Workbook &book) {
    for (const char *name : {"ID", "COGS", "LANDMARK"}) {
        try {
            store::Worksheet &s = book.sheet(name);
            for (int32_t row = 1; row <= 8; ++row) {
                for (int32_t col = 1; col <= 8; ++col)
                    (void)s.cell(row, col);
            }
            (void)s.cell(65536, 256);
        } catch (const Error &) {
        }
    }
}

}  // namespace

void runWorkbookInput(const uint8_t *data, size_t size) {
    std::unique_ptr<store::XlsWorkbook> book;
    try {
        book = load({data, size});
    } catch (const Error &) {
        return;
    }
    readSheets(*book);
    std::vector<uint8_t> saved;
    try {
        try {
            book->sheet("ID").setCell(7, 4, store::CellValue::str("fuzz"));
        } catch (const Error &) {
            store::Worksheet &added = book->addSheet();
            added.setCell(1, 1, store::CellValue::integer(1));
        }
        saved = book->serialize();
    } catch (const Error &) {
        return;
    }
    // What the engine wrote it must read back: no Error is expected here.
    auto again = load(saved);
    readSheets(*again);
}

}  // namespace pondera::fuzz
