// Start-up, journal and saving of the record store.
#include <set>

#include "model/demo_landmarks.h"
#include "store/platform/system.h"
#include "store/records/record_store_impl.h"

namespace pondera {

using store::CellValue;

namespace {

using store::layout::kFileStem;

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

}  // namespace

void ClassEXCEL::Impl::buildPaths(const std::string &dir) {
    paths = store::recordPaths(dir);
    folder = paths.folder;
    ExlFileName = paths.workbook;
    journalPath = paths.journal;
    lockFilePath = paths.lockFile;
    noticePath = folder + "." + store::layout::kFileName + ".notices";
}

std::string ClassEXCEL::Impl::freeName(const std::string &tag) {
    const std::string stem = folder + kFileStem + "." + tag + "-" + timeStamp();
    for (int n = 1;; ++n) {
        std::string name = stem + (n == 1 ? "" : "-" + std::to_string(n)) + ".xls";
        if (!store::fileIdentity(name).exists) return name;
    }
}

void ClassEXCEL::Impl::takeLock() {
    // The folder's lock holds even when someone deletes the journal while we run.
    if (!folderLock.lock(folder) || !journal.open(journalPath))
        throw Error(kErrFileAccess,
                    "ワークブック「" + ExlFileName +
                        "」は、このフォルダーで実行中のもう一つのプログラムが使用しています。"
                        "そちらを終了してから起動し直してください。");
}

// The lock file by which the spreadsheet programs mark an open document, so that a user
// who opens the workbook in one of them meanwhile is warned. Ours holds the exclusive lock,
// so one already there is stale (left by a crash) and is replaced.
void ClassEXCEL::Impl::writeLockFile() {
    const std::string when = store::localTimeText("%d.%m.%Y %H:%M");
    lockFileContent =
        "," + lockField(store::userName()) + "," + lockField(store::hostName()) + "," + when + "," +
        lockField("file://" + store::homeDirectory() + "/.config/libreoffice/4") + ";";
    try {
        store::writeSmallFile(lockFilePath, lockFileContent);
    } catch (const Error &) {
        // Only a courtesy to other programs; not worth failing. What the failed write left
        // (empty or cut short: a full disk) would tell them the lock is damaged, so it goes.
        lockFileContent.clear();
        store::removeFile(lockFilePath);
    }
}

void ClassEXCEL::Impl::removeLockFile() {
    if (lockFileContent.empty()) return;
    // Leave a lock file that another program has written over ours in the meantime.
    if (store::readSmallFile(lockFilePath) == lockFileContent) store::removeFile(lockFilePath);
    lockFileContent.clear();
}

void ClassEXCEL::Impl::OpenExlFile() {
    NewExlFileFlag = 0;
    if (store::fileKind(ExlFileName) == store::FileKind::Symlink &&
        store::targetKind(ExlFileName) == store::FileKind::Missing)
        notices.push_back("ワークブック「" + ExlFileName + "」は存在しないファイル「" +
                          store::linkTarget(ExlFileName) +
                          "」を指すリンクだったため、リンクを新しいワークブックで置き換えました。");
    known = store::fileIdentity(ExlFileName);
    if (known.exists) tell(StartStep::Opening);
    try {
        ExlBook = engine->openTelling(ExlFileName, [this] { tell(StartStep::Converting); });
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
void ClassEXCEL::Impl::moveAsideUnreadable(const std::string &reason) {
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

bool ClassEXCEL::Impl::bindExistingSheet(uint8_t index) {
    try {
        sheets[index] = &ExlBook->sheet(*sheetNames[index]);
        return true;
    } catch (const Error &e) {
        if (e.number() != kErrSubscript) throw;
        return false;
    }
}

void ClassEXCEL::Impl::bindSheet(uint8_t index) {
    if (bindExistingSheet(index)) return;
    store::Worksheet &added = ExlBook->addSheet();
    added.setName(*sheetNames[index]);
    sheets[index] = &added;
}

// The header is written with the sheet, not journalled: replay adds the sheet again the same way.
void ClassEXCEL::Impl::addDataSheet() {
    using store::layout::kSheetRecordData;
    bindSheet(kSheetRecordData);
    sheets[kSheetRecordData]->setCell(store::layout::kHeaderRow, store::layout::kColCode,
                                      CellValue::str(store::layout::kDataHeader));
}

// Counts what the user did: the commands (Commits that carried changes), and the records they
// touched. Entries after the last command mark belong to a command whose Commit was cut short;
// they are applied and counted as one more. Commands a save has already put into the workbook
// (the last saved mark says how many) are neither applied again nor counted, as long as the file
// on disk holds what that save wrote. Any other file gets every command: one put in its place
// by someone else is kept beside first (it is what they wanted there), while one a later save of
// ours may have written before a crash took its mark (a saving mark follows the saved one) is
// simply brought up to date.
void ClassEXCEL::Impl::replay(const store::JournalContents &contents) {
    int32_t saved = 0;
    bool marked = false, savingAfter = false;
    std::optional<store::SavedFile> savedFile;
    for (const store::JournalEntry &e : contents.entries) {
        if (e.sheet == store::kSavedMark) {
            saved = e.row;
            marked = true;
            savedFile = store::decodeSavedFile(e.value.text);
            savingAfter = false;
        } else if (e.sheet == store::kSavingMark) {
            savingAfter = true;
        }
    }
    if (marked && !(savedFile && store::holdsSavedFile(ExlFileName, *savedFile))) {
        saved = 0;
        // Not the file the mark names (a mark from before marks named files says nothing).
        if (savedFile && !savingAfter && NewExlFileFlag == 0) keepChanged();
    }
    std::set<int32_t> codes;
    int commands = 0, seen = 0;
    bool open = false, told = false;
    for (const store::JournalEntry &e : contents.entries) {
        if (e.sheet == store::kCommandMark) {
            commands += open ? 1 : 0;
            open = false;
            ++seen;
            continue;
        }
        if (e.sheet > store::layout::kSheetRecordData || seen < saved) continue;
        if (!told) tell(StartStep::Recovering);
        told = true;
        try {
            put(e.sheet, e.row, e.col, e.value, false);
            open = true;
            if (e.row >= store::layout::kFirstRecordRow)
                codes.insert(e.row - store::layout::kRowOffset);
        } catch (const Error &) {
            // A cell the workbook cannot hold was never acknowledged either.
        }
    }
    recovered = commands + (open ? 1 : 0);
    if (recovered == 0) return;
    std::string list;
    for (int32_t code : codes)
        list += (list.empty() ? "" : ", ") + std::to_string(code);
    notices.push_back("前回の終了時に保存されていなかった操作 " + std::to_string(recovered) +
                      " 件を復元しました" + (list.empty() ? "" : "（記録 " + list + "）") + "。");
}

// Appends a saving mark at offset `at` of the journal before a save may replace the workbook.
// Without it a crash between the save and its saved mark would make our own new file look like
// one put there by someone else. It is only a hint: when it cannot be written the save goes on.
void ClassEXCEL::Impl::markSaving(uint64_t at) {
    std::string mark;
    store::encodeJournalEntry({store::kSavingMark, journalCommands, 0, CellValue::empty()}, mark);
    try {
        journal.writeDurable(at, mark);
        if (at == journalSize) journalSize += mark.size();
    } catch (const Error &) {
    }
}

// A saved mark for the workbook file as it is now, holding the journal's first `commands`
// commands; empty when the file cannot be read back (the mark would name nothing).
std::string ClassEXCEL::Impl::savedMark(int commands) {
    std::string mark;
    if (const std::optional<store::SavedFile> file = store::describeFile(ExlFileName))
        store::encodeJournalEntry(
            {store::kSavedMark, commands, 0, CellValue::str(store::encodeSavedFile(*file))}, mark);
    return mark;
}

void ClassEXCEL::Impl::SetupSheetID() {
    using namespace store::layout;
    SetupHeaders(kSheetID);
    for (int16_t code = 0; code < kDemoRecords; ++code) {
        const int32_t r = code + kRowOffset;
        put(kSheetID, r, kColCode, CellValue::integer(code), false);
        put(kSheetID, r, kColPicture,
            CellValue::str(code < 2 ? paths.demoPicture1 : paths.demoPicture3), false);
        put(kSheetID, r, kColSex, CellValue::integer(demoSex(code)), false);
        put(kSheetID, r, kColMemo, CellValue::str(demoMemo(code)), false);
    }
}

void ClassEXCEL::Impl::SetupHeaders(uint8_t sheet) {
    store::forEachHeaderCell(sheet, [&](int32_t row, int32_t col, const std::string &text) {
        put(sheet, row, col, CellValue::str(text), false);
    });
}

// The header rows of COGS or LANDMARK, then the codes of the demonstration records.
void ClassEXCEL::Impl::SetupPointSheet(uint8_t sheet) {
    SetupHeaders(sheet);
    for (int16_t code = 0; code < store::layout::kDemoRecords; ++code)
        put(sheet, code + store::layout::kRowOffset, store::layout::kColCode,
            CellValue::integer(code), false);
}

void ClassEXCEL::Impl::SetupSheetCOGS() {
    SetupPointSheet(kSheetCOGS);
}

void ClassEXCEL::Impl::SetupSheetLANDMARK() {
    using namespace store::layout;
    const int16_t first = landMark.GetLandMarkMinNum(), last = landMark.GetLandMarkMaxNum();
    SetupPointSheet(kSheetLANDMARK);
    for (int16_t code = 0; code < kDemoRecords; ++code) {
        const DemoLandmarkSet &set = demoLandmarks(code);
        for (int16_t i = first; i <= last; ++i) {
            if (i < 0 || i >= static_cast<int16_t>(set.size())) continue;
            const int32_t r = code + kRowOffset;
            put(kSheetLANDMARK, r, xColumn(i), CellValue::integer(static_cast<int16_t>(set[i].x)),
                false);
            put(kSheetLANDMARK, r, zColumn(i), CellValue::integer(static_cast<int16_t>(set[i].z)),
                false);
        }
    }
}

// Refuses, before anything is created, what no start could use: something other than a file in
// the workbook's place, a read-only workbook or folder.
void ClassEXCEL::Impl::checkStartable() {
    const store::FileKind kind = store::targetKind(ExlFileName);
    if (kind == store::FileKind::Directory || kind == store::FileKind::Other)
        throw Error(kErrFileAccess,
                    "「" + ExlFileName +
                        "」はフォルダーか特殊なファイルのため、ワークブックとして開け"
                        "ません。名前を変えるか移してから起動し直してください。");
    if (!store::canWriteIn(folder))
        throw Error(kErrFileAccess, "フォルダー「" + folder +
                                        "」に書き込めないため、記録を保存できません。書き込めるフォ"
                                        "ルダーで起動してください。");
    if (kind == store::FileKind::Regular && !store::canWrite(ExlFileName))
        throw Error(kErrFileAccess, "ワークブック「" + ExlFileName +
                                        "」は読み取り専用のため、記録を保存できません。読み取り専用"
                                        "を解除してから起動し直してください。");
}

void ClassEXCEL::Impl::start(const std::string &dir) {
    buildPaths(dir);
    checkStartable();
    takeLock();
    loadPersistedNotices();
    // With the lock held no save of ours is running: a temporary file the engine left
    // (a save killed half-way, as large as the workbook) is a leftover.
    engine->removeInterruptedSaves(ExlFileName);
    const store::JournalContents leftover = store::decodeJournal(journal.readAll());
    writeLockFile();
    OpenExlFile();
    bindSheet(kSheetID);
    bindSheet(kSheetCOGS);
    bindSheet(kSheetLANDMARK);
    bindExistingSheet(store::layout::kSheetRecordData);
    replay(leftover);
    SetupSheetID();
    SetupSheetCOGS();
    SetupSheetLANDMARK();
    if (!leftover.entries.empty()) markSaving(leftover.goodLength);
    tell(StartStep::Writing);
    save();
    // Everything replayed is in the file now; start a fresh journal, its saved mark naming the
    // file this start wrote.
    const std::string fresh = std::string(store::kJournalMagic) + savedMark(0);
    journal.reset(fresh);
    journalSize = fresh.size();
    journalCommands = 0;
    savedChanges = changes;
    started = true;
}

// ---- saving ----

// Someone else wrote the file since we read or wrote it (a spreadsheet program, a copy from
// elsewhere): their version is kept before ours replaces it. Returns the kept file's name. It
// reads only what start-up fixed, so a background save may call it too.
std::string ClassEXCEL::Impl::keepChangedCopy() {
    std::string kept;
    do
        kept = freeName("changed");
    while (!store::copyNoReplace(ExlFileName, kept));
    return kept;
}

namespace {

std::string changedNotice(const std::string &workbook, const std::string &kept) {
    return "ワークブック「" + workbook + "」がこのプログラムの外で変更されていたため、その版を「" +
           kept + "」として残しました。";
}

std::string keptOriginalNotice(const std::string &workbook, const std::string &kept) {
    return "ワークブック「" + workbook +
           "」にはこのプログラムが保存できない内容があったため、元のファイルを「" + kept +
           "」として残しました。";
}

}  // namespace

void ClassEXCEL::Impl::keepChanged() {
    notices.push_back(changedNotice(ExlFileName, keepChangedCopy()));
    known = store::fileIdentity(ExlFileName);
}

void ClassEXCEL::Impl::checkWorkbook() {
    // While a background save runs, a new file in the workbook's place is most likely ours.
    if (background && background->finished) finishBackgroundSave();
    if (background) return;
    const store::FileIdentity now = store::fileIdentity(ExlFileName);
    if (now.exists && !(now == known)) keepChanged();
}

void ClassEXCEL::Impl::save() {
    finishBackgroundSave();
    checkWorkbook();
    const store::SaveReport report = ExlBook->saveAs(ExlFileName);
    if (!report.keptOriginal.empty())
        notices.push_back(keptOriginalNotice(ExlFileName, report.keptOriginal));
    known = store::fileIdentity(ExlFileName);
    savedChanges = changes;
}

// ---- saving in the background ----

bool ClassEXCEL::Impl::saveInBackground(std::function<void()> done) {
    if (closed || background || changes == savedChanges) return false;
    std::unique_ptr<store::SaveJob> job = ExlBook->snapshotSave(ExlFileName);
    if (!job) return false;
    auto save = std::make_unique<records::BackgroundSave>();
    save->job = std::move(job);
    save->known = known;
    save->changes = changes;
    save->journalCommands = journalCommands;
    save->done = std::move(done);
    if (journal.isOpen()) markSaving(journalSize);
    records::BackgroundSave &running = *save;
    background = std::move(save);
    running.thread = std::thread(runBackgroundSave, std::ref(*this), std::ref(running));
    return true;
}

// On the save's own thread: it touches the files and its own results, nothing of the workbook.
void ClassEXCEL::Impl::runBackgroundSave(Impl &self, records::BackgroundSave &save) {
    try {
        const store::FileIdentity now = store::fileIdentity(self.ExlFileName);
        if (now.exists && !(now == save.known)) save.keptChanged = self.keepChangedCopy();
        save.report = save.job->write();
        save.written = store::fileIdentity(self.ExlFileName);
        save.file = store::describeFile(self.ExlFileName);
    } catch (const std::exception &e) {
        save.error = e.what();
        if (save.error.empty()) save.error = "?";
    }
    save.finished = true;
    if (save.done) save.done();
}

// Waits for a background save and takes in what it did. The journal stays the guarantee either
// way: after a save that worked it records how many of its commands the file now holds, so that
// a crash later replays, and counts, only those after them.
void ClassEXCEL::Impl::finishBackgroundSave() {
    if (!background) return;
    background->thread.join();
    const std::unique_ptr<records::BackgroundSave> save = std::move(background);
    if (!save->error.empty()) {
        if (!backgroundFailureTold)
            notices.push_back("ワークブック「" + ExlFileName + "」を自動で保存できませんでした。" +
                              (pending.empty()
                                   ? "変更はすべてジャーナルに記録されており、失われていません。"
                                   : "") +
                              "保存は後でもう一度試みます。理由: " + save->error);
        backgroundFailureTold = true;
        return;
    }
    backgroundFailureTold = false;
    ExlBook->finishSave(*save->job);
    if (!save->keptChanged.empty())
        notices.push_back(changedNotice(ExlFileName, save->keptChanged));
    if (!save->report.keptOriginal.empty())
        notices.push_back(keptOriginalNotice(ExlFileName, save->report.keptOriginal));
    known = save->written;
    savedChanges = std::max(savedChanges, save->changes);
    if (!journal.isOpen() || !save->file) return;
    std::string mark;
    store::encodeJournalEntry({store::kSavedMark, save->journalCommands, 0,
                               CellValue::str(store::encodeSavedFile(*save->file))},
                              mark);
    try {
        journal.writeDurable(journalSize, mark);
        journalSize += mark.size();
    } catch (const Error &) {
        // Without the mark a crash replays commands the file holds already: the same values.
    }
}

// The journal was deleted while we ran: everything so far goes into the workbook, and a new
// journal guards what comes next.
void ClassEXCEL::Impl::recreateJournal() {
    save();
    journal.close();
    if (!journal.open(journalPath))
        throw Error(kErrFileAccess, "The journal " + journalPath + " is held by another program");
    const std::string fresh = std::string(store::kJournalMagic) + savedMark(0);
    journal.reset(fresh);
    journalSize = fresh.size();
    journalCommands = 0;
    pending.clear();
    notices.push_back("変更を守るジャーナル「" + journalPath +
                      "」が削除されていたため、ここまでの変更をワークブックに保存し、ジャーナルを作"
                      "り直しました。");
}

// Notices from a close reach the user at the next start.
void ClassEXCEL::Impl::persistNotices(size_t from) {
    std::string text;
    for (size_t i = from; i < notices.size(); ++i)
        text += notices[i] + "\n";
    if (text.empty()) return;
    try {
        store::writeSmallFile(noticePath, store::readSmallFile(noticePath) + text);
    } catch (const Error &) {
        // Only a message; the data are safe either way.
    }
}

void ClassEXCEL::Impl::loadPersistedNotices() {
    const std::string text = store::readSmallFile(noticePath);
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        if (end > at) notices.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    if (!text.empty()) store::removeFile(noticePath);
}

void ClassEXCEL::Impl::commit() {
    if (closed) throw Error(kErrFileAccess, "The record store is already closed");
    if (pending.empty()) return;
    if (!journal.stillNamed()) {
        recreateJournal();
        return;
    }
    store::encodeJournalEntry({store::kCommandMark, CurCode, 0, CellValue::empty()}, pending);
    journal.writeDurable(journalSize, pending);
    journalSize += pending.size();
    ++journalCommands;
    pending.clear();
}

void ClassEXCEL::Impl::close() {
    if (closed) return;
    commit();
    const size_t before = notices.size();
    if (journal.isOpen()) markSaving(journalSize);
    save();
    persistNotices(before);
    journal.removeAndClose();
    folderLock.unlock();
    removeLockFile();
    closed = true;
    sheets = {};
    ExlBook.reset();
}

// Release after a failed start or a failed Close: keep the journal for the next start.
void ClassEXCEL::Impl::abandon() noexcept {
    if (background && background->thread.joinable()) background->thread.join();
    try {
        if (!closed && journal.isOpen() && !pending.empty()) commit();
    } catch (...) {
    }
    // A failed start leaves nothing of its own behind: a journal it created holds nothing.
    if (!started && journal.isOpen() && journal.created() && pending.empty())
        journal.removeAndClose();
    journal.close();
    folderLock.unlock();
    try {
        removeLockFile();
    } catch (...) {
    }
    closed = true;
    sheets = {};
    ExlBook.reset();
}

}  // namespace pondera
