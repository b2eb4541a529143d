// The workbook engine on the largest workbook the program can make: 32,767 records in the
// three sheets ID (6 columns), COGS (31) and LANDMARK (45), about 2.7 million cells.
// Figures to watch: load and save of the whole file, one cell read or write, and resident
// memory after a load (the counters rss_mb / peak_mb of BM_LoadMax).
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "generate.h"
#include "workbook_engine.h"

namespace {

namespace fs = std::filesystem;
using pondera::store::CellValue;
using pondera::store::makeWorkbookEngine;

constexpr int32_t kMaxRecords = 32767;

const fs::path &benchDir() {
    static const fs::path dir = [] {
        fs::path d =
            fs::temp_directory_path() / ("pondera_workbook_bench." + std::to_string(getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

// Made once per run, in a child process so that building it leaves no trace in this process's
// memory figures.
const std::string &maxWorkbook() {
    static const std::string path = [] {
        std::string p = (benchDir() / "max.xls").string();
        pid_t child = fork();
        if (child == 0) {
            try {
                auto book = makeWorkbookEngine()->create();
                pondera::tool::generateWorkbook(*book, kMaxRecords, "/data");
                book->saveAs(p);
                _exit(0);
            } catch (const std::exception &e) {
                std::fprintf(stderr, "generating the workbook failed: %s\n", e.what());
                _exit(1);
            }
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
        return p;
    }();
    return path;
}

// VmRSS or VmHWM of this process in MB.
double statusMb(const char *key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0) return std::stod(line.substr(line.find(':') + 1)) / 1024.0;
    }
    return 0;
}

// Runs first: the peak figure then covers this load and nothing bigger before it.
void BM_LoadMax(benchmark::State &state) {
    const std::string &path = maxWorkbook();
    auto engine = makeWorkbookEngine();
    double before = statusMb("VmRSS");
    double rss = 0;
    for (auto _ : state) {
        auto book = engine->open(path);
        state.PauseTiming();
        rss = statusMb("VmRSS");
        book.reset();
        state.ResumeTiming();
    }
    state.counters["file_mb"] = static_cast<double>(fs::file_size(path)) / (1024.0 * 1024.0);
    state.counters["rss_mb"] = rss;
    state.counters["rss_growth_mb"] = rss - before;
    state.counters["peak_mb"] = statusMb("VmHWM");
}
BENCHMARK(BM_LoadMax)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SaveMax(benchmark::State &state) {
    auto book = makeWorkbookEngine()->open(maxWorkbook());
    const std::string out = (benchDir() / "saved.xls").string();
    for (auto _ : state)
        book->saveAs(out);
    state.counters["peak_mb"] = statusMb("VmHWM");
}
BENCHMARK(BM_SaveMax)->Unit(benchmark::kMillisecond)->Iterations(5);

// One cell read, moving through the records so the reads do not hit one cached row.
void BM_CellReadMax(benchmark::State &state) {
    auto book = makeWorkbookEngine()->open(maxWorkbook());
    auto &sheet = book->sheet("LANDMARK");
    int32_t row = 3, col = 2;
    for (auto _ : state) {
        benchmark::DoNotOptimize(sheet.cell(row, col));
        row = row >= kMaxRecords + 2 ? 3 : row + 97;
        col = col >= 45 ? 2 : col + 1;
    }
}
BENCHMARK(BM_CellReadMax);

// One single-precision write over an existing value, as a click stores a landmark.
void BM_CellWriteMax(benchmark::State &state) {
    auto book = makeWorkbookEngine()->open(maxWorkbook());
    auto &sheet = book->sheet("LANDMARK");
    int32_t row = 3, col = 2;
    float v = 100.25f;
    for (auto _ : state) {
        sheet.setCell(row, col, CellValue::single(v));
        row = row >= kMaxRecords + 2 ? 3 : row + 97;
        col = col >= 45 ? 2 : col + 1;
        v += 0.5f;
    }
}
BENCHMARK(BM_CellWriteMax);

// Appending a record's row at the end (the New command), cell by cell.
void BM_CellWriteNewRow(benchmark::State &state) {
    auto book = makeWorkbookEngine()->open(maxWorkbook());
    auto &sheet = book->sheet("LANDMARK");
    int32_t col = 1;
    for (auto _ : state) {
        sheet.setCell(kMaxRecords + 3, col, CellValue::single(1.5f));
        col = col >= 45 ? 1 : col + 1;
    }
}
BENCHMARK(BM_CellWriteNewRow);

struct Cleanup {
    ~Cleanup() {
        std::error_code ec;
        fs::remove_all(benchDir(), ec);
    }
} cleanup;

}  // namespace

BENCHMARK_MAIN();
