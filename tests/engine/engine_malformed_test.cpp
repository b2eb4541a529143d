// Files the engine must refuse with Error 1004 and a reason: never a crash, a hang, or a write.

#include <array>
#include <cstring>
#include <functional>
#include <random>

#include "base/error.h"
#include "tests/engine/engine_test_util.h"

namespace pondera::store {
namespace {

using test::TempDir;
using Bytes = std::vector<uint8_t>;

// A compound file holding the given stream under the given name.
Bytes container(const Bytes &stream, std::u16string_view name = u"Workbook") {
    Buffer file(kCfbHeaderSize + stream.size());
    std::copy(stream.begin(), stream.end(), file.begin() + kCfbHeaderSize);
    finishCfb(file, name);
    return {file.begin(), file.end()};
}

// A workbook stream: globals (BOF, extra, one BoundSheet8, EOF) and one worksheet (BOF, records,
// EOF). Each part may be replaced to break it.
struct StreamParts {
    std::function<void(biff::BiffWriter &)> globals = [](biff::BiffWriter &) {};
    std::function<void(biff::BiffWriter &)> sheet = [](biff::BiffWriter &) {};
    bool globalsEof = true;
    int64_t sheetOffsetDelta = 0;
};

Bytes stream(const StreamParts &p) {
    biff::BiffWriter w;
    biff::putBof(w, biff::kBofGlobals);
    p.globals(w);
    size_t patch;
    biff::putBoundSheet(w, 0, 0, 0, u"Sheet1", patch);
    if (p.globalsEof) biff::putEof(w);
    w.patch32(patch, static_cast<uint32_t>(static_cast<int64_t>(w.pos()) + p.sheetOffsetDelta));
    biff::putBof(w, biff::kBofWorksheet);
    p.sheet(w);
    biff::putEof(w);
    return {w.data.begin(), w.data.end()};
}

// A valid workbook whose stream is above the mini stream limit (FAT-chained).
Bytes validLarge() {
    return container(stream({.sheet = [](biff::BiffWriter &w) {
        for (uint16_t r = 0; r < 400; ++r)
            biff::putNumber(w, {r, 1, 15}, r + 0.1);
    }}));
}

struct Malformed {
    const char *name;
    std::function<Bytes()> make;
    const char *reason;  // a word the message must hold
};

class MalformedFile : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedFile, Raises1004WithAReasonAndLeavesTheFile) {
    TempDir dir;
    Bytes bytes = GetParam().make();
    test::writeBytes(dir.file("bad.xls"), bytes);
    try {
        makeWorkbookEngine()->open(dir.file("bad.xls"));
        FAIL() << "opened";
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), kErrWorkbookOpen);
        EXPECT_NE(std::string(e.what()).find(GetParam().reason), std::string::npos) << e.what();
    }
    EXPECT_EQ(test::readBytes(dir.file("bad.xls")), bytes);
}

Bytes patched(Bytes b, size_t at, uint32_t v) {
    wr32(b.data() + at, v);
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Files, MalformedFile,
    ::testing::Values(
        Malformed{"Empty", [] { return Bytes{}; }, "empty"},
        Malformed{"Text",
                  [] {
                      return Bytes{'C', 'o', 'd', 'e', '\n'};
                  },
                  "not an Excel workbook"},
        Malformed{"HeaderOnly",
                  [] {
                      Bytes b = validLarge();
                      b.resize(512);
                      return b;
                  },
                  "compound file"},
        Malformed{"TruncatedHalf",
                  [] {
                      Bytes b = validLarge();
                      b.resize(b.size() / 2);
                      return b;
                  },
                  "compound file"},
        Malformed{"CyclicFat",
                  [] {
                      Bytes b = validLarge();
                      uint32_t fatSector = rd32(b.data() + 0x4C);
                      return patched(b, (fatSector + 1) * 512 + 4, 0);  // sector 1 -> 0 -> 1
                  },
                  "cyclic"},
        Malformed{"FatOutsideFile", [] { return patched(validLarge(), 0x4C, 0x00FFFFFF); },
                  "outside"},
        Malformed{"CyclicDirectory",
                  [] {
                      Bytes b = validLarge();
                      uint32_t dirSector = rd32(b.data() + 0x30);
                      return patched(b, (dirSector + 1) * 512 + 128 + 68, 1);  // left = itself
                  },
                  "directory"},
        Malformed{"BadSectorSize",
                  [] {
                      Bytes b = validLarge();
                      wr16(b.data() + 0x1E, 30);
                      return b;
                  },
                  "sector size"},
        Malformed{"Encrypted",
                  [] {
                      return container(stream({.globals = [](biff::BiffWriter &w) {
                          size_t at = w.begin(biff::kFilePass);
                          w.zeros(54);
                          w.end(at);
                      }}));
                  },
                  "encrypted"},
        Malformed{"Excel95Stream", [] { return container(stream({}), u"Book"); }, "Excel 5.0"},
        Malformed{"NoWorkbookStream", [] { return container(stream({}), u"Other"); },
                  "no workbook stream"},
        Malformed{"NotBiff8",
                  [] {
                      Bytes s = stream({});
                      wr16(s.data() + 4, 0x0500);
                      return container(s);
                  },
                  "BIFF8"},
        Malformed{"RecordTooLong",
                  [] {
                      return container(stream({.sheet = [](biff::BiffWriter &w) {
                          w.u16(biff::kNumber);
                          w.u16(9000);
                          w.zeros(9000);
                      }}));
                  },
                  "longer than the format allows"},
        Malformed{"GlobalsWithoutEof", [] { return container(stream({.globalsEof = false})); },
                  "no end"},
        Malformed{"SheetOutsideStream",
                  [] { return container(stream({.sheetOffsetDelta = 100000})); }, "outside"},
        Malformed{"SheetNotAtBof", [] { return container(stream({.sheetOffsetDelta = 4})); },
                  "BOF"},
        Malformed{"MissingSharedString",
                  [] {
                      return container(stream({.sheet = [](biff::BiffWriter &w) {
                          biff::putLabelSst(w, {0, 0, 15}, 3);
                      }}));
                  },
                  "shared string"},
        Malformed{"SharedStringTooLong",
                  [] {
                      return container(stream({.globals = [](biff::BiffWriter &w) {
                          size_t at = w.begin(biff::kSst);
                          w.u32(1);
                          w.u32(1);
                          w.u16(500);  // 500 characters announced, 3 present
                          w.u8(0);
                          w.u8('a'), w.u8('b'), w.u8('c');
                          w.end(at);
                      }}));
                  },
                  "truncated"},
        Malformed{"ShortCellRecord",
                  [] {
                      return container(stream({.sheet = [](biff::BiffWriter &w) {
                          size_t at = w.begin(biff::kNumber);
                          w.zeros(6);
                          w.end(at);
                      }}));
                  },
                  "too short"}),
    [](const auto &info) { return std::string(info.param.name); });

