#pragma once

#include "session/LoadListSource.h"

namespace pondera {

class ClassEXCEL;

// The record store as the source of the record selection dialog's list.
class StoreListSource final : public LoadListSource {
  public:
    explicit StoreListSource(ClassEXCEL &store) : store_(store) {}
    int16_t GetCodeMaxNum() override;
    int16_t GetCodeMinNum() override;
    int16_t SetCurCode(int16_t intValue) override;
    int16_t GetCurSex() override;
    std::string GetCurPictureName() override;
    std::string GetCurSexText() override;

  private:
    ClassEXCEL &store_;
};

}  // namespace pondera
