#pragma once

// The record store's state behind ClassEXCEL, shared by its two halves: the cell access and the
// public calls (ClassEXCEL.cpp), and start-up, journal and saving (record_store_files.cpp).

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/error.h"
#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "store/platform/files.h"
#include "store/records/ClassEXCEL.h"
#include "store/records/journal.h"
#include "store/records/record_export.h"
#include "store/records/record_layout.h"
#include "store/records/record_paths.h"
#include "store/records/record_values.h"
#include "store/xls/bytes.h"

namespace pondera {

namespace records {

using store::layout::kSheetCOGS;
using store::layout::kSheetID;
using store::layout::kSheetLANDMARK;

// The last row GetCodeMaxNum looks at for the end of the record list.
inline constexpr int32_t kLastScannedRow = 65000;

// Whether writing value over a cell holding old changes what the program reads back: numbers
// by their value at the width value has (the file keeps a single as the shortest number that
// reads back as that single, so 262.99 is what 262.98999f comes back as), everything else
// exactly.
inline bool sameValue(const store::CellValue &old, const store::CellValue &value) {
    if (!old.isNumber() || !value.isNumber()) return old == value;
    if (value.kind == store::CellValue::Kind::Single) {
        // A number beyond what a single holds (typed by hand) is no single at all.
        if (!(std::abs(old.number) <= std::numeric_limits<float>::max())) return false;
        return std::bit_cast<uint32_t>(static_cast<float>(old.number)) ==
               std::bit_cast<uint32_t>(static_cast<float>(value.number));
    }
    return std::bit_cast<uint64_t>(old.number) == std::bit_cast<uint64_t>(value.number);
}

// A save running on a thread of its own: the snapshot, what the store knew when it was taken,
// and what the thread found. The thread writes only its results, and sets finished last.
struct BackgroundSave {
    std::unique_ptr<store::SaveJob> job;
    store::FileIdentity known;  // the workbook file as the store last read or wrote it
    uint64_t changes = 0;       // the store's change count in the snapshot
    int journalCommands = 0;    // commands in the journal, all of them in the snapshot
    std::function<void()> done;

    std::string keptChanged;  // a version written by another program, kept before ours
    store::SaveReport report;
    store::FileIdentity written;           // the workbook file just after the save
    std::optional<store::SavedFile> file;  // what the save wrote, for the journal's saved mark
    std::string error;                     // empty: the save succeeded
    std::atomic<bool> finished{false};
    std::thread thread;
};

}  // namespace records

struct ClassEXCEL::Impl {
    using CellValue = store::CellValue;
    static constexpr uint8_t kSheetID = store::layout::kSheetID;
    static constexpr uint8_t kSheetCOGS = store::layout::kSheetCOGS;
    static constexpr uint8_t kSheetLANDMARK = store::layout::kSheetLANDMARK;

    Impl(const ClassLANDMARK &lm, const ClassSEGMENT &seg) : landMark(lm), segment(seg) {}
    ~Impl() {
        if (background && background->thread.joinable()) background->thread.join();
    }

    const ClassLANDMARK &landMark;
    const ClassSEGMENT &segment;
    std::shared_ptr<store::WorkbookEngine> engine;

    store::RecordPaths paths;
    std::string folder;  // the current directory with the separator the path rule gives
    std::string ExlFileName;
    std::string journalPath;
    std::string lockFilePath;
    const std::string SheetNameID = store::layout::kSheetNames[kSheetID];
    const std::string SheetNameCOGS = store::layout::kSheetNames[kSheetCOGS];
    const std::string SheetNameLANDMARK = store::layout::kSheetNames[kSheetLANDMARK];
    const std::string SheetNameRecordData =
        store::layout::kSheetNames[store::layout::kSheetRecordData];

    std::unique_ptr<store::Workbook> ExlBook;
    // The data sheet is bound when the workbook has one, else added on its first write.
    std::array<store::Worksheet *, 4> sheets{};
    std::array<const std::string *, 4> sheetNames{&SheetNameID, &SheetNameCOGS, &SheetNameLANDMARK,
                                                  &SheetNameRecordData};

    int16_t NewExlFileFlag = 0;
    int16_t CurCode = 0;
    int16_t CurSex = 0;
    std::string CurMemo;
    std::string CurPictureName;

    store::FolderLock folderLock;  // one program per folder, whatever happens to the journal
    store::LockedFile journal;
    uint64_t journalSize = 0;
    std::string pending;      // encoded entries not yet committed
    int journalCommands = 0;  // command marks in the journal file

    // Cell changes of the session so far, and how many of them the workbook file holds.
    uint64_t changes = 0;
    uint64_t savedChanges = 0;
    std::unique_ptr<records::BackgroundSave> background;
    bool backgroundFailureTold = false;  // a failed background save is told once, until one works
    std::string lockFileContent;
    store::FileIdentity known;  // the workbook file as we last read or wrote it

    // First empty code cell of ID column A (0: not known yet). Every write goes through put(),
    // which keeps it exact, so the scan of GetCodeMaxNum runs once per start.
    int32_t firstEmptyRow = 0;

    std::function<void(StartStep)> progress;  // start-up's steps, for the window; may be empty
    void tell(StartStep step) {
        if (progress) progress(step);
    }

