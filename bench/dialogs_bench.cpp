// How long the record selection dialog takes to open with a full record list, and how long the
// two other windows take to build.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "dialogs/DialogLoad.h"
#include "dialogs/FormAbout.h"
#include "dialogs/FormInformation.h"
#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "session/StoreListSource.h"
#include "store/records/ClassEXCEL.h"
#include "store/xls/workbook_engine.h"
#include "tools/workbook/generate.h"

using namespace pondera;

namespace {

// Every code of a 16-bit list, each with a picture path of typical length.
class MemorySource final : public LoadListSource {
  public:
    explicit MemorySource(int count) : count_(count) {}
    int16_t GetCodeMaxNum() override { return static_cast<int16_t>(count_ - 1); }
    int16_t GetCodeMinNum() override { return 0; }
    int16_t SetCurCode(int16_t intValue) override {
        cur_ = intValue;
        return 1;
    }
    int16_t GetCurSex() override { return static_cast<int16_t>(cur_ % 2); }
    std::string GetCurPictureName() override { return path_; }

  private:
    int count_;
    int16_t cur_ = 0;
    std::string path_ = "/home/someone/pictures/subjects/2010/subject-00123-front.jpg";
};

// Opening as the user sees it: build the list, show the window, paint it once.
void OpenAndClose(DialogLoad &dialog) {
    dialog.show();
    QApplication::processEvents();
    dialog.close();
}

void BM_DialogLoadOpen_Memory(benchmark::State &state) {
    MemorySource source(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        int16_t cur = 0;
        DialogLoad dialog(source, cur);
        OpenAndClose(dialog);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DialogLoadOpen_Memory)->Arg(4)->Arg(32767)->Unit(benchmark::kMillisecond);

// The store's largest list: codes 0 to 32764 (the row of a code, code + 3, must stay 16-bit).
constexpr int kLastCode = 32764;

void BM_DialogLoadOpen_Store(benchmark::State &state) {
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString();
    ClassLANDMARK landMark;
    ClassSEGMENT segment(landMark);
    // A long-used workbook with the full record list.
    {
        auto book = store::makeWorkbookEngine()->create();
        tool::generateWorkbook(*book, kLastCode + 1, d);
        book->saveAs(d + "/PONDERA2D_2010.xls");
    }
    ClassEXCEL store(landMark, segment, ClassEXCEL::Options{d, nullptr});
    if (store.GetCodeMaxNum() != kLastCode) {
        state.SkipWithError("the workbook does not hold the full list");
        return;
    }
    for (auto _ : state) {
        int16_t cur = 0;
        StoreListSource source(store);
        DialogLoad dialog(source, cur);
        OpenAndClose(dialog);
    }
    state.SetItemsProcessed(state.iterations() * (kLastCode + 1));
    store.Close();
}
BENCHMARK(BM_DialogLoadOpen_Store)->Unit(benchmark::kMillisecond);

void BM_FormInformationOpen(benchmark::State &state) {
    for (auto _ : state) {
        FormInformation window;
        window.show();
        QApplication::processEvents();
        window.close();
    }
}
BENCHMARK(BM_FormInformationOpen)->Unit(benchmark::kMillisecond);

void BM_FormAboutOpen(benchmark::State &state) {
    for (auto _ : state) {
        FormAbout window;
        window.show();
        QApplication::processEvents();
        window.close();
    }
}
BENCHMARK(BM_FormAboutOpen)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
    // Windows are built and painted off screen unless a display is asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
