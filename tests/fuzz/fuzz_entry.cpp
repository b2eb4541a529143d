#include "tests/fuzz/fuzz_entry.h"

#include <zip.h>

#include <memory>
#include <span>

#include "base/error.h"
#include "store/xls/workbook_engine.h"
#include "store/xls/xls_workbook.h"

namespace pondera::fuzz {

namespace {

// Through the engine's own entry for bytes in memory, as a file would reach it.
std::unique_ptr<store::XlsWorkbook> load(std::span<const uint8_t> bytes) {
    std::unique_ptr<store::Workbook> book = store::makeWorkbookEngine()->openBytes(bytes, "input");
    // The engine makes only its own workbooks; the fuzzer also needs their serialize().
    return std::unique_ptr<store::XlsWorkbook>(static_cast<store::XlsWorkbook *>(book.release()));
}

// An input that starts with '<' is the XML of one worksheet: it is packed, uncompressed, into
// an OOXML package with a fixed workbook and shared strings, so that mutations reach the XML
// reader instead of failing the zip checksums.
std::vector<uint8_t> packSheetXml(std::span<const uint8_t> xml) {
    static const std::pair<const char *, std::string> kFixed[] = {
        {"xl/workbook.xml",
         R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
         R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
         R"(<sheets><sheet name="ID" sheetId="1" r:id="rId1"/></sheets></workbook>)"},
        {"xl/_rels/workbook.xml.rels",
         R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
         R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>)"
         R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/>)"
         R"(</Relationships>)"},
        {"xl/sharedStrings.xml",
         R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><si><t>Code</t></si>)"
         R"(<si><r><t>性別</t></r><r><t>(0:男／1:女)</t></r><rPh><t>セイベツ</t></rPh></si>)"
         R"(<si><t>Memo</t></si><si><t>x</t></si><si><t>z</t></si><si><t/></si><si><t>a_x000D_b</t></si>)"
         R"(<si><t>demo0</t></si><si><t>demo1</t></si><si><t>demo2</t></si></sst>)"},
    };
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t *src = zip_source_buffer_create(nullptr, 0, 0, &err);
    zip_t *z = zip_open_from_source(src, ZIP_TRUNCATE, &err);
    std::vector<uint8_t> out;
    if (z) {
        zip_source_keep(src);
        auto add = [&](const char *name, const void *data, size_t size) {
            zip_int64_t i = zip_file_add(z, name, zip_source_buffer(z, data, size, 0), 0);
            if (i >= 0) zip_set_file_compression(z, static_cast<zip_uint64_t>(i), ZIP_CM_STORE, 0);
        };
        for (const auto &[name, text] : kFixed)
            add(name, text.data(), text.size());
        add("xl/worksheets/sheet1.xml", xml.data(), xml.size());
        zip_stat_t st;
        if (zip_close(z) == 0 && zip_source_stat(src, &st) == 0 && zip_source_open(src) == 0) {
            out.resize(st.size);
            zip_int64_t n = zip_source_read(src, out.data(), out.size());
            out.resize(n < 0 ? 0 : static_cast<size_t>(n));
            zip_source_close(src);
        }
    }
    zip_source_free(src);
    zip_error_fini(&err);
    return out;
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
    std::vector<uint8_t> packed;
    if (size > 0 && data[0] == '<') {
        packed = packSheetXml({data, size});
        data = packed.data();
        size = packed.size();
    }
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
