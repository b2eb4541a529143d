// pondera2d-workbook as a user runs it: its output, the files it writes, its exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>

#include "model/demo_landmarks.h"
#include "tests/support/test_support.h"
#include "tests/workbook_io/fixtures.h"

using pondera::testing::fixture;
using pondera::testing::runCommand;
using pondera::testing::RunResult;
using pondera::testing::shellQuote;
using pondera::testing::TempDir;

namespace {

RunResult tool(const std::string &args) {
    return runCommand(shellQuote(PONDERA_WORKBOOK_TOOL) + " " + args);
}

// The lines of one sheet's part of a dump.
std::vector<std::string> sheetLines(const std::string &dump, const std::string &sheet) {
    std::istringstream in(dump);
    std::vector<std::string> lines;
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (line.rfind("== Sheet: ", 0) == 0) {
            inside = line == "== Sheet: " + sheet;
            continue;
        }
        if (inside) lines.push_back(line);
    }
    return lines;
}

TEST(WorkbookTool, GenerateWritesTheProgramLayout) {
    TempDir dir;
    RunResult gen =
        runCommand("cd " + shellQuote(dir.path().string()) + " && " +
                   shellQuote(PONDERA_WORKBOOK_TOOL) + " generate out.xls --records 10");
    ASSERT_EQ(gen.status, 0) << gen.err;
    RunResult dump = tool("dump " + shellQuote(dir / "out.xls"));
    ASSERT_EQ(dump.status, 0) << dump.err;

    auto id = sheetLines(dump.out, "ID");
    ASSERT_EQ(id.size(), 12u);  // two header rows, ten records
    EXPECT_EQ(id[0], "Code\tPicture Name\t性別(0:男／1:女)\tMemo\tCenter of Gravity of Body");
    EXPECT_EQ(id[1], "\t\t\t\tx\tz");
    EXPECT_EQ(id[2].rfind("0\t" + dir.path().string() + "/DEMO/demo001.bmp\t0\tdemo0\t", 0), 0u)
        << id[2];
    EXPECT_EQ(id[5].rfind("3\t" + dir.path().string() + "/DEMO/demo003.bmp\t1\tdemo3\t", 0), 0u)
        << id[5];
    EXPECT_EQ(id[11].rfind("9\t", 0), 0u);

    auto landmark = sheetLines(dump.out, "LANDMARK");
    ASSERT_EQ(landmark.size(), 12u);
    std::string demo0 = "0";
    for (const auto &p : pondera::kDemoSetA)
        demo0 += "\t" + std::to_string(p.x) + "\t" + std::to_string(p.z);
    EXPECT_EQ(landmark[2], demo0);
    auto cogs = sheetLines(dump.out, "COGS");
    ASSERT_EQ(cogs.size(), 12u);
    // Every record row is full: code and 15 x/z pairs.
    for (size_t r = 2; r < cogs.size(); ++r)
        EXPECT_EQ(std::count(cogs[r].begin(), cogs[r].end(), '\t'), 30) << cogs[r];
}

// A FIFO would block an open for reading until a writer comes; dump refuses it at once.
TEST(WorkbookTool, DumpRefusesWhatIsNotARegularFile) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "pipe.xls").c_str(), 0644), 0);
    std::filesystem::create_directory(dir / "folder.xls");
    for (const char *name : {"pipe.xls", "folder.xls"}) {
        RunResult r = runCommand("timeout 20 " + std::string(PONDERA_WORKBOOK_TOOL) + " dump " +
                                 shellQuote(dir / name));
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_NE(r.err.find("error 1004"), std::string::npos) << r.err;
    }
}

TEST(WorkbookTool, CopyKeepsEveryValue) {
    TempDir dir;
    for (const char *name : {"values.xls", "values_ooxml.xls", "layout.xls", "hand_inline.xls"}) {
        RunResult copy = tool("copy " + shellQuote(fixture(name)) + " " + shellQuote(dir / name));
        ASSERT_EQ(copy.status, 0) << name << ": " << copy.err;
        RunResult before = tool("dump " + shellQuote(fixture(name)));
        RunResult after = tool("dump " + shellQuote(dir / name));
        ASSERT_EQ(before.status, 0) << before.err;
        EXPECT_EQ(after.out, before.out) << name;
        EXPECT_NE(after.out.find("== Sheet: "), std::string::npos);
    }
}

// Saving over an OOXML file converts it; the tool says where the original was kept.
TEST(WorkbookTool, CopyOverAnOoxmlFileSaysWhereTheOriginalIs) {
    TempDir dir;
    const std::string path = dir / "PONDERA2D_2010.xls";
    std::filesystem::copy_file(fixture("values_ooxml.xls"), path);
    RunResult before = tool("dump " + shellQuote(path));
    RunResult copy = tool("copy " + shellQuote(path) + " " + shellQuote(path));
    ASSERT_EQ(copy.status, 0) << copy.err;
    EXPECT_EQ(copy.out,
              "kept the file as it was before as " + (dir / "PONDERA2D_2010.orig.xls") + "\n");
    EXPECT_EQ(pondera::testing::readBytes(dir / "PONDERA2D_2010.orig.xls"),
              pondera::testing::readBytes(fixture("values_ooxml.xls")));
    EXPECT_EQ(tool("dump " + shellQuote(path)).out, before.out);
    // Now a genuine .xls with nothing lost: a second copy keeps nothing more.
    copy = tool("copy " + shellQuote(path) + " " + shellQuote(path));
    EXPECT_EQ(copy.out, "");
}

