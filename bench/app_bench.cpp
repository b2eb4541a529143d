// The main window's own costs, on the offscreen platform:
//  - BM_ClickRedrawCommit: one click on the picture of the newest record of the fullest workbook
//    the store can address (codes 0..32764, rows up to 32767): landmark stored, overlay redrawn
//    and painted, 32 centres of gravity written, the store committed. Counter median_ms.
//  - BM_StartNewWorkbook / BM_StartMaxWorkbook: from creating the window (which opens or
//    creates the workbook, writes the demonstration pictures when new and shows the newest
//    record) to the window shown on screen.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <vector>

#include "app/FormMain.h"
#include "app/ModuleMain.h"
#include "app/PictureView.h"
#include "store/records/ClassEXCEL.h"
#include "store/xls/workbook_engine.h"
#include "tools/workbook/generate.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using pondera::FormMain;
using pondera::FormMainHooks;

constexpr int16_t kHighestCode = 32764;  // row 32767, the last the 16-bit row arithmetic reaches
const char kWorkbook[] = "PONDERA2D_2010.xls";

FormMainHooks silentHooks() {
    FormMainHooks hooks;
    hooks.message = [](const QString &text) { fprintf(stderr, "message: %s\n", qPrintable(text)); };
    hooks.chooseFile = [](QWidget *) { return QString(); };
    hooks.runDialog = [](QDialog &) { return 0; };
    return hooks;
}

// The fullest workbook the window can show (codes 0..kHighestCode), made once per run.
fs::path gMadeDir;  // removed at the end of the run

const fs::path &maxWorkbook() {
    static const fs::path path = [] {
        const fs::path dir =
            fs::temp_directory_path() / ("pondera_app_bench." + std::to_string(getpid()));
        fs::create_directories(dir);
        gMadeDir = dir;
        const std::string file = (dir / kWorkbook).string();
        auto book = pondera::store::makeWorkbookEngine()->create();
        pondera::tool::generateWorkbook(*book, kHighestCode + 1, dir.string());
        book->saveAs(file);
        return dir / kWorkbook;
    }();
    return path;
}

double milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void reportMedian(benchmark::State &state, std::vector<double> &times) {
    std::sort(times.begin(), times.end());
    if (!times.empty()) state.counters["median_ms"] = times[times.size() / 2];
}

// Creates the window in dir and shows it; returns the time until it is on screen.
Clock::duration startWindow(std::unique_ptr<FormMain> &form) {
    pondera::CurIDCode = -1;
    const auto begin = Clock::now();
    form = std::make_unique<FormMain>(silentHooks());
    form->show();
    QCoreApplication::processEvents();
    return Clock::now() - begin;
}

void BM_ClickRedrawCommit(benchmark::State &state) {
    QTemporaryDir dir;
    fs::copy_file(maxWorkbook(), fs::path(dir.path().toStdString()) / kWorkbook);
    QDir::setCurrent(dir.path());
    std::unique_ptr<FormMain> form;
    startWindow(form);
    if (pondera::CurIDCode != kHighestCode) state.SkipWithError("newest record not shown");
    std::vector<double> times;
    int n = 0;
    for (auto _ : state) {
        const float x = static_cast<float>(100 + n % 400);
        const float y = static_cast<float>(50 + n % 300);
        form->OptionLandMark_Click(static_cast<int16_t>(n % 22));
        const auto begin = Clock::now();
        form->Picture1_MouseDown(1, 0, x, y);
        form->Picture1()->repaint();
        const auto elapsed = Clock::now() - begin;
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
        times.push_back(milliseconds(elapsed));
        ++n;
    }
    reportMedian(state, times);
    // The session's share: one landmark placed (with its centres) and the commit, as a click.
    std::vector<double> commits;
    for (int i = 0; i < 200; ++i) {
        const auto begin = Clock::now();
        form->Session()->PutLandMark(0, static_cast<float>(i), 1.0f);
        form->Session()->Commit();
        commits.push_back(milliseconds(Clock::now() - begin));
    }
    std::sort(commits.begin(), commits.end());
    state.counters["store_commit_median_ms"] = commits[commits.size() / 2];
    form->close();
    form.reset();
    QDir::setCurrent(QDir::tempPath());
}
BENCHMARK(BM_ClickRedrawCommit)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

void BM_StartNewWorkbook(benchmark::State &state) {
    std::vector<double> times;
    for (auto _ : state) {
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        std::unique_ptr<FormMain> form;
        const auto elapsed = startWindow(form);
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
        times.push_back(milliseconds(elapsed));
        form->close();
        form.reset();
        QDir::setCurrent(QDir::tempPath());
    }
    reportMedian(state, times);
}
BENCHMARK(BM_StartNewWorkbook)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

void BM_StartMaxWorkbook(benchmark::State &state) {
    std::vector<double> times;
    for (auto _ : state) {
        QTemporaryDir dir;
        fs::copy_file(maxWorkbook(), fs::path(dir.path().toStdString()) / kWorkbook);
        QDir::setCurrent(dir.path());
        std::unique_ptr<FormMain> form;
        const auto elapsed = startWindow(form);
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
        times.push_back(milliseconds(elapsed));
        form.reset();  // closes the store; nothing changed worth a close of the window
        QDir::setCurrent(QDir::tempPath());
    }
    reportMedian(state, times);
}
BENCHMARK(BM_StartMaxWorkbook)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    benchmark::Initialize(&argc, argv);
    QApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    if (!gMadeDir.empty()) fs::remove_all(gMadeDir, ignored);
    return 0;
}
