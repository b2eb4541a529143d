#include "store/records/record_export.h"

#include "base/error.h"
#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "store/records/ClassEXCEL.h"
#include "store/records/check_marks.h"
#include "store/records/record_layout.h"
#include "store/records/record_values.h"
#include "store/xls/workbook_engine.h"

namespace pondera::store {

void forEachHeaderCell(uint8_t sheet,
                       const std::function<void(int32_t, int32_t, const std::string &)> &put) {
    using namespace layout;
    if (sheet == kSheetID) {
        for (int32_t c = kColCode; c <= kColBodyX; ++c)
            put(kHeaderRow, c, kIdHeaders[c - 1]);
        put(kAxisRow, kColBodyX, kAxisX);
        put(kAxisRow, kColBodyZ, kAxisZ);
        return;
    }
    const ClassLANDMARK landMarks;
    const ClassSEGMENT segments(landMarks);
    const bool cogs = sheet == kSheetCOGS;
    put(kHeaderRow, kColCode, kCodeHeader);
    for (int16_t i = 0; i < (cogs ? kSegmentCount : kLandmarkCount); ++i) {
        put(kHeaderRow, xColumn(i), cogs ? segments.GetCOGSName(i) : landMarks.GetLandMarkName(i));
        put(kAxisRow, xColumn(i), kAxisX);
        put(kAxisRow, zColumn(i), kAxisZ);
    }
}

namespace {

// The record's check marks from the program's own data sheet, when the workbook has one.
std::array<bool, kLandmarkCount> checkMarksOnRow(Worksheet *data, int32_t row) {
    if (!data) return {};
    for (int32_t k = 0; k < layout::kDataMaxPairs; ++k) {
        const int32_t col = layout::kDataFirstKeyColumn + 2 * k;
        const CellValue key = data->cell(row, col), value = data->cell(row, col + 1);
        if (key.kind == CellValue::Kind::Text && key.text == kCheckMarksKey &&
            value.kind == CellValue::Kind::Text)
            return decodeCheckMarks(value.text);
    }
    return {};
}

}  // namespace

std::vector<RecordData> readWorkbookRecords(Workbook &book) {
    using namespace layout;
    Worksheet &id = book.sheet(kSheetNames[kSheetID]);
    Worksheet &landmark = book.sheet(kSheetNames[kSheetLANDMARK]);
    Worksheet *data = nullptr;
    try {
        data = &book.sheet(kSheetNames[kSheetRecordData]);
    } catch (const Error &e) {
        if (e.number() != kErrSubscript) throw;
    }
    const std::string idName = kSheetNames[kSheetID], landmarkName = kSheetNames[kSheetLANDMARK];
    std::vector<RecordData> records;
    for (int32_t code = 0; code < kMaxRecords; ++code) {
        const int32_t row = code + kFirstRecordRow;
        if (isEmptyCode(id.cell(row, kColCode))) break;
        RecordData r;
        r.code = static_cast<int16_t>(code);
        r.pictureName = cellToText(id.cell(row, kColPicture), idName, row, kColPicture);
        r.sex = cellToInt16(id.cell(row, kColSex), idName, row, kColSex);
        r.memo = cellToText(id.cell(row, kColMemo), idName, row, kColMemo);
        for (int32_t i = 0; i < kLandmarkCount; ++i) {
            const int32_t x = xColumn(i), z = zColumn(i);
            r.landmarks[static_cast<size_t>(i)] = {
                cellToSingle(landmark.cell(row, x), landmarkName, row, x),
                cellToSingle(landmark.cell(row, z), landmarkName, row, z)};
        }
        r.checkMarks = checkMarksOnRow(data, row);
        records.push_back(std::move(r));
    }
    return records;
}

std::vector<RecordData> readStoreRecords(ClassEXCEL &excel) {
    const int16_t shown = excel.GetCurCode();
    std::vector<RecordData> records;
    try {
        const int16_t first = excel.GetCodeMinNum(), last = excel.GetCodeMaxNum();
        for (int32_t code = first; code >= 0 && code <= last; ++code) {
            excel.SetCurCode(static_cast<int16_t>(code));
            RecordData r;
            r.code = static_cast<int16_t>(code);
            r.pictureName = excel.GetCurPictureName();
            r.sex = excel.GetCurSex();
            r.memo = excel.GetCurMemo();
            for (int16_t i = 0; i < kLandmarkCount; ++i)
                r.landmarks[static_cast<size_t>(i)] = {excel.GetLandMarkX(i),
                                                       excel.GetLandMarkZ(i)};
            r.checkMarks = GetCheckMarks(excel);
            records.push_back(std::move(r));
        }
    } catch (...) {
        excel.SetCurCode(shown);
        throw;
    }
    excel.SetCurCode(shown);
    return records;
}

}  // namespace pondera::store