struct BadRun {
    const char *label;
    std::string args;
    int status;
    const char *says;
};

void PrintTo(const BadRun &r, std::ostream *os) {
    *os << r.label;
}

class WorkbookToolFails : public ::testing::TestWithParam<BadRun> {};

TEST_P(WorkbookToolFails, WithStatusAndOneLineReason) {
    RunResult r = tool(GetParam().args);
    EXPECT_EQ(r.status, GetParam().status) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_EQ(r.err.rfind("pondera2d-workbook: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(GetParam().says), std::string::npos) << r.err;
    if (GetParam().status == 1) {
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WorkbookToolFails,
    ::testing::Values(
        BadRun{"NoCommand", "", 2, "no command"}, BadRun{"UnknownCommand", "show x", 2, "unknown"},
        BadRun{"CopyOneArgument", "copy a.xls", 2, "wrong arguments"},
        BadRun{"RecordsNotANumber", "generate /tmp/x.xls --records ten", 2, "whole number"},
        BadRun{"MissingFile", "dump /nonexistent/PONDERA2D_2010.xls", 1, "error 1004"},
        BadRun{"NotAWorkbook", "dump " + shellQuote(fixture("make_fixtures.py")), 1, "error 1004"},
        BadRun{"TruncatedZip",
               "dump " + shellQuote(std::string(PONDERA_CORPUS) + "/truncated_zip.xlsx"), 1,
               "error 1004"},
        BadRun{"TooFewRecords", "generate /tmp/x.xls --records 3", 1, "4 to 32765"},
        BadRun{"TooManyRecords", "generate /tmp/x.xls --records 32766", 1, "4 to 32765"},
        BadRun{"SaveIntoMissingFolder",
               "copy " + shellQuote(fixture("values.xls")) + " /nonexistent/dir/out.xls", 1,
               "error 7"}),
    [](const auto &info) { return std::string(info.param.label); });

// What a command maps, read from the tool's own /proc/self/maps as it ends: OpenCV, FFmpeg and
// Qt (the network's, the video's and the frames' libraries, in the module detect and track
// share) only for detect and track.
struct MappedCase {
    const char *label;
    std::string args;  // %d is the temporary folder, holding book.xls
    bool module;
};

void PrintTo(const MappedCase &c, std::ostream *os) {
    *os << c.label;
}

class WorkbookToolMaps : public ::testing::TestWithParam<MappedCase> {};

TEST_P(WorkbookToolMaps, OpenCvAndQtOnlyForDetectAndTrack) {
    TempDir dir;
    ASSERT_EQ(tool("generate " + shellQuote(dir / "book.xls") + " --records 8").status, 0);
    std::string args = GetParam().args;
    for (size_t at; (at = args.find("%d")) != std::string::npos;)
        args.replace(at, 2, dir.path().string());
    // The sanitizer runtime wants to come first; the preloaded library uses none of it.
    const RunResult r = runCommand(
        "ASAN_OPTIONS=verify_asan_link_order=0 PONDERA_MAPS_OUT=" + shellQuote(dir / "maps") +
        " LD_PRELOAD=" + shellQuote(PONDERA_MAPS_AT_EXIT) + " " +
        shellQuote(PONDERA_WORKBOOK_TOOL) + " " + args);
    const std::string maps = pondera::testing::readText(dir / "maps");
    ASSERT_NE(maps.find("libstdc++"), std::string::npos) << r.err;  // the maps were written
    EXPECT_EQ(maps.find("libopencv_core") != std::string::npos, GetParam().module) << maps;
    if (!GetParam().module) {
        EXPECT_EQ(maps.find("libQt6"), std::string::npos) << maps;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, WorkbookToolMaps,
    ::testing::Values(MappedCase{"Version", "--version", false},
                      MappedCase{"Dump", "dump %d/book.xls", false},
                      MappedCase{"Copy", "copy %d/book.xls %d/copy.xls", false},
                      MappedCase{"Generate", "generate %d/new.xls --records 4", false},
                      MappedCase{"ExportCsv", "export-csv %d/book.xls %d/book.csv", false},
                      // Loaded before the photo is looked at, so no network is needed here.
                      MappedCase{"Detect", "detect %d/no-such-photo.jpg", true},
                      MappedCase{"Track", "track %d/no-such-video.mp4 --into %d/book.xls --sex 0",
                                 true}),
    [](const auto &info) { return std::string(info.param.label); });

}  // namespace
