#include "store/records/journal.h"

#include <array>
#include <bit>
#include <cstring>

#include <zlib.h>

#include "store/xls/bytes.h"

namespace pondera::store {

namespace {

constexpr std::array<uint32_t, 256> makeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}
constexpr auto kCrcTable = makeCrcTable();

constexpr size_t kFixedPayload = 1 + 4 + 4 + 1 + 8;

void put32(std::string &out, uint32_t v) {
    uint8_t b[4];
    store::wr32(b, v);
    out.append(reinterpret_cast<const char *>(b), 4);
}
void put64(std::string &out, uint64_t v) {
    uint8_t b[8];
    store::wr64(b, v);
    out.append(reinterpret_cast<const char *>(b), 8);
}

}  // namespace

uint32_t crc32(const void *data, size_t size) {
    uint32_t c = 0xFFFFFFFFu;
    const auto *p = static_cast<const unsigned char *>(data);
    for (size_t i = 0; i < size; ++i)
        c = kCrcTable[(c ^ p[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void encodeJournalEntry(const JournalEntry &entry, std::string &out) {
    std::string payload;
    payload.reserve(kFixedPayload + entry.value.text.size());
    payload.push_back(static_cast<char>(entry.sheet));
    put32(payload, static_cast<uint32_t>(entry.row));
    put32(payload, static_cast<uint32_t>(entry.col));
    payload.push_back(static_cast<char>(entry.value.kind));
    put64(payload, std::bit_cast<uint64_t>(entry.value.number));
    payload += entry.value.text;
    put32(out, static_cast<uint32_t>(payload.size()));
    put32(out, crc32(payload.data(), payload.size()));
    out += payload;
}

JournalContents decodeJournal(std::string_view bytes) {
    JournalContents result;
    if (bytes.empty()) return result;
    if (bytes.size() < kJournalMagic.size() ||
        bytes.substr(0, kJournalMagic.size()) != kJournalMagic) {
        result.badHeader = true;
        return result;
    }
    const auto *base = reinterpret_cast<const unsigned char *>(bytes.data());
    size_t pos = kJournalMagic.size();
    while (pos < bytes.size()) {
        if (bytes.size() - pos < 8) break;
        const uint32_t length = rd32(base + pos);
        const uint32_t crc = rd32(base + pos + 4);
        if (length < kFixedPayload || bytes.size() - pos - 8 < length) break;
        const unsigned char *p = base + pos + 8;
        if (crc32(p, length) != crc) break;
        const uint8_t kind = p[9];
        if (kind > static_cast<uint8_t>(CellValue::Kind::Error)) break;
        JournalEntry e;
        e.sheet = p[0];
        e.row = static_cast<int32_t>(rd32(p + 1));
        e.col = static_cast<int32_t>(rd32(p + 5));
        e.value.kind = static_cast<CellValue::Kind>(kind);
        e.value.number = std::bit_cast<double>(rd64(p + 10));
        e.value.text.assign(reinterpret_cast<const char *>(p + kFixedPayload),
                            length - kFixedPayload);
        result.entries.push_back(std::move(e));
        pos += 8 + length;
    }
    result.goodLength = pos;
    result.tornTail = pos < bytes.size();
    return result;
}

std::string encodeSavedFile(const SavedFile &file) {
    std::string out;
    put64(out, file.identity.device);
    put64(out, file.identity.inode);
    put64(out, file.identity.size);
    put64(out, static_cast<uint64_t>(file.identity.mtimeNs));
    put32(out, file.checksum);
    return out;
}

std::optional<SavedFile> decodeSavedFile(std::string_view text) {
    if (text.size() != 4 * 8 + 4) return std::nullopt;
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    SavedFile file;
    file.identity.exists = true;
    file.identity.device = rd64(p);
    file.identity.inode = rd64(p + 8);
    file.identity.size = rd64(p + 16);
    file.identity.mtimeNs = static_cast<int64_t>(rd64(p + 24));
    file.checksum = rd32(p + 32);
    return file;
}

std::optional<SavedFile> describeFile(const std::string &path) {
    InputFile in(path);
    if (in.error() != 0 || !in.isRegular()) return std::nullopt;
    SavedFile file;
    file.identity = in.identity();
    // zlib's CRC-32: the content check reads the whole workbook, at start and after each
    // background save, so it uses the fast one.
    uLong crc = ::crc32(0L, Z_NULL, 0);
    std::vector<uint8_t> buffer(1 << 20);
    uint64_t total = 0;
    for (;;) {
        const size_t n = in.read(buffer.data(), buffer.size());
        if (n == 0) break;
        crc = ::crc32(crc, buffer.data(), static_cast<uInt>(n));
        total += n;
    }
    if (in.error() != 0 || total != file.identity.size) return std::nullopt;
    file.checksum = static_cast<uint32_t>(crc);
    return file;
}

bool holdsSavedFile(const std::string &path, const SavedFile &saved) {
    const std::optional<SavedFile> now = describeFile(path);
    return now && now->identity.size == saved.identity.size && now->checksum == saved.checksum;
}

}  // namespace pondera::store
