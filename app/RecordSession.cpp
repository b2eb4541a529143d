#include "app/RecordSession.h"

#include "app/Graphics.h"
#include "model/error.h"

namespace pondera {

RecordSession::RecordSession(ClassEXCEL::Options options) {
    objLandMark = std::make_unique<ClassLANDMARK>();
    objSegment = std::make_unique<ClassSEGMENT>(*objLandMark);
    objExcel = std::make_unique<ClassEXCEL>(*objLandMark, *objSegment, std::move(options));
}

RecordSession::~RecordSession() {
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
    record.sexDrawable = record.sex == 0 || record.sex == 1;
    shown_ = true;
    // Centres worked out from a cell read as 0 would overwrite what the record holds with
    // nonsense; they are drawn, and written once the user changes the record.
    if (record.badCells.empty())
        StoreCentres();
    else
        computeCentres();
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

std::pair<float, float> RecordSession::Digitize(int16_t landMark, float picX, float picY) {
    if (!shown_) throw Error(kErrInternal, "No record is shown to digitize on");
    const auto [x, z] = ToModel(picX, picY);
    objLandMark->SetLandMarkCurNum(landMark);
    objLandMark->SetLandMarkCurX(x);
    objLandMark->SetLandMarkCurY(0);
    objLandMark->SetLandMarkCurZ(z);
    objExcel->PutLandMarkX(landMark, x);
    objExcel->PutLandMarkZ(landMark, z);
    StoreCentres();
    return {x, z};
}

void RecordSession::PutLandMark(int16_t landMark, float x, float z) {
    if (!shown_) throw Error(kErrInternal, "No record is shown to place a landmark on");
    objLandMark->SetLandMarkX(landMark, x);
    objLandMark->SetLandMarkY(landMark, 0);
    objLandMark->SetLandMarkZ(landMark, z);
    objExcel->PutLandMarkX(landMark, x);
    objExcel->PutLandMarkZ(landMark, z);
    StoreCentres();
}

void RecordSession::MoveLandMark(int16_t landMark, float x, float z) {
    if (!shown_) throw Error(kErrInternal, "No record is shown to move a landmark on");
    objLandMark->SetLandMarkX(landMark, x);
    objLandMark->SetLandMarkY(landMark, 0);
    objLandMark->SetLandMarkZ(landMark, z);
    computeCentres();
}

void RecordSession::SetSex(int16_t sex) {
    if (!shown_) throw Error(kErrInternal, "No record is shown to set the sex of");
    objSegment->SetSex(sex);
    objExcel->PutSex(sex);
    StoreCentres();
}

int16_t RecordSession::AddRecord() {
    const int16_t code = objExcel->AddCode();
    Reselect();
    return code;
}

void RecordSession::StoreMemo(int16_t code, const std::string &text) {
    const int16_t current = objExcel->GetCurCode();
    if (current == code) {
        objExcel->PutMemo(text);
        return;
    }
    Select(code);
    objExcel->PutMemo(text);
    Select(current);
}

std::string RecordSession::StorePictureName(const std::string &path) {
    objExcel->PutPictureName(path);
    return objExcel->GetCurPictureName();
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

void RecordSession::StoreCentres() {
    computeCentres();
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

std::vector<std::string> RecordSession::TakeNotices() {
    return objExcel->TakeNotices();
}

}  // namespace pondera
