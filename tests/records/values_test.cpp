// Reading cell values into the store's types: rounding, ranges, text and the refused kinds.
#include <gtest/gtest.h>

#include <clocale>

#include "base/error.h"
#include "store/records/record_values.h"

namespace pondera::store {
namespace {

struct IntCase {
    CellValue value;
    int error;  // 0: converts to expect
    int16_t expect;
};

TEST(CellToInt16, RoundsHalfToEvenAndRaisesOverflowAndMismatch) {
    const std::vector<IntCase> cases = {
        {CellValue{}, 0, 0},
        {CellValue::integer(-7), 0, -7},
        {CellValue::real(0.5), 0, 0},
        {CellValue::real(1.5), 0, 2},
        {CellValue::real(2.5), 0, 2},
        {CellValue::real(-2.5), 0, -2},
        {CellValue::real(2.5000001), 0, 3},
        {CellValue::real(32767.49), 0, 32767},
        {CellValue::real(32767.5), 6, 0},
        {CellValue::real(-32768.5), 0, -32768},
        {CellValue::real(-32768.51), 6, 0},
        {CellValue::real(1e300), 6, 0},
        {CellValue::str(" 12 "), 0, 12},
        {CellValue::str("\t-3.5"), 0, -4},
        {CellValue::str("+1e2"), 0, 100},
        {CellValue::str(".5"), 0, 0},
        {CellValue::str("40000"), 6, 0},
        {CellValue::str(""), 13, 0},
        {CellValue::str("1 2"), 13, 0},
        {CellValue::str("0x10"), 13, 0},
        {CellValue::str("inf"), 13, 0},
        {CellValue::str("1,5"), 13, 0},
        {CellValue::str("性別(0:男／1:女)"), 13, 0},
        {CellValue::boolean(true), 0, -1},
        {CellValue::boolean(false), 0, 0},
        {CellValue::error(0x2A), 13, 0},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const IntCase &c = cases[i];
        SCOPED_TRACE(i);
        if (c.error == 0) {
            EXPECT_EQ(cellToInt16(c.value, "ID", 5, 3), c.expect);
            continue;
        }
        try {
            cellToInt16(c.value, "ID", 5, 3);
            ADD_FAILURE() << "no error";
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), c.error) << e.what();
            if (c.error == 13) {
                EXPECT_NE(std::string(e.what()).find("ID"), std::string::npos) << e.what();
                EXPECT_NE(std::string(e.what()).find("C5"), std::string::npos) << e.what();
            }
        }
    }
}

TEST(CellToText, GeneralNumberFormat) {
    const std::vector<std::pair<CellValue, std::string>> cases = {
        {CellValue{}, ""},
        {CellValue::str(" as is "), " as is "},
        {CellValue::real(1.5), "1.5"},
        {CellValue::real(3), "3"},
        {CellValue::integer(-12), "-12"},
        {CellValue::single(0.1f), "0.1"},
        {CellValue::real(0.1), "0.1"},
        {CellValue::real(1.0 / 3), "0.333333333333333"},
        {CellValue::real(1e20), "1E+20"},
        {CellValue::real(-0.0), "0"},
        {CellValue::boolean(true), "TRUE"},
    };
    for (const auto &[value, text] : cases)
        EXPECT_EQ(cellToText(value, "ID", 7, 4), text);
    EXPECT_THROW(cellToText(CellValue::error(7), "ID", 7, 4), Error);
}

TEST(CellToSingle, NumbersTextAndBooleans) {
    EXPECT_EQ(cellToSingle(CellValue{}, "LANDMARK", 7, 2), 0.0f);
    EXPECT_EQ(cellToSingle(CellValue::real(0.1), "LANDMARK", 7, 2), 0.1f);
    EXPECT_EQ(cellToSingle(CellValue::str(" 12.25 "), "LANDMARK", 7, 2), 12.25f);
    EXPECT_EQ(cellToSingle(CellValue::boolean(true), "LANDMARK", 7, 2), -1.0f);
    EXPECT_THROW(cellToSingle(CellValue::real(1e39), "LANDMARK", 7, 2), Error);
    try {
        cellToSingle(CellValue::str("abc"), "LANDMARK", 7, 2);
        ADD_FAILURE();
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), 13);
        EXPECT_NE(std::string(e.what()).find("B7"), std::string::npos);
    }
}

TEST(CellToSingle, IndependentOfTheLocale) {
    // The window's toolkit switches the process to the user's locale, where "," may be the
    // decimal mark; a workbook must read the same anyway.
    const char *old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "fr_FR.UTF-8"))
        GTEST_SKIP() << "no locale with a decimal comma installed";
    EXPECT_EQ(cellToSingle(CellValue::str("1.5"), "LANDMARK", 7, 2), 1.5f);
    EXPECT_EQ(cellToText(CellValue::real(1.5), "ID", 7, 4), "1.5");
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(CellName, ColumnLetters) {
    EXPECT_EQ(cellName("ID", 1, 1), "ID!A1");
    EXPECT_EQ(cellName("LANDMARK", 7, 45), "LANDMARK!AS7");
    EXPECT_EQ(cellName("X", 2, 256), "X!IV2");
}

}  // namespace
}  // namespace pondera::store
