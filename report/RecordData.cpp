#include "report/RecordData.h"

#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "model/VerdictDoubt.h"
#include "model/error.h"
#include "store/records/ClassEXCEL.h"
#include "store/records/check_marks.h"
#include "store/records/record_layout.h"
#include "store/records/record_values.h"
#include "store/xls/workbook_engine.h"

namespace pondera::report {

Results computeResults(const RecordData &record) {
    ClassLANDMARK landMarks;
    ClassSEGMENT segments(landMarks);
    for (int16_t i = 0; i <= 21; ++i) {
        landMarks.SetLandMarkX(i, record.landmarks[static_cast<size_t>(i)].x);
        landMarks.SetLandMarkY(i, 0);
        landMarks.SetLandMarkZ(i, record.landmarks[static_cast<size_t>(i)].z);
    }
    Results r;
    if (record.sex == 0 || record.sex == 1) {
        segments.SetSex(record.sex);
        segments.CalcCOGB();
        r.computable = true;
        for (int16_t s = 0; s <= 14; ++s)
            r.segments[static_cast<size_t>(s)] = {segments.GetCOGSX(s), segments.GetCOGSZ(s)};
        r.body = {segments.GetCOGBX(), segments.GetCOGBZ()};
    }
    r.balance = CalcBalance(landMarks, r.body.x, r.body.z);
    r.verdictDependsOnMarks =
        r.computable && VerdictDependsOnMarks(landMarks, record.sex, record.checkMarks);
    return r;
}

namespace {

bool endOfList(const store::CellValue &v) {
    return v.isEmpty() || (v.kind == store::CellValue::Kind::Text && v.text.empty());
}

// The record's check marks from the program's own data sheet, when the workbook has one.
std::array<bool, 22> checkMarksOnRow(store::Worksheet *data, int32_t row) {
    if (!data) return {};
    for (int32_t k = 0; k < store::layout::kDataMaxPairs; ++k) {
        const int32_t col = store::layout::kDataFirstKeyColumn + 2 * k;
        const store::CellValue key = data->cell(row, col), value = data->cell(row, col + 1);
        if (key.kind == store::CellValue::Kind::Text && key.text == store::kCheckMarksKey &&
            value.kind == store::CellValue::Kind::Text)
            return store::decodeCheckMarks(value.text);
    }
    return {};
}

}  // namespace

std::vector<RecordData> readWorkbookRecords(store::Workbook &book) {
    store::Worksheet &id = book.sheet("ID");
    store::Worksheet &landmark = book.sheet("LANDMARK");
    store::Worksheet *data = nullptr;
    try {
        data = &book.sheet(store::layout::kSheetNames[store::layout::kSheetRecordData]);
    } catch (const Error &e) {
        if (e.number() != kErrSubscript) throw;
    }
    std::vector<RecordData> records;
    // Codes are 16-bit: code 32767 is the last one a row can hold.
    for (int32_t row = 3; row <= 32767 + 3; ++row) {
        if (endOfList(id.cell(row, 1))) break;
        RecordData r;
        r.code = static_cast<int16_t>(row - 3);
        r.pictureName = store::cellToText(id.cell(row, 2), "ID", row, 2);
        r.sex = store::cellToInt16(id.cell(row, 3), "ID", row, 3);
        r.memo = store::cellToText(id.cell(row, 4), "ID", row, 4);
        for (int32_t i = 0; i < 22; ++i) {
            const int32_t col = 2 * i + 2;
            r.landmarks[static_cast<size_t>(i)] = {
                store::cellToSingle(landmark.cell(row, col), "LANDMARK", row, col),
                store::cellToSingle(landmark.cell(row, col + 1), "LANDMARK", row, col + 1)};
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
            for (int16_t i = 0; i < 22; ++i)
                r.landmarks[static_cast<size_t>(i)] = {excel.GetLandMarkX(i),
                                                       excel.GetLandMarkZ(i)};
            r.checkMarks = store::GetCheckMarks(excel);
            records.push_back(std::move(r));
        }
    } catch (...) {
        excel.SetCurCode(shown);
        throw;
    }
    excel.SetCurCode(shown);
    return records;
}

}  // namespace pondera::report
