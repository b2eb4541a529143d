// The record store's costs as the user meets them: start-up, showing a record, one click's
// writes with their commit, and adding a record; on a new workbook and on a full one
// (32,765 records with every landmark and centre of gravity filled in).
//
// Click and display benchmarks also report the median and 90th percentile of single
// iterations (counters median_us, p90_us): a commit waits for the disk, so its mean hides
// the spread.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "store/records/ClassEXCEL.h"
#include "store/xls/workbook_engine.h"
#include "tools/workbook/generate.h"

namespace {

using pondera::ClassEXCEL;
using pondera::ClassLANDMARK;
using pondera::ClassSEGMENT;
using pondera::store::CellValue;
namespace fs = std::filesystem;

constexpr int16_t kFullLastCode = 32764;  // codes 0..32764: 32,765 records

fs::path makeTempDir(const char *tag) {
    std::string tmpl =
        (fs::temp_directory_path() / (std::string("record-bench-") + tag + "-XXXXXX")).string();
    if (!::mkdtemp(tmpl.data())) std::abort();
    return tmpl;
}

// The full workbook, made once by the workbook tool's generator and removed when the program
// ends.
struct FullWorkbookFolder {
    fs::path dir = makeTempDir("full");
    ~FullWorkbookFolder() { fs::remove_all(dir); }
};

const fs::path &fullWorkbook() {
    static const FullWorkbookFolder folder;
    static const fs::path path = [] {
        const fs::path &dir = folder.dir;
        const std::string file = (dir / "PONDERA2D_2010.xls").string();
        auto book = pondera::store::makeWorkbookEngine()->create();
        pondera::tool::generateWorkbook(*book, kFullLastCode + 1, dir.string());
        book->saveAs(file);
        return dir / "PONDERA2D_2010.xls";
    }();
    return path;
}

// A folder holding a new workbook (first start done) or a copy of the full one.
struct Folder {
    explicit Folder(bool full) : dir(makeTempDir(full ? "max" : "new")) {
        if (full) fs::copy_file(fullWorkbook(), dir / "PONDERA2D_2010.xls");
    }
    ~Folder() { fs::remove_all(dir); }
    std::unique_ptr<ClassEXCEL> open() {
        return std::make_unique<ClassEXCEL>(landMark, segment,
                                            ClassEXCEL::Options{dir.string(), nullptr});
    }
    fs::path dir;
    ClassLANDMARK landMark;
    ClassSEGMENT segment{landMark};
};

void reportSpread(benchmark::State &state, std::vector<double> &micros) {
    if (micros.empty()) return;
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p90_us"] = micros[micros.size() * 9 / 10];
}

using Clock = std::chrono::steady_clock;
double since(Clock::time_point t0) {
    return std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
}

// Construction as the main window does it: open (or create), set-ups, replay, save. The
// GetCodeMaxNum that picks the first record shown is part of the wait the user sees.
void BM_StartUp(benchmark::State &state) {
    const bool full = state.range(0) != 0;
    Folder folder(full);
    if (!full) folder.open()->Close();  // "new": the workbook a first start leaves
    std::vector<double> micros;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        auto store = folder.open();
        benchmark::DoNotOptimize(store->GetCodeMaxNum());
        micros.push_back(since(t0));
        state.PauseTiming();
        store->Close();
        state.ResumeTiming();
    }
    reportSpread(state, micros);
}
BENCHMARK(BM_StartUp)
    ->Arg(0)
    ->Arg(1)
    ->ArgNames({"full"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// Showing a record: SetCurCode and the 44 landmark reads.
void BM_ShowRecord(benchmark::State &state) {
    const bool full = state.range(0) != 0;
    Folder folder(full);
    auto store = folder.open();
    const int reachable = store->GetCodeMaxNum() + 1;
    int16_t code = 0;
    std::vector<double> micros;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        store->SetCurCode(code);
        float sum = 0;
        for (int16_t i = 0; i <= 21; ++i)
            sum += store->GetLandMarkX(i) + store->GetLandMarkZ(i);
        benchmark::DoNotOptimize(sum);
        micros.push_back(since(t0));
        code = static_cast<int16_t>((code + 997) % reachable);
    }
    reportSpread(state, micros);
    store->Close();
}
BENCHMARK(BM_ShowRecord)->Arg(0)->Arg(1)->ArgNames({"full"})->Unit(benchmark::kMicrosecond);

// One click on the picture: the landmark's two cells, the whole-body and 15 segment centres
// (32 cells), then the commit that makes them durable.
void BM_ClickWritesAndCommit(benchmark::State &state) {
    const bool full = state.range(0) != 0;
    Folder folder(full);
    auto store = folder.open();
    store->SetCurCode(full ? 20000 : 2);
    float v = 1;
    int16_t lm = 0;
    std::vector<double> micros;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        store->PutLandMarkX(lm, v);
        store->PutLandMarkZ(lm, v + 1);
        store->PutCOGBX(v + 2);
        store->PutCOGBZ(v + 3);
        for (int16_t s = 0; s <= 14; ++s) {
            store->PutCOGSX(s, v + s);
            store->PutCOGSZ(s, v - s);
        }
        store->Commit();
        micros.push_back(since(t0));
        v += 0.25f;
        lm = static_cast<int16_t>((lm + 1) % 22);
    }
    reportSpread(state, micros);
    store->Close();
}
BENCHMARK(BM_ClickWritesAndCommit)
    ->Arg(0)
    ->Arg(1)
    ->ArgNames({"full"})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(500);

// The same writes without the commit: what the store itself costs, apart from the disk flush.
void BM_ClickWritesOnly(benchmark::State &state) {
    Folder folder(state.range(0) != 0);
    auto store = folder.open();
    store->SetCurCode(2);
    float v = 1;
    for (auto _ : state) {
        store->PutLandMarkX(3, v);
        store->PutLandMarkZ(3, v + 1);
        store->PutCOGBX(v + 2);
        store->PutCOGBZ(v + 3);
        for (int16_t s = 0; s <= 14; ++s) {
            store->PutCOGSX(s, v + s);
            store->PutCOGSZ(s, v - s);
        }
        v += 0.25f;
        if (v > 1000) {  // keep the pending journal from growing without bound
            state.PauseTiming();
            store->Commit();
            v = 1;
            state.ResumeTiming();
        }
    }
    store->Close();
}
BENCHMARK(BM_ClickWritesOnly)->Arg(0)->Arg(1)->ArgNames({"full"})->Unit(benchmark::kMicrosecond);

// New record. On the full workbook the list has room for a few: it starts 1000 records
// short of the last code AddCode can hand out.
void BM_AddCode(benchmark::State &state) {
    const bool full = state.range(0) != 0;
    Folder folder(false);
    if (full) {
        auto engine = pondera::store::makeWorkbookEngine();
        auto book = engine->open(fullWorkbook().string());
        for (const char *name : {"ID", "COGS", "LANDMARK"})
            for (int32_t code = 31764; code <= kFullLastCode; ++code)
                book->sheet(name).setCell(code + 3, 1, CellValue{});
        book->saveAs((folder.dir / "PONDERA2D_2010.xls").string());
    }
    auto store = folder.open();
    benchmark::DoNotOptimize(store->GetCodeMaxNum());  // the scan the start-up does anyway
    std::vector<double> micros;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        benchmark::DoNotOptimize(store->AddCode());
        micros.push_back(since(t0));
    }
    reportSpread(state, micros);
    store->Close();
}
BENCHMARK(BM_AddCode)
    ->Arg(0)
    ->Arg(1)
    ->ArgNames({"full"})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(1000);

}  // namespace

BENCHMARK_MAIN();
