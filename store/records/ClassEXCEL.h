#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "store/xls/workbook_engine.h"

namespace pondera {

// The record store: the one object through which the program reads and writes records in the
// workbook PONDERA2D_2010.xls of the current directory. Rows are code + 3 in 16-bit arithmetic
// (overflow raises error 6); every failure is raised as pondera::Error, never ends the process.
//
// Every acknowledged change survives a crash: changes are journalled beside the workbook and
// Commit() makes them durable; a journal left by an interrupted run is replayed at start-up.
class ClassEXCEL {
  public:
    // The steps of start-up, in the order they run, for a window that shows progress on a long
    // start. Only the steps that actually run are reported: Opening when a workbook file exists,
    // Converting when it has to be converted (an OOXML package), Recovering when a leftover
    // journal holds changes the file lacks, Writing always, and Ended last, whether the start
    // succeeded or raised its error.
    enum class StartStep { Opening, Converting, Recovering, Writing, Ended };
    struct Options {
        std::string currentDir;                         // empty: the process's current directory
        std::shared_ptr<store::WorkbookEngine> engine;  // null: the embedded engine
        // Called on the constructing thread as each step begins; may be empty.
        std::function<void(StartStep)> progress = {};
    };

    // Class_Initialize: opens or creates the workbook, restores headers and demonstration
    // records, replays a leftover journal, saves. Reads names and bounds from the two models.
    ClassEXCEL(const ClassLANDMARK &landMark, const ClassSEGMENT &segment);
    ClassEXCEL(const ClassLANDMARK &landMark, const ClassSEGMENT &segment, Options options);
    // Class_Terminate: Close() if it has not run; errors are swallowed here (the journal keeps
    // the changes for the next start), so call Close() to hear about them.
    ~ClassEXCEL();
    ClassEXCEL(const ClassEXCEL &) = delete;
    ClassEXCEL &operator=(const ClassEXCEL &) = delete;

    int16_t GetNewExlFileFlag() const;
    int16_t GetCodeMinNum();
    int16_t GetCodeMaxNum();
    // Makes intValue the current record and reads its picture name, memo and sex. A sex cell
    // that holds no 16-bit number (text typed over it) raises error 13 (6 for a number out of
    // range) after the rest is read: the record is current all the same, GetCurSex gives
    // kNoSex and GetCurSexText what the cell holds; PutSex repairs the cell.
    int16_t SetCurCode(int16_t intValue);
    static constexpr int16_t kNoSex = -1;
    int16_t GetCurCode() const;
    std::string GetCurPictureName() const;
    int16_t GetCurSex() const;
    // The current record's sex cell as text, whatever it holds (for showing a cell typed over
    // by hand, on which SetCurCode raised error 13); an error value gives "".
    std::string GetCurSexText();
    int16_t PutSex(int16_t intValue);
    std::string GetCurMemo() const;
    float GetLandMarkX(int16_t intNum);
    float GetLandMarkZ(int16_t intNum);
    int16_t PutLandMarkX(int16_t intNum, float sngValue);
    int16_t PutLandMarkZ(int16_t intNum, float sngValue);
    int16_t PutCOGBX(float sngValue);
    int16_t PutCOGBZ(float sngValue);
    int16_t PutCOGSX(int16_t intNum, float sngValue);
    int16_t PutCOGSZ(int16_t intNum, float sngValue);
    int16_t AddCode();
    int16_t PutPictureName(const std::string &strFileName);
    // Writes the memo of the current record, ID column D, as text and updates the cached memo.
    // A memo longer than a cell holds (32,767 characters) is refused with error 5, unchanged.
    int16_t PutMemo(const std::string &strText);

    // The program's own values of the current record by key (check marks of detected landmarks,
    // a video's path, ...), kept in a sheet of the program's own (store/records/record_layout.h)
    // and journalled like every change. Get gives "" for a key the record does not have (also one
    // whose cell was edited into a number). Put with "" removes the key. Keys are 1 to 255
    // characters, values up to what a cell holds; a longer one, or a record already holding
    // kDataMaxPairs keys, is refused with error 5 and nothing changes.
    std::string GetRecordValue(const std::string &strKey);
    int16_t PutRecordValue(const std::string &strKey, const std::string &strValue);

    // Makes every change so far durable (journal flushed to disk). The window calls it at the
    // end of each user command. When the journal cannot be written (a full disk) it raises the
    // error and keeps the changes in memory; the next Commit tries them again.
    void Commit();
    // True while changes are known only in memory: a Commit failed and no later one succeeded.
    bool HasUncommittedChanges() const;
    // Looks at the workbook file now: when another program has changed it since we read or wrote
    // it, keeps that version beside it and adds a notice naming the kept file. The window calls
    // it at each command and when it is activated.
    void CheckWorkbook();
    // True when the store holds changes that the workbook file does not (yet).
    bool HasUnsavedChanges() const;
    // Keeps the workbook file current while the program runs: takes a snapshot of the workbook
    // now and saves it atomically on a thread of its own, so that the caller's thread goes on.
    // Starts nothing (false) without unsaved changes, while such a save runs, or when the engine
    // cannot save a snapshot. done, when given, is called on the save's thread once it ends;
    // the caller then calls FinishBackgroundSave on its own thread. The journal stays the crash
    // guarantee throughout; a save that fails leaves it and the previous file as they were, and
    // adds one notice (one until a later save works).
    bool SaveInBackground(std::function<void()> done = {});
    // Waits for the background save, if one runs, and takes in what it did (notices included).
    // CheckWorkbook (once the save has ended) and Close call it themselves.
    void FinishBackgroundSave();
    bool BackgroundSaveRunning() const;
    // True from a failed background save until one succeeds.
    bool BackgroundSaveFailed() const;
    // Saves atomically, removes journal and locks. Afterwards the store accepts no call.
    void Close();

    // What start-up had to tell the user (journal recovered, unreadable workbook moved aside,
    // original kept beside a rewritten file, ...), one plain sentence each, in order. Later saves
    // append their own (a file changed on disk kept aside). The window shows and then clears them.
    std::vector<std::string> TakeNotices();
    int RecoveredChangeCount() const;  // commands replayed from a leftover journal at start-up
    const std::string &GetExlFileName() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace pondera