// Every cell record other writers use, written the way they write them.
TEST(ReadRecords, EveryCellRecordKind) {
    TempDir dir;
    auto formula = [](biff::BiffWriter &w, uint16_t col, std::array<uint8_t, 8> val) {
        size_t at = w.begin(biff::kFormula);
        w.u16(0), w.u16(col), w.u16(15);
        for (uint8_t b : val)
            w.u8(b);
        w.u16(0), w.u32(0), w.u16(0);  // flags, cache, empty formula
        w.end(at);
    };
    Bytes file = container(stream({.sheet = [&](biff::BiffWriter &w) {
        formula(w, 0, {0, 0, 0, 0, 0, 0, 0xFF, 0xFF});  // text result in STRING + CONTINUE
        size_t at = w.begin(biff::kString);
        w.u16(7), w.u8(0), w.u8('a'), w.u8('b'), w.u8('c');
        w.end(at);
        at = w.begin(biff::kContinue);
        w.u8(1), w.u16(0x00E9), w.u16(0x65E5), w.u16('x'), w.u16('y');
        w.end(at);
        formula(w, 1, {1, 0, 1, 0, 0, 0, 0xFF, 0xFF});     // TRUE
        formula(w, 2, {2, 0, 0x2A, 0, 0, 0, 0xFF, 0xFF});  // #N/A
        formula(w, 3, {3, 0, 0, 0, 0, 0, 0xFF, 0xFF});     // empty text
        uint64_t bits;
        double half = 2.5;
        std::memcpy(&bits, &half, 8);
        std::array<uint8_t, 8> num;
        for (int k = 0; k < 8; ++k)
            num[k] = static_cast<uint8_t>(bits >> (8 * k));
        formula(w, 4, num);
        at = w.begin(biff::kLabel);  // an inline text cell
        w.u16(1), w.u16(0), w.u16(15), w.u16(2), w.u8(1), w.u16(0x91CD), w.u16(0x5FC3);
        w.end(at);
        at = w.begin(biff::kMulRk);
        w.u16(1), w.u16(1);
        for (uint32_t rk : {(7u << 2) | 2, (1234u << 2) | 3})
            w.u16(15), w.u32(rk);
        w.u16(2);
        w.end(at);
        at = w.begin(biff::kMulBlank);
        w.u16(1), w.u16(3), w.u16(15), w.u16(21), w.u16(4);
        w.end(at);
        at = w.begin(biff::kBoolErr);
        w.u16(1), w.u16(5), w.u16(15), w.u8(0), w.u8(0);  // FALSE
        w.end(at);
        biff::putRk(w, {2, 0, 15}, (uint32_t{0x3FF80000}));  // 1.5 as a truncated double
        biff::putNumber(w, {2, 1, 15}, -1e-300);
    }}));
    test::writeBytes(dir.file("r.xls"), file);
    auto book = makeWorkbookEngine()->open(dir.file("r.xls"));
    Worksheet &ws = book->sheet("Sheet1");
    EXPECT_EQ(ws.cell(1, 1), CellValue::str("abcé日xy"));
    EXPECT_EQ(ws.cell(1, 2), CellValue::boolean(true));
    EXPECT_EQ(ws.cell(1, 3), CellValue::error(0x2A));
    EXPECT_TRUE(ws.cell(1, 4).isEmpty());
    EXPECT_EQ(ws.cell(1, 5), CellValue::real(2.5));
    EXPECT_EQ(ws.cell(2, 1), CellValue::str("重心"));
    EXPECT_EQ(ws.cell(2, 2), CellValue::real(7));
    EXPECT_EQ(ws.cell(2, 3), CellValue::real(12.34));
    EXPECT_TRUE(ws.cell(2, 4).isEmpty());
    EXPECT_TRUE(ws.cell(2, 5).isEmpty());  // formatted, but empty
    EXPECT_EQ(ws.cell(2, 6), CellValue::boolean(false));
    EXPECT_EQ(ws.cell(3, 1), CellValue::real(1.5));
    EXPECT_EQ(ws.cell(3, 2), CellValue::real(-1e-300));

    // Rewriting the sheet keeps the formatted blank's format and turns formulas into values.
    ws.setCell(9, 9, CellValue::integer(1));
    book->saveAs(dir.file("r2.xls"));
    auto again = makeWorkbookEngine()->open(dir.file("r2.xls"));
    EXPECT_EQ(again->sheet("Sheet1").cell(1, 1), CellValue::str("abcé日xy"));
    EXPECT_EQ(again->sheet("Sheet1").cell(2, 3), CellValue::real(12.34));
    auto sub = test::sheetSubstreams(test::workbookStream(test::readBytes(dir.file("r2.xls"))));
    bool blankKept = false;
    for (const auto &[id, data] : test::recordsWithoutIndex(sub.at(0).bytes))
        if (id == biff::kBlank && rd16(data.data() + 2) == 4 && rd16(data.data() + 4) == 21)
            blankKept = true;
    EXPECT_TRUE(blankKept);
}

