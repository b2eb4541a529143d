#include "session/RecordSession.h"

#include "base/error.h"
#include "model/Balance.h"
#include "model/BodyFacts.h"
#include "session/Graphics.h"
#include "session/StoreListSource.h"

namespace pondera {

RecordSession::RecordSession(ClassEXCEL::Options options) {
    objLandMark = std::make_unique<ClassLANDMARK>();
    objSegment = std::make_unique<ClassSEGMENT>(*objLandMark);
    objExcel = std::make_unique<ClassEXCEL>(*objLandMark, *objSegment, std::move(options));
    list_ = std::make_unique<StoreListSource>(*objExcel);
}

RecordSession::~RecordSession() {
    list_.reset();
    objExcel.reset();
    objSegment.reset();
    objLandMark.reset();
}

bool RecordSession::IsNewWorkbook() const {
    return objExcel->GetNewExlFileFlag() == 1;
}

int16_t RecordSession::NewestCode() {
    return objExcel->GetCodeMaxNum();
}

bool RecordSession::HasCode(int16_t code) {
    return code >= objExcel->GetCodeMinNum() && code <= objExcel->GetCodeMaxNum();
}

float RecordSession::readCell(int16_t landMark, bool isX, std::vector<std::string> &badCells) {
    try {
        return isX ? objExcel->GetLandMarkX(landMark) : objExcel->GetLandMarkZ(landMark);
    } catch (const Error &e) {
        // A cell typed over by hand in a spreadsheet: the record is still shown, with the cell
        // read as 0, and the caller tells the user which one.
        if (e.number() != kErrTypeMismatch) throw;
        badCells.push_back(objLandMark->GetLandMarkName(landMark) + (isX ? " X" : " Z"));
        return 0.0f;
    }
}

ShownRecord RecordSession::Show(int16_t code) {
    ShownRecord record;
    try {
        objExcel->SetCurCode(code);
    } catch (const Error &e) {
        // The rest of the record is read; only the sex is missing.
        if (e.number() != kErrTypeMismatch && e.number() != kErrOverflow) throw;
        record.sexCellText = objExcel->GetCurSexText();
    }
    shownCode_ = code;
    shown_ = false;
    written_.fill(std::nullopt);

    record.code = code;
    record.sex = objExcel->GetCurSex();
    record.memo = objExcel->GetCurMemo();
    record.pictureName = objExcel->GetCurPictureName();
    for (int16_t i = objLandMark->GetLandMarkMinNum(); i <= objLandMark->GetLandMarkMaxNum(); ++i) {
        objLandMark->SetLandMarkX(i, readCell(i, true, record.badCells));
        objLandMark->SetLandMarkY(i, 0);
        objLandMark->SetLandMarkZ(i, readCell(i, false, record.badCells));
    }
    objSegment->SetSex(record.sex);
    record.sexDrawable = isValidSex(record.sex);
    shown_ = true;
    data_ = {};
    data_.code = code;
    data_.sex = record.sex;
    data_.memo = record.memo;
    data_.pictureName = record.pictureName;
    // Centres worked out from a cell read as 0 would overwrite what the record holds with
    // nonsense; they are drawn, and written once the user changes the record.
    if (record.badCells.empty())
        storeCentres();
    else
        landMarksChanged();
    notify(kRecord | kLandMarks | kSex | kPicture | kMemo);
    return record;
}

void RecordSession::Select(int16_t code) {
    try {
        objExcel->SetCurCode(code);
    } catch (const Error &e) {
        if (e.number() != kErrTypeMismatch && e.number() != kErrOverflow) throw;
    }
}

void RecordSession::Reselect() {
    if (!shown_) return;
    try {
        if (objExcel->GetCurCode() != shownCode_) Select(shownCode_);
    } catch (const std::exception &) {
        shown_ = false;
    }
}

std::pair<float, float> RecordSession::ToModel(float picX, float picY) const {
    const int32_t width = area_.width;
    const int32_t height = area_.height;
    return {PicToModelX(picX, width), PicToModelZ(picY, height)};
}

std::pair<float, float> RecordSession::ToPicture(float modelX, float modelZ) const {
    const float width = static_cast<float>(area_.width);
    const float height = static_cast<float>(area_.height);
    return {ModelToPicX(modelX, width), ModelToPicY(modelZ, height)};
}

void RecordSession::requireShown(const char *what) const {
    if (!shown_) throw Error(kErrInternal, std::string("No record is shown to ") + what);
}

void RecordSession::setModelLandMark(int16_t landMark, float x, float z) {
    objLandMark->SetLandMarkX(landMark, x);
    objLandMark->SetLandMarkY(landMark, 0);
    objLandMark->SetLandMarkZ(landMark, z);
}

std::pair<float, float> RecordSession::Digitize(int16_t landMark, float picX, float picY) {
    requireShown("digitize on");
    const auto [x, z] = ToModel(picX, picY);
    PlaceLandMarks({{landMark, x, z}});
    return {x, z};
}

void RecordSession::PlaceLandMarks(const std::vector<LandMarkValue> &values) {
    requireShown("place a landmark on");
    for (const LandMarkValue &value : values) {
        setModelLandMark(value.index, value.x, value.z);
        objExcel->PutLandMarkX(value.index, value.x);
        objExcel->PutLandMarkZ(value.index, value.z);
    }
    if (!values.empty()) objLandMark->SetLandMarkCurNum(values.back().index);
    storeCentres();
    notify(kLandMarks);
}

void RecordSession::MoveLandMark(int16_t landMark, float x, float z) {
    requireShown("move a landmark on");
    setModelLandMark(landMark, x, z);
    landMarksChanged();
    notify(kLandMarks);
}

void RecordSession::SetSex(int16_t sex) {
    requireShown("set the sex of");
    objSegment->SetSex(sex);
    objExcel->PutSex(sex);
    data_.sex = sex;
    storeCentres();
    notify(kSex);
}

std::string RecordSession::StorePictureName(const std::string &path) {
    requireShown("set the picture of");
    objExcel->PutPictureName(path);
    data_.pictureName = objExcel->GetCurPictureName();
    results_.reset();
    notify(kPicture);
    return data_.pictureName;
}

void RecordSession::StoreMemo(int16_t code, const std::string &text) {
    const int16_t current = objExcel->GetCurCode();
    if (current == code) {
        objExcel->PutMemo(text);
    } else {
        Select(code);
        objExcel->PutMemo(text);
        Select(current);
    }
    if (!shown_ || code != shownCode_) return;
    data_.memo = text;
    results_.reset();
    notify(kMemo);
}

int16_t RecordSession::AddRecord() {
    const int16_t code = objExcel->AddCode();
    Reselect();
    notify(kRecordList);
    return code;
}

int16_t RecordSession::CopyShownRecord() {
    requireShown("copy");
    const int16_t code = objExcel->AddCode();
    Select(code);
    objExcel->PutPictureName(data_.pictureName);
    objExcel->PutSex(data_.sex);
    for (int16_t i = objLandMark->GetLandMarkMinNum(); i <= objLandMark->GetLandMarkMaxNum(); ++i) {
        objExcel->PutLandMarkX(i, objLandMark->GetLandMarkX(i));
        objExcel->PutLandMarkZ(i, objLandMark->GetLandMarkZ(i));
    }
    Reselect();
    notify(kRecordList);
    return code;
}

LandMarkValue RecordSession::LandMark(int16_t index) const {
    return {index, objLandMark->GetLandMarkX(index), objLandMark->GetLandMarkZ(index)};
}

int RecordSession::PlacedCount() const {
    // A press always gives z of at least 1 (the area's bottom row), so (0, 0) is never placed.
    return CountPlaced(*objLandMark);
}

// From the centres the last change computed, so a change runs the segment model once.
const report::Results &RecordSession::ShownResults() {
    if (results_) return *results_;
    report::Results r;
    r.computable = centres_.drawable;
    if (r.computable) {
        for (size_t s = 0; s < r.segments.size(); ++s)
            r.segments[s] = {centres_.segX[s], centres_.segZ[s]};
        r.body = {centres_.bodyX, centres_.bodyZ};
    }
    r.balance = CalcBalance(*objLandMark, r.body.x, r.body.z);
    results_ = r;
    return *results_;
}

report::RecordData RecordSession::StoredRecord(int16_t code) {
    const int16_t current = objExcel->GetCurCode();
    report::RecordData r;
    try {
        Select(code);
        r.code = code;
        r.pictureName = objExcel->GetCurPictureName();
        r.sex = objExcel->GetCurSex();
        r.memo = objExcel->GetCurMemo();
        for (int16_t i = objLandMark->GetLandMarkMinNum(); i <= objLandMark->GetLandMarkMaxNum();
             ++i)
            r.landmarks[static_cast<size_t>(i)] = {objExcel->GetLandMarkX(i),
                                                   objExcel->GetLandMarkZ(i)};
    } catch (...) {
        Select(current);
        throw;
    }
    Select(current);
    return r;
}

std::vector<report::RecordData> RecordSession::AllRecords() {
    std::vector<report::RecordData> records = store::readStoreRecords(*objExcel);
    Reselect();
    return records;
}

LoadListSource &RecordSession::RecordList() {
    return *list_;
}

void RecordSession::landMarksChanged() {
    for (int16_t i = objLandMark->GetLandMarkMinNum(); i <= objLandMark->GetLandMarkMaxNum(); ++i)
        data_.landmarks[static_cast<size_t>(i)] = {objLandMark->GetLandMarkX(i),
                                                   objLandMark->GetLandMarkZ(i)};
    results_.reset();
    computeCentres();
}

void RecordSession::notify(Changes what) {
    emit changed(what);
}

void RecordSession::computeCentres() {
    centres_.drawable = objSegment->GetSex() == 0 || objSegment->GetSex() == 1;
    if (!centres_.drawable) return;
    objSegment->CalcCOGB();
    centres_.bodyX = objSegment->GetCOGBX();
    centres_.bodyZ = objSegment->GetCOGBZ();
    for (int16_t s = objSegment->GetSegMinNum(); s <= objSegment->GetSegMaxNum(); ++s) {
        centres_.segX[s] = objSegment->GetCOGSX(s);
        centres_.segZ[s] = objSegment->GetCOGSZ(s);
    }
}

void RecordSession::putCentre(int slot, float value) {
    if (written_[slot] && *written_[slot] == value) return;
    if (slot == 0) {
        objExcel->PutCOGBX(value);
    } else if (slot == 1) {
        objExcel->PutCOGBZ(value);
    } else {
        const auto segment = static_cast<int16_t>((slot - 2) / 2);
        if (slot % 2 == 0)
            objExcel->PutCOGSX(segment, value);
        else
            objExcel->PutCOGSZ(segment, value);
    }
    written_[slot] = value;
}

void RecordSession::storeCentres() {
    landMarksChanged();
    // A record whose sex is unknown has no centres until the user picks a sex.
    if (!centres_.drawable) return;
    putCentre(0, centres_.bodyX);
    putCentre(1, centres_.bodyZ);
    for (int s = 0; s < ClassSEGMENT::kSegments; ++s) {
        putCentre(2 + 2 * s, centres_.segX[s]);
        putCentre(3 + 2 * s, centres_.segZ[s]);
    }
}

void RecordSession::Commit() {
    objExcel->Commit();
}

void RecordSession::Close() {
    objExcel->Close();
}

bool RecordSession::HasUnsavedChanges() const {
    return objExcel->HasUnsavedChanges();
}

bool RecordSession::HasUncommittedChanges() const {
    return objExcel->HasUncommittedChanges();
}

bool RecordSession::BackgroundSaveFailed() const {
    return objExcel->BackgroundSaveFailed();
}

bool RecordSession::SaveInBackground(std::function<void()> done) {
    return objExcel->SaveInBackground(std::move(done));
}

void RecordSession::FinishBackgroundSave() {
    objExcel->FinishBackgroundSave();
}

void RecordSession::CheckWorkbook() {
    objExcel->CheckWorkbook();
}

RecordSession::StoreNotices RecordSession::TakeNotices() {
    return objExcel->TakeNotices();
}

}  // namespace pondera
