// The record store as the source of the dialog's list. Kept in its own file so that a program
// which fills the dialog from another source does not need the store.
#include "dialogs/DialogLoad.h"
#include "store/records/ClassEXCEL.h"

namespace pondera {

namespace {

class ExcelListSource final : public LoadListSource {
  public:
    explicit ExcelListSource(ClassEXCEL &store) : store_(store) {}
    int16_t GetCodeMaxNum() override { return store_.GetCodeMaxNum(); }
    int16_t GetCodeMinNum() override { return store_.GetCodeMinNum(); }
    int16_t SetCurCode(int16_t intValue) override { return store_.SetCurCode(intValue); }
    int16_t GetCurSex() override { return store_.GetCurSex(); }
    std::string GetCurPictureName() override { return store_.GetCurPictureName(); }
    std::string GetCurSexText() override { return store_.GetCurSexText(); }

  private:
    ClassEXCEL &store_;
};

}  // namespace

DialogLoad::DialogLoad(ClassEXCEL &store, int16_t &curIDCode, QWidget *parent)
    : QDialog(parent), curIDCode_(curIDCode) {
    BuildWindow();
    ExcelListSource source(store);
    Form_Load(source);
}

}  // namespace pondera
