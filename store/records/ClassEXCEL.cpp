#include "store/records/ClassEXCEL.h"

#include <algorithm>
#include <array>

#include "model/demo_landmarks.h"
#include "model/error.h"
#include "store/platform/files.h"
#include "store/platform/system.h"
#include "store/records/journal.h"
#include "store/records/record_layout.h"
#include "store/records/record_paths.h"
#include "store/records/record_values.h"

namespace pondera {

using store::CellValue;

namespace {

using store::layout::kFileStem;
using store::layout::kSheetCOGS;
using store::layout::kSheetID;
using store::layout::kSheetLANDMARK;
constexpr const char *kFullText = "データがいっぱいです。";

// The last row GetCodeMaxNum looks at for the end of the record list.
constexpr int32_t kLastScannedRow = 65000;

std::string timeStamp() {
    return store::localTimeText("%Y%m%d-%H%M%S");
}

// A field of the spreadsheet lock file; its separators are escaped with a backslash.
std::string lockField(const std::string &s) {
    std::string out;
    for (char c : s) {
        if (c == ',' || c == ';' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

// The columns of point i in 16-bit arithmetic, as the record store computes them (an overflow
// raises error 6).
int16_t pointX(int16_t i) {
    return add16(mul16(store::layout::kPointColumnStep, i), store::layout::kPointXColumn);
}
int16_t pointZ(int16_t i) {
    return add16(mul16(store::layout::kPointColumnStep, i), store::layout::kPointZColumn);
}

bool isEmptyCode(const CellValue &v) {
    // The list ends at a cell whose value equals the empty text: an empty cell or empty text.
    return v.isEmpty() || (v.kind == CellValue::Kind::Text && v.text.empty());
}

}  // namespace

struct ClassEXCEL::Impl {
    Impl(const ClassLANDMARK &lm, const ClassSEGMENT &seg) : landMark(lm), segment(seg) {}

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

    std::unique_ptr<store::Workbook> ExlBook;
    std::array<store::Worksheet *, 3> sheets{};
    std::array<const std::string *, 3> sheetNames{&SheetNameID, &SheetNameCOGS, &SheetNameLANDMARK};

    int16_t NewExlFileFlag = 0;
    int16_t CurCode = 0;
    int16_t CurSex = 0;
    std::string CurMemo;
    std::string CurPictureName;

    store::LockedFile journal;
    uint64_t journalSize = 0;
    std::string pending;  // encoded entries not yet committed
    std::string lockFileContent;
    store::FileIdentity known;  // the workbook file as we last read or wrote it

    // First empty code cell of ID column A (0: not known yet). Every write goes through put(),
    // which keeps it exact, so the scan of GetCodeMaxNum runs once per start.
    int32_t firstEmptyRow = 0;

    std::vector<std::string> notices;
    int recovered = 0;
    bool closed = false;

    // ---- cells ----

    store::Worksheet &sheet(uint8_t index) {
        if (closed) throw Error(kErrFileAccess, "The record store is already closed");
        return *sheets[index];
    }

    CellValue get(uint8_t index, int32_t row, int32_t col) { return sheet(index).cell(row, col); }

    // Writes one cell; journal says whether the write is a change of the session (journalled)
    // or part of the start-up that every start repeats anyway.
    void put(uint8_t index, int32_t row, int32_t col, const CellValue &value, bool journalIt) {
        sheet(index).setCell(row, col, value);
        if (journalIt) store::encodeJournalEntry({index, row, col, value}, pending);
        if (index == kSheetID && col == store::layout::kColCode && firstEmptyRow != 0) {
            if (isEmptyCode(value)) {
                if (row >= store::layout::kFirstRecordRow)
                    firstEmptyRow = std::min(firstEmptyRow, row);
            } else if (row == firstEmptyRow) {
                firstEmptyRow = scanFirstEmpty(row + 1);
            }
        }
    }

    int32_t scanFirstEmpty(int32_t from) {
        const store::Worksheet &ws = sheet(kSheetID);
        for (int32_t r = from; r <= kLastScannedRow; ++r)
            if (isEmptyCode(ws.cell(r, store::layout::kColCode))) return r;
        return kLastScannedRow + 1;
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
        CurSex = readInt16(kSheetID, r, kColSex);
        CurMemo = readText(kSheetID, r, kColMemo);
        CurPictureName = readText(kSheetID, r, kColPicture);
    }

    // ---- start-up ----

    void buildPaths(const std::string &dir) {
        paths = store::recordPaths(dir);
        folder = paths.folder;
        ExlFileName = paths.workbook;
        journalPath = paths.journal;
        lockFilePath = paths.lockFile;
    }

    std::string freeName(const std::string &tag) {
        const std::string stem = folder + kFileStem + "." + tag + "-" + timeStamp();
        for (int n = 1;; ++n) {
            std::string name = stem + (n == 1 ? "" : "-" + std::to_string(n)) + ".xls";
            if (!store::fileIdentity(name).exists) return name;
        }
    }

    void takeLock() {
        if (!journal.open(journalPath))
            throw Error(kErrFileAccess,
                        "ワークブック「" + ExlFileName +
                            "」は、このフォルダーで実行中のもう一つのプログラムが使用しています。"
                            "そちらを終了してから起動し直してください。");
    }

    // The lock file by which the spreadsheet programs mark an open document, so that a user
    // who opens the workbook in one of them meanwhile is warned. Ours holds the exclusive lock,
    // so one already there is stale (left by a crash) and is replaced.
    void writeLockFile() {
        const std::string when = store::localTimeText("%d.%m.%Y %H:%M");
        lockFileContent =
            "," + lockField(store::userName()) + "," + lockField(store::hostName()) + "," + when +
            "," + lockField("file://" + store::homeDirectory() + "/.config/libreoffice/4") + ";";
        try {
            store::writeSmallFile(lockFilePath, lockFileContent);
        } catch (const Error &) {
            lockFileContent.clear();  // only a courtesy to other programs; not worth failing
        }
    }

    void removeLockFile() {
        if (lockFileContent.empty()) return;
        // Leave a lock file that another program has written over ours in the meantime.
        if (store::readSmallFile(lockFilePath) == lockFileContent) store::removeFile(lockFilePath);
        lockFileContent.clear();
    }

    void OpenExlFile() {
        NewExlFileFlag = 0;
        known = store::fileIdentity(ExlFileName);
        try {
            ExlBook = engine->open(ExlFileName);
            return;
        } catch (const Error &e) {
            if (e.number() != kErrWorkbookOpen) throw;
            if (known.exists) moveAsideUnreadable(e.what());
        }
        NewExlFileFlag = 1;
        known = {};
        ExlBook = engine->create();
    }

    // A workbook that exists but cannot be read is kept, never overwritten.
    void moveAsideUnreadable(const std::string &reason) {
        for (;;) {
            const std::string target = freeName("unreadable");
            if (store::renameNoReplace(ExlFileName, target)) {
                notices.push_back("ワークブック「" + ExlFileName + "」を読み込めなかったため、「" +
                                  target +
                                  "」に移して新しいワークブックを作成しました。理由: " + reason);
                return;
            }
        }
    }

    void bindSheet(uint8_t index) {
        try {
            sheets[index] = &ExlBook->sheet(*sheetNames[index]);
        } catch (const Error &e) {
            if (e.number() != kErrSubscript) throw;
            store::Worksheet &added = ExlBook->addSheet();
            added.setName(*sheetNames[index]);
            sheets[index] = &added;
        }
    }

    void replay(const std::string &bytes) {
        const store::JournalContents contents = store::decodeJournal(bytes);
        int applied = 0;
        for (const store::JournalEntry &e : contents.entries) {
            if (e.sheet > kSheetLANDMARK) continue;
            try {
                put(e.sheet, e.row, e.col, e.value, false);
                ++applied;
            } catch (const Error &) {
                // A cell the workbook cannot hold was never acknowledged either.
            }
        }
        recovered = applied;
        if (applied > 0)
            notices.push_back("前回の終了時に保存されていなかった変更 " + std::to_string(applied) +
                              " 件を復元しました。");
    }

    void SetupSheetID() {
        using namespace store::layout;
        for (int32_t c = kColCode; c <= kColBodyX; ++c)
            put(kSheetID, kHeaderRow, c, CellValue::str(kIdHeaders[c - 1]), false);
        put(kSheetID, kAxisRow, kColBodyX, CellValue::str(kAxisX), false);
        put(kSheetID, kAxisRow, kColBodyZ, CellValue::str(kAxisZ), false);
        for (int16_t code = 0; code < kDemoRecords; ++code) {
            const int32_t r = code + kRowOffset;
            put(kSheetID, r, kColCode, CellValue::integer(code), false);
            put(kSheetID, r, kColPicture,
                CellValue::str(code < 2 ? paths.demoPicture1 : paths.demoPicture3), false);
            put(kSheetID, r, kColSex, CellValue::integer(demoSex(code)), false);
            put(kSheetID, r, kColMemo, CellValue::str(demoMemo(code)), false);
        }
    }

    // The header rows of COGS or LANDMARK: "Code", then each point's name over its x and z.
    template <typename NameOf>
    void SetupPointHeaders(uint8_t sheet, int16_t first, int16_t last, NameOf nameOf) {
        using namespace store::layout;
        put(sheet, kHeaderRow, kColCode, CellValue::str(kCodeHeader), false);
        for (int16_t i = first; i <= last; ++i) {
            put(sheet, kHeaderRow, xColumn(i), CellValue::str(nameOf(i)), false);
            put(sheet, kAxisRow, xColumn(i), CellValue::str(kAxisX), false);
            put(sheet, kAxisRow, zColumn(i), CellValue::str(kAxisZ), false);
        }
        for (int16_t code = 0; code < kDemoRecords; ++code)
            put(sheet, code + kRowOffset, kColCode, CellValue::integer(code), false);
    }

    void SetupSheetCOGS() {
        SetupPointHeaders(kSheetCOGS, segment.GetSegMinNum(), segment.GetSegMaxNum(),
                          [&](int16_t s) { return segment.GetCOGSName(s); });
    }

    void SetupSheetLANDMARK() {
        using namespace store::layout;
        const int16_t first = landMark.GetLandMarkMinNum(), last = landMark.GetLandMarkMaxNum();
        SetupPointHeaders(kSheetLANDMARK, first, last,
                          [&](int16_t i) { return landMark.GetLandMarkName(i); });
        for (int16_t code = 0; code < kDemoRecords; ++code) {
            const DemoLandmarkSet &set = demoLandmarks(code);
            for (int16_t i = first; i <= last; ++i) {
                if (i < 0 || i >= static_cast<int16_t>(set.size())) continue;
                const int32_t r = code + kRowOffset;
                put(kSheetLANDMARK, r, xColumn(i),
                    CellValue::integer(static_cast<int16_t>(set[i].x)), false);
                put(kSheetLANDMARK, r, zColumn(i),
                    CellValue::integer(static_cast<int16_t>(set[i].z)), false);
            }
        }
    }

    void start(const std::string &dir) {
        buildPaths(dir);
        takeLock();
        // With the lock held no save of ours is running: a temporary file the engine left
        // (a save killed half-way, as large as the workbook) is a leftover.
        engine->removeInterruptedSaves(ExlFileName);
        const std::string leftover = journal.readAll();
        writeLockFile();
        OpenExlFile();
        bindSheet(kSheetID);
        bindSheet(kSheetCOGS);
        bindSheet(kSheetLANDMARK);
        replay(leftover);
        SetupSheetID();
        SetupSheetCOGS();
        SetupSheetLANDMARK();
        save();
        // Everything replayed is in the file now; start a fresh journal.
        journal.reset(std::string(store::kJournalMagic));
        journalSize = store::kJournalMagic.size();
    }

    // ---- saving ----

    void save() {
        const store::FileIdentity now = store::fileIdentity(ExlFileName);
        if (now.exists && !(now == known)) {
            // Someone else wrote the file since we read or wrote it (a spreadsheet program, a
            // copy from elsewhere): keep their version before ours replaces it.
            std::string kept;
            do
                kept = freeName("changed");
            while (!store::copyNoReplace(ExlFileName, kept));
            notices.push_back("ワークブック「" + ExlFileName +
                              "」がこのプログラムの外で変更されていたため、その版を「" + kept +
                              "」として残しました。");
        }
        const store::SaveReport report = ExlBook->saveAs(ExlFileName);
        if (!report.keptOriginal.empty())
            notices.push_back(
                "ワークブック「" + ExlFileName +
                "」にはこのプログラムが保存できない内容があったため、元のファイルを「" +
                report.keptOriginal + "」として残しました。");
        known = store::fileIdentity(ExlFileName);
    }

    void commit() {
        if (closed) throw Error(kErrFileAccess, "The record store is already closed");
        if (pending.empty()) return;
        journal.writeDurable(journalSize, pending);
        journalSize += pending.size();
        pending.clear();
    }

    void close() {
        if (closed) return;
        commit();
        save();
        journal.removeAndClose();
        removeLockFile();
        closed = true;
        sheets = {};
        ExlBook.reset();
    }

    // Release after a failed start or a failed Close: keep the journal for the next start.
    void abandon() noexcept {
        try {
            if (!closed && journal.isOpen() && !pending.empty()) commit();
        } catch (...) {
        }
        journal.close();
        try {
            removeLockFile();
        } catch (...) {
        }
        closed = true;
        sheets = {};
        ExlBook.reset();
    }
};

ClassEXCEL::ClassEXCEL(const ClassLANDMARK &landMark, const ClassSEGMENT &segment)
    : ClassEXCEL(landMark, segment, Options{}) {}

ClassEXCEL::ClassEXCEL(const ClassLANDMARK &landMark, const ClassSEGMENT &segment, Options options)
    : d(std::make_unique<Impl>(landMark, segment)) {
    d->engine = options.engine
                    ? std::move(options.engine)
                    : std::shared_ptr<store::WorkbookEngine>(store::makeWorkbookEngine());
    try {
        d->start(options.currentDir.empty() ? store::currentDirectory() : options.currentDir);
    } catch (...) {
        d->abandon();
        throw;
    }
}

ClassEXCEL::~ClassEXCEL() {
    if (!d || d->closed) return;
    try {
        d->close();
    } catch (...) {
        d->abandon();
    }
}

int16_t ClassEXCEL::GetNewExlFileFlag() const {
    return d->NewExlFileFlag;
}

int16_t ClassEXCEL::GetCodeMinNum() {
    return d->readInt16(kSheetID, store::layout::kFirstRecordRow, store::layout::kColCode);
}

int16_t ClassEXCEL::GetCodeMaxNum() {
    if (d->firstEmptyRow == 0) d->firstEmptyRow = d->scanFirstEmpty(3);
    const int32_t r = d->firstEmptyRow;
    // Past row 65000, or a code above 32767: the list cannot grow. The session goes on.
    // The last code is the one before the first empty row.
    const int32_t last = r - store::layout::kRowOffset - 1;
    if (r > kLastScannedRow || last > INT16_MAX) throw Error(kErrOverflow, kFullText);
    return static_cast<int16_t>(last);
}

int16_t ClassEXCEL::SetCurCode(int16_t intValue) {
    d->CurCode = intValue;
    d->readCurrentFields(d->row());
    return 1;
}

int16_t ClassEXCEL::GetCurCode() const {
    return d->CurCode;
}
std::string ClassEXCEL::GetCurPictureName() const {
    return d->CurPictureName;
}
int16_t ClassEXCEL::GetCurSex() const {
    return d->CurSex;
}
std::string ClassEXCEL::GetCurMemo() const {
    return d->CurMemo;
}

int16_t ClassEXCEL::PutSex(int16_t intValue) {
    d->CurSex = intValue;
    d->put(kSheetID, d->row(), store::layout::kColSex, CellValue::integer(intValue), true);
    return 1;
}

float ClassEXCEL::GetLandMarkX(int16_t intNum) {
    return d->readSingle(kSheetLANDMARK, d->row(), pointX(intNum));
}

float ClassEXCEL::GetLandMarkZ(int16_t intNum) {
    return d->readSingle(kSheetLANDMARK, d->row(), pointZ(intNum));
}

int16_t ClassEXCEL::PutLandMarkX(int16_t intNum, float sngValue) {
    d->put(kSheetLANDMARK, d->row(), pointX(intNum), CellValue::single(sngValue), true);
    return 1;
}

int16_t ClassEXCEL::PutLandMarkZ(int16_t intNum, float sngValue) {
    d->put(kSheetLANDMARK, d->row(), pointZ(intNum), CellValue::single(sngValue), true);
    return 1;
}

int16_t ClassEXCEL::PutCOGBX(float sngValue) {
    d->put(kSheetID, d->row(), store::layout::kColBodyX, CellValue::single(sngValue), true);
    return 1;
}

int16_t ClassEXCEL::PutCOGBZ(float sngValue) {
    d->put(kSheetID, d->row(), store::layout::kColBodyZ, CellValue::single(sngValue), true);
    return 1;
}

int16_t ClassEXCEL::PutCOGSX(int16_t intNum, float sngValue) {
    d->put(kSheetCOGS, d->row(), pointX(intNum), CellValue::single(sngValue), true);
    return 1;
}

int16_t ClassEXCEL::PutCOGSZ(int16_t intNum, float sngValue) {
    d->put(kSheetCOGS, d->row(), pointZ(intNum), CellValue::single(sngValue), true);
    return 1;
}

int16_t ClassEXCEL::AddCode() {
    const int16_t m = GetCodeMaxNum();
    int16_t n = 0, r = 0;
    try {
        n = add16(m, 1);
        d->CurCode = n;
        r = add16(n, store::layout::kRowOffset);
    } catch (const Error &e) {
        throw Error(e.number(), std::string(kFullText) + " (" + e.what() + ")");
    }
    using namespace store::layout;
    d->put(kSheetID, r, kColCode, CellValue::integer(n), true);
    d->put(kSheetID, r, kColPicture, CellValue::str(""), true);
    d->put(kSheetID, r, kColSex, CellValue::integer(0), true);
    d->put(kSheetID, r, kColMemo, CellValue::str(kNewMemo), true);
    d->put(kSheetCOGS, r, kColCode, CellValue::integer(n), true);
    d->put(kSheetLANDMARK, r, kColCode, CellValue::integer(n), true);
    d->readCurrentFields(r);
    return n;
}

int16_t ClassEXCEL::PutPictureName(const std::string &strFileName) {
    d->put(kSheetID, d->row(), store::layout::kColPicture, CellValue::str(strFileName), true);
    d->CurPictureName = strFileName;
    return 1;
}

int16_t ClassEXCEL::PutMemo(const std::string &strText) {
    d->put(kSheetID, d->row(), store::layout::kColMemo, CellValue::str(strText), true);
    d->CurMemo = strText;
    return 1;
}

void ClassEXCEL::Commit() {
    d->commit();
}

// When the save fails the store stays open with its journal durable, so nothing is lost and
// the caller may try again.
void ClassEXCEL::Close() {
    d->close();
}

std::vector<std::string> ClassEXCEL::TakeNotices() {
    std::vector<std::string> out;
    out.swap(d->notices);
    return out;
}

int ClassEXCEL::RecoveredChangeCount() const {
    return d->recovered;
}

const std::string &ClassEXCEL::GetExlFileName() const {
    return d->ExlFileName;
}

}  // namespace pondera
