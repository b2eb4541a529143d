#include "model/ClassLANDMARK.h"

#include "base/error.h"

namespace pondera {

ClassLANDMARK::ClassLANDMARK()
    : entries_{{{"重心"},     {"頭頂"},     {"顎"},       {"胸骨"},     {"恥骨"},     {"右肩関節"},
                {"右肘関節"}, {"右手関節"}, {"右指"},     {"左肩関節"}, {"左肘関節"}, {"左手関節"},
                {"左指"},     {"右股関節"}, {"右膝関節"}, {"右足関節"}, {"右踵"},     {"右足"},
                {"左股関節"}, {"左膝関節"}, {"左足関節"}, {"左踵"},     {"左足"}}} {}

ClassLANDMARK::Entry &ClassLANDMARK::at(int16_t index) {
    return const_cast<Entry &>(static_cast<const ClassLANDMARK *>(this)->at(index));
}

const ClassLANDMARK::Entry &ClassLANDMARK::at(int16_t index) const {
    const int slot = index - kLowest;
    if (slot < 0 || slot >= kCount)
        throw Error(kErrSubscript, "Subscript out of range: landmark " + std::to_string(index) +
                                       " (valid: -1..21)");
    return entries_[static_cast<size_t>(slot)];
}

int16_t ClassLANDMARK::SetLandMarkCurNum(int16_t intValue) {
    curNum_ = intValue;
    return 1;
}

int16_t ClassLANDMARK::SetLandMarkCurX(float v) {
    return SetLandMarkX(curNum_, v);
}
int16_t ClassLANDMARK::SetLandMarkCurY(float v) {
    return SetLandMarkY(curNum_, v);
}
int16_t ClassLANDMARK::SetLandMarkCurZ(float v) {
    return SetLandMarkZ(curNum_, v);
}
float ClassLANDMARK::GetLandMarkCurX() const {
    return at(curNum_).x;
}
float ClassLANDMARK::GetLandMarkCurY() const {
    return at(curNum_).y;
}
float ClassLANDMARK::GetLandMarkCurZ() const {
    return at(curNum_).z;
}
std::string ClassLANDMARK::GetLandMarkCurName() const {
    return at(curNum_).name;
}

int16_t ClassLANDMARK::SetLandMarkX(int16_t i, float v) {
    at(i).x = v;
    return 1;
}
int16_t ClassLANDMARK::SetLandMarkY(int16_t i, float v) {
    at(i).y = v;
    return 1;
}
int16_t ClassLANDMARK::SetLandMarkZ(int16_t i, float v) {
    at(i).z = v;
    return 1;
}
std::string ClassLANDMARK::GetLandMarkName(int16_t i) const {
    return at(i).name;
}
float ClassLANDMARK::GetLandMarkX(int16_t i) const {
    return at(i).x;
}
float ClassLANDMARK::GetLandMarkY(int16_t i) const {
    return at(i).y;
}
float ClassLANDMARK::GetLandMarkZ(int16_t i) const {
    return at(i).z;
}

}  // namespace pondera
