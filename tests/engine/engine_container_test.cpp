// The compound file and the number codec: small streams in the mini stream, DIFAT sectors for
// large files, other streams carried, RK and single-precision conversions exact.

#include <charconv>
#include <cmath>
#include <cstring>
#include <random>

#include "store/xls/xls_workbook.h"
#include "tests/engine/engine_test_util.h"

namespace pondera::store {
namespace {

using test::TempDir;

uint32_t headerField(const std::vector<uint8_t> &file, size_t at) {
    return rd32(file.data() + at);
}

TEST(EngineContainer, SmallWorkbookLivesInTheMiniStream) {
    TempDir dir;
    auto book = makeWorkbookEngine()->create();
    book->addSheet().setCell(1, 1, CellValue::str("small"));
    book->saveAs(dir.file("small.xls"));
    auto file = test::readBytes(dir.file("small.xls"));
    EXPECT_LE(file.size(), 8192u);
    EXPECT_NE(headerField(file, 0x3C), 0xFFFFFFFEu);  // a mini FAT exists
    EXPECT_EQ(headerField(file, 0x48), 0u);           // no DIFAT sector
    CfbReader cfb(file);
    ASSERT_EQ(cfb.entries().size(), 1u);
    EXPECT_LT(cfb.entries()[0].size, 4096u);
    EXPECT_EQ(makeWorkbookEngine()->open(dir.file("small.xls"))->sheet("Sheet1").cell(1, 1),
              CellValue::str("small"));
}

// The root entry's mini-stream size as writers give it: a whole number of mini sectors, the
// bytes in use (the last mini sector then runs past it), or more than the sectors hold.
struct MiniStreamSize {
    const char *name;
    int64_t delta;  // added to the size we write
    bool reads;
};

class RootMiniStreamSize : public ::testing::TestWithParam<MiniStreamSize> {};

TEST_P(RootMiniStreamSize, ReadsWhatTheSectorsHoldAndNoMore) {
    TempDir dir;
    auto book = makeWorkbookEngine()->create();
    book->addSheet().setCell(1, 1, CellValue::str("small"));
    book->saveAs(dir.file("small.xls"));
    auto file = test::readBytes(dir.file("small.xls"));
    const size_t root = (size_t{headerField(file, 0x30)} + 1) * 512;
    const uint32_t size = headerField(file, root + 120);
    ASSERT_EQ(size % 64, 0u);
    wr32(file.data() + root + 120, static_cast<uint32_t>(size + GetParam().delta));
    test::writeBytes(dir.file("patched.xls"), file);
    if (GetParam().reads) {
        EXPECT_EQ(makeWorkbookEngine()->open(dir.file("patched.xls"))->sheet("Sheet1").cell(1, 1),
                  CellValue::str("small"));
    } else {
        EXPECT_EQ(pondera::testing::errorNumberOf(
                      [&] { makeWorkbookEngine()->open(dir.file("patched.xls")); }),
                  kErrWorkbookOpen);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, RootMiniStreamSize,
                         ::testing::Values(MiniStreamSize{"Whole", 0, true},
                                           MiniStreamSize{"OneByteShort", -1, true},
                                           MiniStreamSize{"MostOfASectorShort", -63, true},
                                           MiniStreamSize{"BeyondItsSectors", 4096, false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(EngineContainer, CyclicMiniChainIsRefused) {
    TempDir dir;
    auto book = makeWorkbookEngine()->create();
    book->addSheet().setCell(1, 1, CellValue::str("small"));
    book->saveAs(dir.file("small.xls"));
    auto file = test::readBytes(dir.file("small.xls"));
    const size_t miniFat = (size_t{headerField(file, 0x3C)} + 1) * 512;
    wr32(file.data() + miniFat + 4, 0);  // mini sector 1 -> 0 -> 1 ...
    test::writeBytes(dir.file("cyclic.xls"), file);
    try {
        makeWorkbookEngine()->open(dir.file("cyclic.xls"));
        FAIL() << "opened";
    } catch (const Error &e) {
        EXPECT_NE(std::string(e.what()).find("cyclic"), std::string::npos) << e.what();
    }
}

// A workbook from a writer that gives the mini stream's size as the bytes in use.
TEST(EngineContainer, ReadsTheMiniStreamOfAnotherWriter) {
    auto book = makeWorkbookEngine()->open(std::string(ENGINE_TEST_DATA) + "/ruby_spreadsheet.xls");
    EXPECT_EQ(book->sheet("Sheet1").cell(1, 1), CellValue::str("x"));
    EXPECT_EQ(book->sheet("Sheet1").cell(2, 1).number, 1.5);
}

TEST(EngineContainer, LargeWorkbookNeedsDifatSectors) {
    TempDir dir;
    auto engine = makeWorkbookEngine();
    auto book = engine->create();
    Worksheet &ws = book->addSheet();
    for (int r = 1; r <= 40000; ++r)
        for (int c = 1; c <= 12; ++c)
            ws.setCell(r, c, CellValue::real(r + c / 3.0));
    book->saveAs(dir.file("big.xls"));
    auto file = test::readBytes(dir.file("big.xls"));
    EXPECT_GT(file.size(), 7u * 1024 * 1024);
    EXPECT_GE(headerField(file, 0x48), 1u);  // DIFAT sectors
    EXPECT_GT(headerField(file, 0x2C), 109u);

    auto again = engine->open(dir.file("big.xls"));
    Worksheet &back = again->sheet("Sheet1");
    for (int r : {1, 2, 17, 31, 32, 33, 12345, 39999, 40000})
        for (int c : {1, 7, 12})
            EXPECT_EQ(back.cell(r, c), CellValue::real(r + c / 3.0));
    EXPECT_TRUE(back.cell(40001, 1).isEmpty());
}

TEST(EngineContainer, OtherStreamsAreCarried) {
    TempDir dir;
    auto original = test::readBytes(std::string(ENGINE_TEST_DATA) + "/lo_foreign.xls");
    test::writeBytes(dir.file("f.xls"), original);
    auto book = makeWorkbookEngine()->open(dir.file("f.xls"));
    book->sheet("Plain").setCell(1, 1, CellValue::integer(1));
    book->saveAs(dir.file("g.xls"));
    CfbReader before(original);
    auto saved = test::readBytes(dir.file("g.xls"));
    CfbReader after(saved);
    size_t carried = 0;
    for (const auto &e : before.entries()) {
        if (e.name == u"Workbook") continue;
        auto i = after.find(e.name);
        ASSERT_TRUE(i.has_value());
        EXPECT_EQ(after.read(after.entries()[*i]), before.read(e));
        ++carried;
    }
    EXPECT_GE(carried, 2u);  // summary information streams
}

// Every byte of the file is written on purpose: the same workbook gives the same bytes.
TEST(EngineContainer, SameWorkbookSameBytes) {
    auto make = [] {
        XlsWorkbook book;
        Worksheet &a = book.addSheet();
        for (int r = 1; r <= 120; ++r)
            a.setCell(r, r % 7 + 1, CellValue::str(std::string(r, 'q')));
        book.addSheet().setCell(3, 3, CellValue::single(2.5f));
        return book.serialize();
    };
    std::vector<uint8_t> first = make();
    {
        std::vector<uint8_t> noise(first.size() * 2, 0xA5);  // dirty the heap in between
        ASSERT_EQ(noise[1], 0xA5);
    }
    EXPECT_EQ(make(), first);
}

struct RkCase {
    double value;
    bool rk;
};

TEST(EngineNumbers, RkHoldsWhatItCanExactly) {
    const RkCase cases[] = {{0, true},          {1, true},
                            {-1, true},         {32767, true},
                            {-32768, true},     {536870911, true},
                            {-536870912, true}, {536870912, true},  // truncated double
                            {0.5, true},        {-294.25, true},
                            {123.45, true},     {-0.07, true},
                            {0.1, true},  // 10 / 100      {1.0 / 3, false},
                            {1e300, false},     {-0.0, true},
                            {5368709.11, true}, {4294967296.5, false}};
    for (const RkCase &c : cases) {
        uint32_t rk = 0;
        EXPECT_EQ(biff::encodeRk(c.value, rk), c.rk) << c.value;
        if (c.rk) {
            EXPECT_EQ(biff::decodeRk(rk), c.value) << c.value;
            EXPECT_EQ(std::signbit(biff::decodeRk(rk)), std::signbit(c.value)) << c.value;
        }
    }
    uint32_t rk;
    EXPECT_FALSE(biff::encodeRk(NAN, rk));
    EXPECT_FALSE(biff::encodeRk(INFINITY, rk));
}

// The single-precision value goes in as its shortest decimal text, as the standard library's
// shortest formatting gives it.
TEST(EngineNumbers, SingleGoesInThroughItsShortestDecimal) {
    std::mt19937 rng(2010);
    std::uniform_int_distribution<uint32_t> bits;
    std::uniform_real_distribution<float> pixels(-1000, 1000);
    auto viaText = [](float f) {
        char buf[64];
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf, f);
        double d = 0;
        std::from_chars(buf, end, d);
        return d;
    };
    for (int i = 0; i < 200000; ++i) {
        float f;
        if (i % 2) {
            uint32_t b = bits(rng);
            std::memcpy(&f, &b, 4);
            if (!std::isfinite(f)) continue;
        } else {
            f = pixels(rng);
        }
        ASSERT_EQ(biff::singleToDouble(f), viaText(f)) << f;
    }
    EXPECT_EQ(biff::singleToDouble(0.1f), 0.1);
    EXPECT_EQ(biff::singleToDouble(294.7f), 294.7);
    EXPECT_EQ(biff::singleToDouble(-0.0f), 0.0);
    EXPECT_TRUE(std::signbit(biff::singleToDouble(-0.0f)));
}

}  // namespace
}  // namespace pondera::store
