#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/platform/files.h"
#include "store/xls/cell_value.h"

// The change journal of the record store: one entry per cell write, appended beside the
// workbook and flushed at each commit, so that a crash loses nothing the store acknowledged.
//
// File layout: the 8-byte magic "PNDJRNL1", then entries. Each entry is
//   u32 payload length, u32 CRC-32 of the payload, payload
// and the payload is
//   u8 sheet, i32 row, i32 col, u8 value kind, f64 number, text bytes (the rest).
// All integers little-endian. An entry may be of any length the file holds. Reading stops at the
// first entry that is short or whose checksum does not match: that is the torn tail of a write
// the crash interrupted.
//
// Sheet kCommandMark marks the end of one command (one Commit that carried changes); its row is
// the code of the record shown. Sheet kSavedMark says that a save put the journal's first `row`
// commands into the workbook file, and its text (encodeSavedFile) names the file that save wrote;
// replay starts after them only while the workbook on disk still holds that file. Sheet
// kSavingMark, written before each save begins, says that a save of the first `row` commands may
// have replaced the file without its saved mark following (a crash in between). Entries of a
// sheet the store does not know are skipped.
namespace pondera::store {

struct JournalEntry {
    uint8_t sheet = 0;  // 0 ID, 1 COGS, 2 LANDMARK
    int32_t row = 0, col = 0;
    CellValue value;
    friend bool operator==(const JournalEntry &, const JournalEntry &) = default;
};

inline constexpr std::string_view kJournalMagic = "PNDJRNL1";
inline constexpr uint8_t kCommandMark = 0xFF;
inline constexpr uint8_t kSavedMark = 0xFE;
inline constexpr uint8_t kSavingMark = 0xFD;

uint32_t crc32(const void *data, size_t size);

// Appends one encoded entry to out.
void encodeJournalEntry(const JournalEntry &entry, std::string &out);

struct JournalContents {
    std::vector<JournalEntry> entries;
    size_t goodLength = 0;   // bytes up to the end of the last good entry
    bool tornTail = false;   // bytes after the last good entry were ignored
    bool badHeader = false;  // the file was not empty and did not start with the magic
};
JournalContents decodeJournal(std::string_view bytes);

// The workbook file a save wrote, as a saved mark names it: the file's identity on disk and a
// checksum of its whole content. Text layout: u64 device, u64 inode, u64 size, i64 mtime (ns),
// u32 CRC-32 of the content, little-endian.
struct SavedFile {
    FileIdentity identity;
    uint32_t checksum = 0;
    friend bool operator==(const SavedFile &, const SavedFile &) = default;
};
std::string encodeSavedFile(const SavedFile &file);
// Nothing for a text of another length (a mark written without one).
std::optional<SavedFile> decodeSavedFile(std::string_view text);
// The file at path as it is now, read whole; nothing when it is missing, no regular file or
// cannot be read to its end.
std::optional<SavedFile> describeFile(const std::string &path);
// Whether the file at path holds what the save that wrote `saved` put there: its identity and
// content (size and checksum) are those, or it is a copy of it (another identity, the same
// content; a folder copied after a crash). An older copy renamed over it is not.
bool holdsSavedFile(const std::string &path, const SavedFile &saved);

}  // namespace pondera::store
