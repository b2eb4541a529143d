#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "store/xls/biff_records.h"
#include "store/xls/bytes.h"
#include "store/xls/cfb.h"
#include "store/xls/workbook_engine.h"
#include "tests/support/test_support.h"

namespace pondera::store::test {

using pondera::testing::readBytes;
using pondera::testing::TempDir;
using pondera::testing::writeBytes;

// The workbook stream of a compound file.
inline std::vector<uint8_t> workbookStream(const std::vector<uint8_t> &file) {
    CfbReader cfb(file);
    return cfb.read(cfb.entries().at(cfb.find(u"Workbook").value()));
}

struct SheetBytes {
    std::string name;
    size_t offset;               // of its BOF in the stream
    std::vector<uint8_t> bytes;  // BOF to EOF
};

// The sheet substreams of a workbook stream in sheet order, as the BoundSheet8 records give them.
inline std::vector<SheetBytes> sheetSubstreams(const std::vector<uint8_t> &stream) {
    std::vector<SheetBytes> out;
    biff::RecordCursor cur(stream, 0);
    biff::Record rec;
    while (cur.next(rec) && rec.id != biff::kEof) {
        if (rec.id != biff::kBoundSheet) continue;
        SheetBytes s;
        s.offset = rd32(rec.data.data());
        uint8_t cch = rec.data[6];
        bool high = rec.data[7] & 1;
        if (high)
            appendUtf16leAsUtf8(s.name, rec.data.data() + 8, cch);
        else
            appendLatin1AsUtf8(s.name, rec.data.data() + 8, cch);
        out.push_back(s);
    }
    for (auto &s : out) {
        biff::RecordCursor c(stream, s.offset);
        int depth = 0;
        while (c.next(rec)) {
            depth += rec.id == biff::kBof ? 1 : rec.id == biff::kEof ? -1 : 0;
            if (depth == 0) break;
        }
        s.bytes.assign(stream.begin() + s.offset, stream.begin() + c.pos());
    }
    return out;
}

// The records of a substream except Index (whose absolute positions move with the sheet).
inline std::vector<std::pair<uint16_t, std::vector<uint8_t>>> recordsWithoutIndex(
    const std::vector<uint8_t> &sub) {
    std::vector<std::pair<uint16_t, std::vector<uint8_t>>> out;
    biff::RecordCursor c(sub, 0);
    biff::Record rec;
    while (c.next(rec))
        if (rec.id != biff::kIndex)
            out.emplace_back(rec.id, std::vector(rec.data.begin(), rec.data.end()));
    return out;
}

}  // namespace pondera::store::test
