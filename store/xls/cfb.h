#pragma once

// The compound file container (version 3, 512-byte sectors, when writing; versions 3 and 4 when
// reading) that holds the workbook stream. It knows streams and names only, nothing of records.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/xls/bytes.h"

namespace pondera::store {

inline constexpr size_t kCfbHeaderSize = 512;
inline constexpr uint8_t kCfbSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

// Reads the streams directly under the root storage of a compound file held in memory. The
// constructor validates the header, the FAT (with DIFAT sectors), the mini FAT and the directory;
// every sector id is checked against the sector count and every chain walk is bounded, so a
// damaged or hostile file raises Error(kErrWorkbookOpen) instead of looping or reading past the
// end.
class CfbReader {
  public:
    struct Entry {
        std::u16string name;
        uint8_t type;  // 1 storage, 2 stream
        uint32_t start;
        uint64_t size;
    };

    explicit CfbReader(std::span<const uint8_t> file);

    const std::vector<Entry> &entries() const { return entries_; }
    // Index of the root-level entry with that name (compared case-insensitively, as the
    // container does), if any.
    std::optional<size_t> find(std::u16string_view name) const;
    std::vector<uint8_t> read(const Entry &entry) const;
    // The stream's bytes inside the file when its sectors follow one another (as this engine
    // writes them), so a large stream need not be copied; empty otherwise.
    std::span<const uint8_t> contiguous(const Entry &entry) const;

  private:
    struct Header {
        uint16_t major;
        uint32_t fatCount, firstDir, firstMiniFat, miniFatCount, firstDifat, difatCount;
    };
    struct DirRecord;
    Header readHeader();
    void readFat(const Header &h);
    // Fills entries_ from the root's children; returns the root entry (the mini stream).
    Entry readDirectory(const Header &h);
    void readMiniStream(const Header &h, const Entry &root);
    std::vector<uint32_t> chain(uint32_t start, const std::vector<uint32_t> &table, size_t limit,
                                const char *what) const;
    std::vector<uint8_t> readChain(uint32_t start, uint64_t size) const;

    std::span<const uint8_t> file_;
    size_t sectorSize_ = 512;
    size_t sectorCount_ = 0;
    std::vector<uint32_t> fat_;
    std::vector<uint32_t> miniFat_;
    std::vector<uint8_t> miniStream_;
    std::vector<Entry> entries_;
};

struct CfbStream {
    std::u16string name;
    std::span<const uint8_t> data;
};

// Completes a compound file in place. On entry `file` holds kCfbHeaderSize reserved bytes followed
// by the bytes of the main stream (so the largest stream is never copied); on return it is the
// whole file: main stream, the other streams, mini stream and mini FAT for streams under 4,096
// bytes, directory, FAT and DIFAT sectors, header. spliced bytes of the main stream are held
// outside file (ByteWriter::splice, all of them before its end); with any, the main stream must
// be 4,096 bytes or more.
void finishCfb(Buffer &file, std::u16string_view mainName, std::span<const CfbStream> others = {},
               size_t spliced = 0);

}  // namespace pondera::store
