#include "session/StoreListSource.h"

#include "store/records/ClassEXCEL.h"

namespace pondera {

int16_t StoreListSource::GetCodeMaxNum() {
    return store_.GetCodeMaxNum();
}
int16_t StoreListSource::GetCodeMinNum() {
    return store_.GetCodeMinNum();
}
int16_t StoreListSource::SetCurCode(int16_t intValue) {
    return store_.SetCurCode(intValue);
}
int16_t StoreListSource::GetCurSex() {
    return store_.GetCurSex();
}
std::string StoreListSource::GetCurPictureName() {
    return store_.GetCurPictureName();
}
std::string StoreListSource::GetCurSexText() {
    return store_.GetCurSexText();
}

}  // namespace pondera
