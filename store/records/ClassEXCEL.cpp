#include "store/records/ClassEXCEL.h"

#include "store/platform/system.h"
#include "store/records/record_store_impl.h"
#include "store/xls/bytes.h"

namespace pondera {

using store::CellValue;

namespace {

using store::layout::kSheetCOGS;
using store::layout::kSheetID;
using store::layout::kSheetLANDMARK;
constexpr const char *kFullText = "データがいっぱいです。";
using store::layout::kMaxMemoLength;

// The columns of point i in 16-bit arithmetic, as the record store computes them (an overflow
// raises error 6).
int16_t pointX(int16_t i) {
    return add16(mul16(store::layout::kPointColumnStep, i), store::layout::kPointXColumn);
}
int16_t pointZ(int16_t i) {
    return add16(mul16(store::layout::kPointColumnStep, i), store::layout::kPointZColumn);
}

}  // namespace

std::string ClassEXCEL::Impl::memoCutNotice(int32_t code, size_t length) {
    return "記録 " + std::to_string(code) + " のメモは " + std::to_string(length) +
           " 文字あり、一つのセルに収まる " + std::to_string(kMaxMemoLength) +
           " 文字までを表示しています。メモを変更すると、その長さで保存されます。";
}

ClassEXCEL::ClassEXCEL(const ClassLANDMARK &landMark, const ClassSEGMENT &segment)
    : ClassEXCEL(landMark, segment, Options{}) {}

ClassEXCEL::ClassEXCEL(const ClassLANDMARK &landMark, const ClassSEGMENT &segment, Options options)
    : d(std::make_unique<Impl>(landMark, segment)) {
    d->progress = std::move(options.progress);
    d->engine = options.engine
                    ? std::move(options.engine)
                    : std::shared_ptr<store::WorkbookEngine>(store::makeWorkbookEngine());
    try {
        d->start(options.currentDir.empty() ? store::currentDirectory() : options.currentDir);
    } catch (...) {
        d->abandon();
        d->tell(StartStep::Ended);
        throw;
    }
    d->tell(StartStep::Ended);
}

ClassEXCEL::~ClassEXCEL() {
    if (!d || d->closed) return;
    try {
        d->close();
    } catch (...) {
        d->abandon();
    }
}

int16_t ClassEXCEL::GetNewExlFileFlag() const {
    return d->NewExlFileFlag;
}

int16_t ClassEXCEL::GetCodeMinNum() {
    return d->readInt16(kSheetID, store::layout::kFirstRecordRow, store::layout::kColCode);
}

int16_t ClassEXCEL::GetCodeMaxNum() {
    if (d->firstEmptyRow == 0) d->firstEmptyRow = d->scanFirstEmpty(3);
    const int32_t r = d->firstEmptyRow;
    // Past row 65000, or a code above 32767: the list cannot grow. The session goes on.
    // The last code is the one before the first empty row.
    const int32_t last = r - store::layout::kRowOffset - 1;
    if (r > records::kLastScannedRow || last > INT16_MAX) throw Error(kErrOverflow, kFullText);
    return static_cast<int16_t>(last);
}

int16_t ClassEXCEL::SetCurCode(int16_t intValue) {
    d->CurCode = intValue;
    d->readCurrentFields(d->row());
    return 1;
}

int16_t ClassEXCEL::GetCurCode() const {
    return d->CurCode;
}
std::string ClassEXCEL::GetCurPictureName() const {
    return d->CurPictureName;
}
int16_t ClassEXCEL::GetCurSex() const {
    return d->CurSex;
}
std::string ClassEXCEL::GetCurSexText() {
    try {
        return d->readText(kSheetID, d->row(), store::layout::kColSex);
    } catch (const Error &) {
        return {};
    }
}
std::string ClassEXCEL::GetCurMemo() const {
    return d->CurMemo;
}

int16_t ClassEXCEL::PutSex(int16_t intValue) {
    d->CurSex = intValue;
    d->put(kSheetID, d->row(), store::layout::kColSex, CellValue::integer(intValue), true);
    return 1;
}

float ClassEXCEL::GetLandMarkX(int16_t intNum) {
    return d->readSingle(kSheetLANDMARK, d->row(), pointX(intNum));
}

float ClassEXCEL::GetLandMarkZ(int16_t intNum) {
    return d->readSingle(kSheetLANDMARK, d->row(), pointZ(intNum));
}

int16_t ClassEXCEL::PutLandMarkX(int16_t intNum, float sngValue) {
    d->put(kSheetLANDMARK, d->row(), pointX(intNum), CellValue::single(sngValue), true);
    return 1;
}

int16_t ClassEXCEL::PutLandMarkZ(int16_t intNum, float sngValue) {
    d->put(kSheetLANDMARK, d->row(), pointZ(intNum), CellValue::single(sngValue), true);
    return 1;
}

int16_t ClassEXCEL::PutCOGBX(float sngValue) {
    d->put(kSheetID, d->row(), store::layout::kColBodyX, CellValue::single(sngValue), true);
    return 1;
}

int16_t ClassEXCEL::PutCOGBZ(float sngValue) {
    d->put(kSheetID, d->row(), store::layout::kColBodyZ, CellValue::single(sngValue), true);
    return 1;
}

int16_t ClassEXCEL::PutCOGSX(int16_t intNum, float sngValue) {
    d->put(kSheetCOGS, d->row(), pointX(intNum), CellValue::single(sngValue), true);
    return 1;
}

int16_t ClassEXCEL::PutCOGSZ(int16_t intNum, float sngValue) {
    d->put(kSheetCOGS, d->row(), pointZ(intNum), CellValue::single(sngValue), true);
    return 1;
}

int16_t ClassEXCEL::AddCode() {
    const int16_t m = GetCodeMaxNum();
    int16_t n = 0, r = 0;
    try {
        n = add16(m, 1);
        d->CurCode = n;
        r = add16(n, store::layout::kRowOffset);
    } catch (const Error &e) {
        throw Error(e.number(), std::string(kFullText) + " (" + e.what() + ")");
    }
    using namespace store::layout;
    d->put(kSheetID, r, kColCode, CellValue::integer(n), true);
    d->put(kSheetID, r, kColPicture, CellValue::str(""), true);
    d->put(kSheetID, r, kColSex, CellValue::integer(0), true);
    d->put(kSheetID, r, kColMemo, CellValue::str(kNewMemo), true);
    d->put(kSheetCOGS, r, kColCode, CellValue::integer(n), true);
    d->put(kSheetLANDMARK, r, kColCode, CellValue::integer(n), true);
    d->readCurrentFields(r);
    return n;
}

int16_t ClassEXCEL::PutPictureName(const std::string &strFileName) {
    d->put(kSheetID, d->row(), store::layout::kColPicture, CellValue::str(strFileName), true);
    d->CurPictureName = strFileName;
    return 1;
}

int16_t ClassEXCEL::PutMemo(const std::string &strText) {
    if (const size_t length = store::utf16Length(strText); length > kMaxMemoLength)
        throw Error(kErrInvalidCall, "メモは " + std::to_string(kMaxMemoLength) +
                                         " 文字までです（" + std::to_string(length) +
                                         " 文字）。メモは変更されていません。");
    d->put(kSheetID, d->row(), store::layout::kColMemo, CellValue::str(strText), true);
    d->CurMemo = strText;
    return 1;
}

namespace {

constexpr size_t kMaxKeyLength = 255;

int32_t dataKeyColumn(int32_t pair) {
    return store::layout::kDataFirstKeyColumn + 2 * pair;
}

// A key cell as text; anything else (a number typed over it) is no key.
std::string keyText(const CellValue &v) {
    return v.kind == CellValue::Kind::Text ? v.text : std::string();
}

}  // namespace

std::string ClassEXCEL::GetRecordValue(const std::string &strKey) {
    using store::layout::kSheetRecordData;
    const int32_t r = d->row();
    for (int32_t k = 0; k < store::layout::kDataMaxPairs; ++k) {
        if (keyText(d->get(kSheetRecordData, r, dataKeyColumn(k))) != strKey) continue;
        const CellValue v = d->get(kSheetRecordData, r, dataKeyColumn(k) + 1);
        return v.kind == CellValue::Kind::Text ? v.text : std::string();
    }
    return {};
}

int16_t ClassEXCEL::PutRecordValue(const std::string &strKey, const std::string &strValue) {
    using store::layout::kSheetRecordData;
    if (strKey.empty() || strKey.size() > kMaxKeyLength)
        throw Error(kErrInvalidCall,
                    "The key \"" + strKey.substr(0, 40) +
                        "\" of a record's own data must have 1 to 255 characters.");
    if (store::utf16Length(strValue) > kMaxMemoLength)
        throw Error(kErrInvalidCall, "A value of a record's own data holds up to " +
                                         std::to_string(kMaxMemoLength) + " characters.");
    const int32_t r = d->row();
    int32_t slot = -1, free = -1;
    for (int32_t k = 0; k < store::layout::kDataMaxPairs && slot < 0; ++k) {
        const std::string key = keyText(d->get(kSheetRecordData, r, dataKeyColumn(k)));
        if (key == strKey) slot = k;
        if (key.empty() && free < 0) free = k;
    }
    if (slot < 0 && strValue.empty()) return 1;  // nothing to remove
    if (slot < 0) slot = free;
    if (slot < 0)
        throw Error(kErrInvalidCall,
                    "The record holds " + std::to_string(store::layout::kDataMaxPairs) +
                        " values of its own already; \"" + strKey + "\" is not stored.");
    const int32_t c = dataKeyColumn(slot);
    if (d->get(kSheetRecordData, r, store::layout::kColCode).isEmpty())
        d->put(kSheetRecordData, r, store::layout::kColCode, CellValue::integer(d->CurCode), true);
    d->put(kSheetRecordData, r, c, strValue.empty() ? CellValue() : CellValue::str(strKey), true);
    d->put(kSheetRecordData, r, c + 1, strValue.empty() ? CellValue() : CellValue::str(strValue),
           true);
    return 1;
}

void ClassEXCEL::Commit() {
    d->commit();
}

bool ClassEXCEL::HasUncommittedChanges() const {
    return !d->closed && !d->pending.empty();
}

void ClassEXCEL::CheckWorkbook() {
    if (d->closed) throw Error(kErrFileAccess, "The record store is already closed");
    d->checkWorkbook();
}

bool ClassEXCEL::HasUnsavedChanges() const {
    return !d->closed && d->changes != d->savedChanges;
}

bool ClassEXCEL::SaveInBackground(std::function<void()> done) {
    return d->saveInBackground(std::move(done));
}

void ClassEXCEL::FinishBackgroundSave() {
    d->finishBackgroundSave();
}

bool ClassEXCEL::BackgroundSaveRunning() const {
    return d->background != nullptr;
}

bool ClassEXCEL::BackgroundSaveFailed() const {
    return d->backgroundFailureTold;
}

// When the save fails the store stays open with its journal durable, so nothing is lost and
// the caller may try again.
void ClassEXCEL::Close() {
    d->close();
}

std::vector<std::string> ClassEXCEL::TakeNotices() {
    std::vector<std::string> out;
    out.swap(d->notices);
    return out;
}

int ClassEXCEL::RecoveredChangeCount() const {
    return d->recovered;
}

const std::string &ClassEXCEL::GetExlFileName() const {
    return d->ExlFileName;
}

}  // namespace pondera
