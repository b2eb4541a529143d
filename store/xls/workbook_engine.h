#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "store/xls/cell_value.h"

namespace pondera::store {

// Called with (row, col, value), 1-based, for each cell holding a value.
using CellVisitor = std::function<void(int32_t, int32_t, const CellValue &)>;

// The spreadsheet operations the record store is built on. Rows and columns are 1-based as in a
// spreadsheet (column 1 is A). A row or column outside the grid of the file format
// (rows 1..65536, columns 1..256) raises Error(kErrWorkbookOpen).
class Worksheet {
  public:
    virtual ~Worksheet() = default;
    virtual const std::string &name() const = 0;
    // Throws Error(kErrFileAccess) for a name the format does not allow (empty, longer than 31
    // characters, []:*?/\ ) or one another sheet of the workbook has.
    virtual void setName(const std::string &name) = 0;
    virtual CellValue cell(int32_t row, int32_t col) const = 0;
    virtual void setCell(int32_t row, int32_t col, const CellValue &value) = 0;
    // Chart and macro sheets are carried as they are and hold no cells.
    virtual bool isWorksheet() const { return true; }
    // Every cell holding a value, row by row and left to right.
    virtual void forEachCell(const CellVisitor &f) const = 0;
};

// What a save did besides writing the file, for the program to tell the user once.
struct SaveReport {
    // Where the file as it was before this save was kept, because the file held things the
    // engine cannot carry into what it writes (formulas or formatting in the sheets it rewrites,
    // anything of an OOXML source beyond values). Empty when nothing had to be kept.
    std::string keptOriginal;
};

// The writing half of a save taken apart (Workbook::snapshotSave): it holds the workbook as it
// was serialized and touches nothing of the workbook, so write() may run on any thread.
class SaveJob {
  public:
    virtual ~SaveJob() = default;
    // Writes the snapshot as saveAs writes the workbook: atomically, the previous file untouched
    // on failure (Error(kErrFileAccess or kErrPathNotFound) says why).
    virtual SaveReport write() = 0;
};

class Workbook {
  public:
    virtual ~Workbook() = default;
    // The worksheet with that name (case-insensitive, as spreadsheets compare sheet names), or
    // Error(kErrSubscript) when the workbook has none.
    virtual Worksheet &sheet(const std::string &name) = 0;
    // Appends a new, empty worksheet with a default name not yet used ("Sheet1", "Sheet2", ...).
    virtual Worksheet &addSheet() = 0;
    // All sheets in workbook order, worksheets or not.
    virtual size_t sheetCount() const = 0;
    virtual Worksheet &sheetAt(size_t index) = 0;
    // Writes the whole workbook to path atomically: temporary file in the same folder, fsync,
    // rename over the target. On failure the previous file is untouched and Error(kErrFileAccess
    // or kErrPathNotFound) says why.
    virtual SaveReport saveAs(const std::string &path) = 0;
    // A save in two halves, so that the writing, the slow part, runs off the thread that owns
    // the workbook: snapshotSave serializes the workbook as it is now, for path; once the job's
    // write() has returned, finishSave(job) on the owning thread records what the save did (the
    // file the workbook now matches). Changes made in between are not in that file and are
    // written by the next save. Null when this workbook saves only with saveAs.
    virtual std::unique_ptr<SaveJob> snapshotSave(const std::string &path) {
        (void)path;
        return nullptr;
    }
    virtual void finishSave(SaveJob &job) { (void)job; }
};

class WorkbookEngine {
  public:
    virtual ~WorkbookEngine() = default;
    // Error(kErrWorkbookOpen, reason) when the file is missing, unreadable, encrypted or not a
    // workbook the engine reads. Never modifies the file.
    virtual std::unique_ptr<Workbook> open(const std::string &path) = 0;
    // open, calling converting (when given) once the file is read and turns out to need
    // converting to the engine's own format, before that conversion runs.
    virtual std::unique_ptr<Workbook> openTelling(const std::string &path,
                                                  const std::function<void()> &converting) {
        (void)converting;
        return open(path);
    }
    // The same for a workbook already in memory (what a file would hold); shownName stands for
    // the file in messages. The workbook has no file of its own until saveAs.
    virtual std::unique_ptr<Workbook> openBytes(std::span<const uint8_t> bytes,
                                                const std::string &shownName) = 0;
    // A new workbook holding no sheet at all.
    virtual std::unique_ptr<Workbook> create() = 0;
    // Removes what saves to path left behind when the process was killed during them (their
    // temporary files, where the engine writes them). Call it only while nothing saves to path.
    virtual void removeInterruptedSaves(const std::string &path) { (void)path; }
};

// The embedded engine: Excel 97-2003 (BIFF8) workbooks, also reading OOXML saved under .xls.
std::unique_ptr<WorkbookEngine> makeWorkbookEngine();

}  // namespace pondera::store