    std::vector<std::string> notices;
    int recovered = 0;
    bool closed = false;
    bool started = false;    // the constructor completed
    std::string noticePath;  // notices a close could not show wait here for the next start

    // ---- cells ----

    store::Worksheet &sheet(uint8_t index) {
        if (closed) throw Error(kErrFileAccess, "The record store is already closed");
        if (!sheets[index]) addDataSheet();
        return *sheets[index];
    }

    store::CellValue get(uint8_t index, int32_t row, int32_t col) {
        if (closed) throw Error(kErrFileAccess, "The record store is already closed");
        // Reading a data sheet the workbook does not have yet reads an empty cell.
        if (!sheets[index]) return {};
        return sheet(index).cell(row, col);
    }

    // Writes one cell; journal says whether the write is a change of the session (journalled)
    // or part of the start-up that every start repeats anyway. A change that writes the value the
    // cell holds already is none: it is not journalled, so a command that only writes back what
    // was there (the centres of a record as it is shown at start) leaves nothing to recover.
    void put(uint8_t index, int32_t row, int32_t col, const store::CellValue &value,
             bool journalIt) {
        store::Worksheet &ws = sheet(index);
        if (journalIt && records::sameValue(ws.cell(row, col), value)) return;
        ws.setCell(row, col, value);
        if (journalIt) {
            store::encodeJournalEntry({index, row, col, value}, pending);
            ++changes;
        }
        if (index == kSheetID && col == store::layout::kColCode && firstEmptyRow != 0) {
            if (store::isEmptyCode(value)) {
                if (row >= store::layout::kFirstRecordRow)
                    firstEmptyRow = std::min(firstEmptyRow, row);
            } else if (row == firstEmptyRow) {
                firstEmptyRow = scanFirstEmpty(row + 1);
            }
        }
    }

    int32_t scanFirstEmpty(int32_t from) {
        const store::Worksheet &ws = sheet(kSheetID);
        for (int32_t r = from; r <= records::kLastScannedRow; ++r)
            if (store::isEmptyCode(ws.cell(r, store::layout::kColCode))) return r;
        return records::kLastScannedRow + 1;
    }

    int16_t row() const { return add16(CurCode, store::layout::kRowOffset); }

    int16_t readInt16(uint8_t index, int32_t r, int32_t c) {
        return store::cellToInt16(get(index, r, c), *sheetNames[index], r, c);
    }
    float readSingle(uint8_t index, int32_t r, int32_t c) {
        return store::cellToSingle(get(index, r, c), *sheetNames[index], r, c);
    }
    std::string readText(uint8_t index, int32_t r, int32_t c) {
        return store::cellToText(get(index, r, c), *sheetNames[index], r, c);
    }

    void readCurrentFields(int16_t r) {
        using namespace store::layout;
        // The texts first, so that a sex cell that holds no number leaves the picture name of
        // this record known (the record list shows it).
        CurPictureName.clear();
        CurMemo.clear();
        CurPictureName = readText(kSheetID, r, kColPicture);
        CurMemo = readText(kSheetID, r, kColMemo);
        cutMemo(r);
        try {
            CurSex = readInt16(kSheetID, r, kColSex);
        } catch (const Error &) {
            CurSex = kNoSex;  // neither sex: the caller shows the record without one
            throw;
        }
    }

    // A memo longer than a cell holds (a file made elsewhere) is shown cut there, so that no
    // window is handed more than it can edit; the cell keeps all of it until the memo is
    // changed. The user is told once per record and run.
    void cutMemo(int32_t r) {
        if (CurMemo.size() <= store::layout::kMaxMemoLength) return;
        const size_t length = store::utf16Length(CurMemo);
        if (length <= store::layout::kMaxMemoLength) return;
        CurMemo.resize(store::utf16Prefix(CurMemo, store::layout::kMaxMemoLength));
        if (memoCutTold.insert(r).second)
            notices.push_back(memoCutNotice(r - store::layout::kRowOffset, length));
    }
    static std::string memoCutNotice(int32_t code, size_t length);
    std::set<int32_t> memoCutTold;

    // ---- start-up, journal and saving (record_store_files.cpp) ----

    void buildPaths(const std::string &dir);
    std::string freeName(const std::string &tag);
    void takeLock();
    void writeLockFile();
    void removeLockFile();
    void OpenExlFile();
    void moveAsideUnreadable(const std::string &reason);
    void bindSheet(uint8_t index);
    bool bindExistingSheet(uint8_t index);
    void addDataSheet();
    void replay(const store::JournalContents &contents);
    void markSaving(uint64_t at);
    std::string savedMark(int commands);
    void SetupSheetID();
    void SetupHeaders(uint8_t sheet);
    void SetupPointSheet(uint8_t sheet);
    void SetupSheetCOGS();
    void SetupSheetLANDMARK();
    void checkStartable();
    std::string keepChangedCopy();
    void keepChanged();
    void checkWorkbook();
    bool saveInBackground(std::function<void()> done);
    static void runBackgroundSave(Impl &self, records::BackgroundSave &job);
    void finishBackgroundSave();
    void recreateJournal();
    void persistNotices(size_t from);
    void loadPersistedNotices();
    void start(const std::string &dir);
    void save();
    void commit();
    void close();
    void abandon() noexcept;
};

}  // namespace pondera
