#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "base/error.h"
#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "store/records/ClassEXCEL.h"
#include "store/xls/workbook_engine.h"
#include "tests/records/fake_engine.h"
#include "tests/support/test_support.h"

namespace pondera::testing {

enum class EngineKind { Fake, Embedded };

inline std::string engineName(const ::testing::TestParamInfo<EngineKind> &info) {
    return info.param == EngineKind::Fake ? "Fake" : "Embedded";
}

// A fresh folder per test, the two models, and the engine under test.
class StoreTest : public ::testing::TestWithParam<EngineKind> {
  protected:
    void SetUp() override {
        tempDir = std::make_unique<TempDir>("records");
        dir = tempDir->path().string();
        fake = std::make_shared<FakeEngine>();
        if (GetParam() == EngineKind::Fake)
            engine = fake;
        else
            engine = std::shared_ptr<store::WorkbookEngine>(store::makeWorkbookEngine());
    }
    void TearDown() override { tempDir.reset(); }

    std::unique_ptr<ClassEXCEL> open() {
        return std::make_unique<ClassEXCEL>(landMark, segment, ClassEXCEL::Options{dir, engine});
    }
    std::string path() const { return dir + "/PONDERA2D_2010.xls"; }
    bool exists(const std::string &name) const { return std::filesystem::exists(dir + "/" + name); }

    // Edits the workbook file as another program would: open (or create), change, save.
    void editWorkbook(const std::function<void(store::Workbook &)> &edit) {
        std::unique_ptr<store::Workbook> book =
            std::filesystem::exists(path()) ? engine->open(path()) : engine->create();
        edit(*book);
        book->saveAs(path());
    }
    store::CellValue cellOnDisk(const std::string &sheet, int32_t row, int32_t col) {
        return engine->open(path())->sheet(sheet).cell(row, col);
    }
    double numberOnDisk(const std::string &sheet, int32_t row, int32_t col) {
        const store::CellValue v = cellOnDisk(sheet, row, col);
        EXPECT_TRUE(v.isNumber()) << sheet << " " << row << "," << col;
        return v.number;
    }
    // Fills ID, COGS and LANDMARK column A with codes 0..last, as a long record list has them.
    void writeCodes(int32_t last) {
        editWorkbook([&](store::Workbook &book) {
            for (const char *name : {"ID", "COGS", "LANDMARK"}) {
                store::Worksheet *ws = nullptr;
                try {
                    ws = &book.sheet(name);
                } catch (const Error &) {
                    ws = &book.addSheet();
                    ws->setName(name);
                }
                for (int32_t code = 0; code <= last; ++code)
                    ws->setCell(code + 3, 1, store::CellValue::real(code));
            }
        });
    }

    std::unique_ptr<TempDir> tempDir;
    std::string dir;
    ClassLANDMARK landMark;
    ClassSEGMENT segment{landMark};
    std::shared_ptr<FakeEngine> fake;
    std::shared_ptr<store::WorkbookEngine> engine;
};

// Expects fn to raise pondera::Error with that number; returns its message.
template <typename Fn>
std::string expectError(int number, Fn &&fn) {
    try {
        fn();
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), number) << e.what();
        return e.what();
    }
    ADD_FAILURE() << "no error raised, expected " << number;
    return {};
}

}  // namespace pondera::testing
