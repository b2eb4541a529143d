#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/error.h"
#include "store/xls/workbook_engine.h"

// A small stand-in for the workbook engine: cells in maps, saved as a line-per-cell text file
// (atomically, like the real engine), with switches to make open or save fail. It lets the store
// tests inject the failures a real file system rarely gives on demand.
namespace pondera::testing {

class FakeWorksheet : public store::Worksheet {
  public:
    explicit FakeWorksheet(std::string name) : name_(std::move(name)) {}
    const std::string &name() const override { return name_; }
    void setName(const std::string &name) override { name_ = name; }
    store::CellValue cell(int32_t row, int32_t col) const override;
    void setCell(int32_t row, int32_t col, const store::CellValue &value) override;
    void forEachCell(const store::CellVisitor &f) const override {
        for (const auto &[at, value] : cells)
            f(at.first, at.second, value);
    }

    std::map<std::pair<int32_t, int32_t>, store::CellValue> cells;

  private:
    std::string name_;
};

struct FakeSwitches {
    int openError = 0;         // non-zero: open() throws this error number
    int saveError = 0;         // non-zero: saveAs() throws this error number
    std::string keptOriginal;  // reported by every save
    // Called by every save before it writes, on the thread that writes (a test holds a
    // background save there, or fails it from there).
    std::function<void()> beforeWrite;
};

class FakeWorkbook : public store::Workbook {
  public:
    explicit FakeWorkbook(std::shared_ptr<FakeSwitches> sw) : switches_(std::move(sw)) {}
    store::Worksheet &sheet(const std::string &name) override;
    store::Worksheet &addSheet() override;
    size_t sheetCount() const override { return sheets.size(); }
    store::Worksheet &sheetAt(size_t index) override { return *sheets.at(index); }
    store::SaveReport saveAs(const std::string &path) override;
    std::unique_ptr<store::SaveJob> snapshotSave(const std::string &path) override;
    std::string serialize() const;

    std::vector<std::unique_ptr<FakeWorksheet>> sheets;

  private:
    std::shared_ptr<FakeSwitches> switches_;
};

class FakeEngine : public store::WorkbookEngine {
  public:
    FakeEngine() : switches(std::make_shared<FakeSwitches>()) {}
    std::unique_ptr<store::Workbook> open(const std::string &path) override;
    std::unique_ptr<store::Workbook> create() override;
    // The store never opens a workbook from memory: the fake refuses, as for a bad file.
    std::unique_ptr<store::Workbook> openBytes(std::span<const uint8_t>,
                                               const std::string &shownName) override {
        throw Error(kErrWorkbookOpen, "the fake engine reads files only: " + shownName);
    }

    std::shared_ptr<FakeSwitches> switches;
};

}  // namespace pondera::testing