TEST(MalformedFile, MissingFileAndFolderRaise1004) {
    TempDir dir;
    for (const std::string &path : {dir.file("none.xls"), dir.path().string()}) {
        try {
            makeWorkbookEngine()->open(path);
            ADD_FAILURE() << path;
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), kErrWorkbookOpen);
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
    }
}

// Damaged copies of real files (truncated, bytes changed): the engine either reads them or
// raises Error, and a workbook it read can be saved again.
TEST(MalformedFile, DamagedCopiesNeverCrash) {
    TempDir dir;
    std::vector<Bytes> seeds{validLarge(),
                             test::readBytes(std::string(ENGINE_TEST_DATA) + "/lo_foreign.xls")};
    {
        auto book = makeWorkbookEngine()->create();
        Worksheet &ws = book->addSheet();
        for (int r = 1; r <= 300; ++r)
            ws.setCell(r, 1 + r % 5, CellValue::str(std::string(r, 'a' + r % 26)));
        book->addSheet().setCell(2, 2, CellValue::single(1.5f));
        book->saveAs(dir.file("seed.xls"));
        seeds.push_back(test::readBytes(dir.file("seed.xls")));
    }
    std::mt19937 rng(75);
    auto engine = makeWorkbookEngine();
    int opened = 0;
    for (int i = 0; i < 600; ++i) {
        Bytes b = seeds[i % seeds.size()];
        std::uniform_int_distribution<size_t> at(0, b.size() - 1);
        switch (i % 4) {
            case 0:
                b.resize(at(rng));
                break;
            case 1:
                for (int k = 0; k < 4; ++k)
                    b[at(rng)] ^= static_cast<uint8_t>(1u << (rng() % 8));
                break;
            case 2: {
                size_t p = at(rng) & ~size_t{3};
                if (p + 4 <= b.size()) wr32(b.data() + p, rng() % 2 ? 0xFFFFFFFE : rng());
                break;
            }
            default: {
                // Damage inside the workbook stream: a record length.
                size_t p = 512 + (at(rng) % (b.size() - 512));
                if (p + 2 <= b.size()) wr16(b.data() + p, static_cast<uint16_t>(rng()));
            }
        }
        test::writeBytes(dir.file("d.xls"), b);
        try {
            auto book = engine->open(dir.file("d.xls"));
            ++opened;
            for (const char *name : {"Sheet1", "Sheet2", "ID", "User"}) {
                try {
                    Worksheet &ws = book->sheet(name);
                    for (int r = 1; r < 40; r += 3)
                        (void)ws.cell(r, 2);
                    ws.setCell(1, 1, CellValue::integer(1));
                } catch (const Error &e) {
                    EXPECT_EQ(e.number(), kErrSubscript);
                }
            }
            if (opened % 8 == 1) {
                book->saveAs(dir.file("out.xls"));
                engine->open(dir.file("out.xls"));
            }
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), kErrWorkbookOpen) << e.what();
        }
    }
    EXPECT_GT(opened, 0);
}

}  // namespace
}  // namespace pondera::store
