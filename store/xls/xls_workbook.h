#pragma once

// The workbook model behind the engine interface: sheets with a compact per-sheet row store,
// one string pool per workbook, the records of a loaded file that the engine keeps, and the
// BIFF8 reader and writer that turn them into and out of a file.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/platform/files.h"
#include "store/xls/biff_records.h"
#include "store/xls/workbook_engine.h"

namespace pondera::store {

class XlsWorkbook;
struct SheetParser;
struct SheetWriter;
struct BookWriter;
struct BoundSheetEntry;
class XlsSaveJob;

// One cell in 12 bytes: the column, the kind, the format index and 8 bytes of value (number bits,
// string pool index, boolean or error code).
struct PackedCell {
    uint8_t col;  // 0-based
    uint8_t kind;
    uint16_t xf;
    uint32_t lo, hi;
};
static_assert(sizeof(PackedCell) == 12);

// The memory of one sheet's rows, cut from large blocks: reading a sheet of 100,000 rows costs a
// few dozen allocations instead of one a row. A row never holds more than 256 cells (a column is
// one byte), so what a row gives back is kept in a list for its exact size and handed to the next
// row asking for that size, as a growing row asks for the sizes a shrunk or moved one had. Used
// by one thread at a time, like the sheet.
class CellArena {
  public:
    CellArena() = default;
    CellArena(const CellArena &) = delete;
    CellArena &operator=(const CellArena &) = delete;
    ~CellArena();
    PackedCell *allocate(size_t n);
    void release(PackedCell *cells, size_t n) noexcept;

  private:
    static constexpr size_t kMaxRowCells = 256;
    // Blocks double from a few thousand cells (a small sheet stays small) up to the size that
    // comes in huge pages.
    struct Block {
        PackedCell *cells;
        size_t bytes;
    };
    std::vector<Block> blocks_;
    PackedCell *next_ = nullptr;
    size_t left_ = 0;
    PackedCell *free_[kMaxRowCells + 1] =
        {};  // freed rows by size, linked through their first bytes
};

// Hands a sheet's rows their memory from the sheet's arena.
template <typename T>
struct ArenaAllocator {
    using value_type = T;
    std::shared_ptr<CellArena> arena;

    explicit ArenaAllocator(std::shared_ptr<CellArena> a) : arena(std::move(a)) {}
    template <typename U>
    ArenaAllocator(const ArenaAllocator<U> &other) : arena(other.arena) {}
    T *allocate(size_t n) { return arena->allocate(n); }
    void deallocate(T *p, size_t n) noexcept { arena->release(p, n); }
    friend bool operator==(const ArenaAllocator &a, const ArenaAllocator &b) {
        return a.arena == b.arena;
    }
};
using CellRow = std::vector<PackedCell, ArenaAllocator<PackedCell>>;

class XlsSheet final : public Worksheet {
  public:
    XlsSheet(XlsWorkbook &book, std::string name) : book_(book), name_(std::move(name)) {}
    // A copy of from that belongs to book (a snapshot of from's workbook).
    XlsSheet(XlsWorkbook &book, const XlsSheet &from);

    const std::string &name() const override { return name_; }
    // Chart and macro sheets are carried as they are and have no cells here.
    bool isWorksheet() const override { return isWorksheet_; }
    void forEachCell(const CellVisitor &f) const override;
    void setName(const std::string &name) override;
    CellValue cell(int32_t row, int32_t col) const override;
    void setCell(int32_t row, int32_t col, const CellValue &value) override;

  private:
    friend class XlsWorkbook;
    friend struct SheetParser;
    friend struct SheetWriter;
    friend struct BookWriter;
    // Stores a cell read from a file (0-based position), keeping rows sorted by column.
    PackedCell &slot(uint32_t row, uint8_t col);
    // Makes rows_ at least count rows long, the new ones empty.
    void growRows(size_t count) {
        if (count > rows_.size()) rows_.resize(count, CellRow(ArenaAllocator<PackedCell>(arena_)));
    }
    void erase(uint32_t row, uint8_t col);
    void takeOver();  // the program wrote here: the sheet is rewritten from now on

