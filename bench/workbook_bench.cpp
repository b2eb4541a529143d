// The workbook engine on the largest workbook the program can use: 32,765 records in the
// three sheets ID (6 columns), COGS (31) and LANDMARK (45), about 2.7 million cells.
// Figures to watch: load and save of the whole file, one cell read or write, and resident
// memory after a load (the counters rss_mb / peak_mb of BM_LoadMax).
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "store/records/record_layout.h"
#include "store/xls/workbook_engine.h"
#include "store/xls/xls_workbook.h"
#include "tools/workbook/generate.h"
#include "tools/workbook/workbook_dump.h"

namespace {

namespace fs = std::filesystem;
using pondera::store::CellValue;
using pondera::store::makeWorkbookEngine;

constexpr int32_t kMaxRecords = pondera::store::layout::kMaxRecords;

// Scratch folder of this run, removed at exit (declared before the object that removes it, so
// it outlives that object's destructor).
const fs::path kBenchDir =
    fs::temp_directory_path() / ("pondera_workbook_bench." + std::to_string(getpid()));
struct Cleanup {
    ~Cleanup() {
        std::error_code ec;
        fs::remove_all(kBenchDir, ec);
    }
} cleanup;

const fs::path &benchDir() {
    fs::create_directories(kBenchDir);
    return kBenchDir;
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

// The same workbook as OOXML under an .xls name, as a spreadsheet's SaveAs may leave it: shared
// strings for text, one deflated part per sheet. Made in a child process like the .xls file.
const std::string &maxOoxmlWorkbook() {
    static const std::string path = [] {
        std::string p = (benchDir() / "max_ooxml.xls").string();
        const std::string &xls = maxWorkbook();
        pid_t child = fork();
        if (child == 0) {
            auto book = makeWorkbookEngine()->open(xls);
            auto &wb = *book;
            std::vector<std::string> strings;
            std::map<std::string, size_t> index;
            std::vector<std::string> parts;
            auto colName = [](int32_t c) {
                std::string s;
                for (; c > 0; c = (c - 1) / 26)
                    s.insert(s.begin(), static_cast<char>('A' + (c - 1) % 26));
                return s;
            };
            for (size_t i = 0; i < wb.sheetCount(); ++i) {
                std::string x =
                    R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)";
                int32_t row = 0;
                wb.sheetAt(i).forEachCell([&](int32_t r, int32_t c, const CellValue &v) {
                    if (r != row) {
                        if (row) x += "</row>";
                        x += "<row r=\"" + std::to_string(r) + "\">";
                        row = r;
                    }
                    std::string ref = colName(c) + std::to_string(r);
                    if (v.kind == CellValue::Kind::Text) {
                        auto [it, fresh] = index.emplace(v.text, strings.size());
                        if (fresh) strings.push_back(v.text);
                        x += "<c r=\"" + ref + "\" t=\"s\"><v>" + std::to_string(it->second) +
                             "</v></c>";
                    } else {
                        x += "<c r=\"" + ref + "\"><v>" + pondera::tool::formatCell(v) + "</v></c>";
                    }
                });
                if (row) x += "</row>";
                parts.push_back(x + "</sheetData></worksheet>");
            }
            std::string sst =
                R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)";
            for (const auto &t : strings)
                sst += "<si><t>" + t + "</t></si>";  // no markup in them
            sst += "</sst>";
            std::string book_xml =
                R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets>)";
            std::string rels =
                R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";
            for (size_t i = 0; i < parts.size(); ++i) {
                std::string n = std::to_string(i + 1);
                book_xml += "<sheet name=\"" + wb.sheetAt(i).name() + "\" sheetId=\"" + n +
                            "\" r:id=\"rId" + n + "\"/>";
                rels += "<Relationship Id=\"rId" + n +
                        "\" "
                        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                        "relationships/worksheet\" Target=\"worksheets/sheet" +
                        n + ".xml\"/>";
            }
            book_xml += "</sheets></workbook>";
            rels +=
                R"(<Relationship Id="rIdS" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/></Relationships>)";
            int err = 0;
            zip_t *z = zip_open(p.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
            if (!z) _exit(1);
            auto add = [&](const std::string &name, const std::string &text) {
                zip_file_add(z, name.c_str(), zip_source_buffer(z, text.data(), text.size(), 0), 0);
            };
            add("xl/workbook.xml", book_xml);
            add("xl/_rels/workbook.xml.rels", rels);
            add("xl/sharedStrings.xml", sst);
            for (size_t i = 0; i < parts.size(); ++i)
                add("xl/worksheets/sheet" + std::to_string(i + 1) + ".xml", parts[i]);
            _exit(zip_close(z) == 0 ? 0 : 1);
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

// As the record store holds it: every sheet written to, so every save rewrites all of them.
std::unique_ptr<pondera::store::Workbook> rewrittenMax() {
    auto book = makeWorkbookEngine()->open(maxWorkbook());
    for (size_t i = 0; i < book->sheetCount(); ++i)
        if (book->sheetAt(i).isWorksheet()) book->sheetAt(i).setCell(1, 1, CellValue::integer(1));
    return book;
}

// The part of a background save on the window's thread: the snapshot.
void BM_SnapshotMaxRewritten(benchmark::State &state) {
    auto book = rewrittenMax();
    const std::string out = (benchDir() / "saved.xls").string();
    for (auto _ : state)
        benchmark::DoNotOptimize(book->snapshotSave(out));
}
BENCHMARK(BM_SnapshotMaxRewritten)->Unit(benchmark::kMillisecond)->Iterations(5);

// The whole save (snapshot and writing with its fsyncs), as the close save runs it.
void BM_SaveMaxRewritten(benchmark::State &state) {
    auto book = rewrittenMax();
    const std::string out = (benchDir() / "saved.xls").string();
    for (auto _ : state)
        book->saveAs(out);
}
BENCHMARK(BM_SaveMaxRewritten)->Unit(benchmark::kMillisecond)->Iterations(5);

// Taking over the values of the OOXML form of the same workbook (its first save converts it).
void BM_LoadMaxOoxml(benchmark::State &state) {
    const std::string &path = maxOoxmlWorkbook();
    auto engine = makeWorkbookEngine();
    for (auto _ : state)
        engine->open(path);
    state.counters["file_mb"] = static_cast<double>(fs::file_size(path)) / (1024.0 * 1024.0);
    state.counters["peak_mb"] = statusMb("VmHWM");
}
BENCHMARK(BM_LoadMaxOoxml)->Unit(benchmark::kMillisecond)->Iterations(3);

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

}  // namespace

BENCHMARK_MAIN();