    XlsWorkbook &book_;
    std::string name_;
    bool isWorksheet_ = true;  // chart and macro sheets are carried, never opened
    bool ours_ = true;         // rewritten from the cell store when saved
    bool lossy_ = false;       // held things a rewrite drops (formulas, merged cells, ...)
    uint8_t hsState_ = 0, dt_ = 0;
    uint16_t tabId_ = 0;
    // The original substream (BOF to EOF) in the loaded stream, while the sheet is not ours.
    size_t rawOrigin_ = 0, rawSize_ = 0;
    uint32_t rawSstRefs_ = 0;  // LABELSST cells in raw_
    std::shared_ptr<CellArena> arena_ =
        std::make_shared<CellArena>();  // before rows_: outlives them
    std::vector<CellRow> rows_;
    // Records kept through a rewrite (column widths, page set-up, header and footer), in order.
    std::vector<std::pair<uint16_t, std::vector<uint8_t>>> carried_;
};

class XlsWorkbook final : public Workbook {
  public:
    XlsWorkbook() = default;
    // Parses a compound file holding a BIFF8 workbook stream. Keeps the bytes (or just the
    // stream) while sheets that are carried as they are refer to them.
    void loadCompoundFile(Buffer &&file);
    void loadCompoundFile(std::vector<uint8_t> &&file) {
        loadCompoundFile(Buffer(file.begin(), file.end()));
    }
    // Takes over the values of an OOXML workbook.
    void loadOoxml(std::span<const uint8_t> file);
    // The file this workbook was read from, to know when a save replaces it.
    void setSource(const std::string &path, const FileIdentity &identity);

    size_t sheetCount() const override { return sheets_.size(); }
    XlsSheet &sheetAt(size_t i) override { return *sheets_.at(i); }

    Worksheet &sheet(const std::string &name) override;
    Worksheet &addSheet() override;
    SaveReport saveAs(const std::string &path) override;
    std::unique_ptr<SaveJob> snapshotSave(const std::string &path) override;
    void finishSave(SaveJob &job) override;

    // A copy of everything a save writes, sharing the loaded bytes (they never change), so that
    // the copy can be serialized on another thread while this workbook changes.
    std::unique_ptr<XlsWorkbook> snapshot() const;

    // The whole file as saveAs writes it (exposed for tests and tools).
    std::vector<uint8_t> serialize() {
        const ByteWriter file = build();
        std::vector<uint8_t> bytes;
        bytes.reserve(file.size() + file.spliced);
        for (const auto piece : file.pieces())
            bytes.insert(bytes.end(), piece.begin(), piece.end());
        return bytes;
    }

  private:
    friend class XlsSheet;
    friend struct SheetParser;
    friend struct BookWriter;
    friend class XlsSaveJob;
    // The file in the writer's buffer, with the bytes of carried sheets spliced in from the
    // loaded stream (valid while this workbook, or a snapshot sharing it, lives). The buffer is
    // built in spare's memory, so a save after a save touches no fresh pages.
    ByteWriter build(Buffer spare = {});
    // Fills in what a save of this workbook to requested needs to know of it (xls_save.cpp).
    void prepareSave(SaveJob &job, const std::string &requested);
    uint32_t intern(const std::string &text);
    const std::string &text(uint32_t index) const { return strings_[index]; }
    bool nameTaken(const std::string &name, const XlsSheet *except) const;
    XlsSheet &appendSheet(std::string name);
    void parseGlobals();
    // Returns whether the record ended the globals.
    bool parseGlobalsRecord(biff::RecordCursor &cur, biff::Record &rec,
                            std::vector<BoundSheetEntry> &bounds, std::vector<uint16_t> &tabIds);
    void readSst(biff::RecordCursor &cur, biff::Record &rec);
    std::span<const uint8_t> raw(const XlsSheet &s) const {
        return stream_.subspan(s.rawOrigin_, s.rawSize_);
    }
    void releaseStreamIfUnused();
    bool needsKeeping() const;

    struct KeptRecord {
        uint16_t id;
        std::vector<uint8_t> data;
    };
    std::vector<std::unique_ptr<XlsSheet>> sheets_;
    std::vector<std::string> strings_;
    std::unordered_map<std::string, uint32_t> stringIndex_;  // built on first intern
    std::unordered_map<uint32_t, biff::RichTail> tails_;
    uint32_t fixedStrings_ = 0;            // strings of the loaded SST keep their indices
    std::vector<KeptRecord> globals_;      // empty: written from defaults
    std::shared_ptr<const void> backing_;  // owns the bytes stream_ points into
    std::span<const uint8_t> stream_;
    std::vector<std::pair<std::u16string, std::vector<uint8_t>>> otherStreams_;
    uint16_t activeTab_ = 0;
    Buffer spare_;  // the last save's buffer, for the next one (never copied by snapshot)

    bool haveSource_ = false;
    bool sourceLossy_ = false;  // OOXML source, or container parts that are not carried
    std::string sourcePath_;
    uint64_t sourceDev_ = 0, sourceIno_ = 0;
};

}  // namespace pondera::store
