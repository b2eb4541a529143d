#include <algorithm>
#include <cstring>

#include "store/xls/bytes.h"
#include "store/xls/cfb.h"
#include "store/xls/cfb_format.h"

namespace pondera::store {

using namespace cfb;

// One 128-byte directory entry as the file has it.
struct CfbReader::DirRecord {
    std::u16string name;
    uint8_t type;
    uint32_t left, right, child, start;
    uint64_t size;

    DirRecord(const uint8_t *e, uint16_t major) {
        const size_t nameBytes = std::min<size_t>(rd16(e + 64), 64);
        const size_t chars = nameBytes >= 2 ? nameBytes / 2 - 1 : 0;
        for (size_t k = 0; k < chars; ++k)
            name.push_back(static_cast<char16_t>(rd16(e + 2 * k)));
        type = e[66];
        left = rd32(e + 68);
        right = rd32(e + 72);
        child = rd32(e + 76);
        start = rd32(e + 116);
        size = major == 3 ? rd32(e + 120) : rd64(e + 120);
    }
};

CfbReader::CfbReader(std::span<const uint8_t> file) : file_(file) {
    const Header h = readHeader();
    readFat(h);
    const Entry root = readDirectory(h);
    readMiniStream(h, root);
}

CfbReader::Header CfbReader::readHeader() {
    if (file_.size() < kCfbHeaderSize || std::memcmp(file_.data(), kCfbSignature, 8) != 0)
        malformed("it is not a compound file");
    const uint8_t *h = file_.data();
    Header out;
    out.major = rd16(h + 0x1A);
    const uint16_t sectorShift = rd16(h + 0x1E);
    if (rd16(h + 0x1C) != 0xFFFE) malformed("the compound file header has a wrong byte order");
    if (!((out.major == 3 && sectorShift == 9) || (out.major == 4 && sectorShift == 12)))
        malformed("the compound file version or sector size is not supported");
    if (rd16(h + 0x20) != 6) malformed("the compound file mini sector size is not supported");
    sectorSize_ = size_t{1} << sectorShift;
    if (file_.size() <= sectorSize_) malformed("the compound file has no sectors");
    sectorCount_ = (file_.size() - sectorSize_ + sectorSize_ - 1) / sectorSize_;
    out.fatCount = rd32(h + 0x2C);
    out.firstDir = rd32(h + 0x30);
    out.firstMiniFat = rd32(h + 0x3C);
    out.miniFatCount = rd32(h + 0x40);
    out.firstDifat = rd32(h + 0x44);
    out.difatCount = rd32(h + 0x48);
    if (out.fatCount > sectorCount_)
        malformed("the compound file claims more FAT sectors than it has");
    return out;
}

void CfbReader::readFat(const Header &h) {
    // FAT sector ids: 109 in the header, the rest in the DIFAT chain.
    const size_t perSector = sectorSize_ / 4;
    std::vector<uint32_t> fatSectors;
    fatSectors.reserve(h.fatCount);
    for (size_t i = 0; i < 109 && fatSectors.size() < h.fatCount; ++i)
        fatSectors.push_back(rd32(file_.data() + 0x4C + 4 * i));
    uint32_t difat = h.firstDifat;
    size_t steps = 0;
    while (fatSectors.size() < h.fatCount) {
        if (difat >= sectorCount_ || ++steps > h.difatCount || steps > sectorCount_)
            malformed("the compound file's DIFAT chain is broken");
        const uint8_t *s = file_.data() + (difat + 1) * sectorSize_;
        if ((difat + 2) * sectorSize_ > file_.size()) malformed("the compound file is truncated");
        for (size_t i = 0; i + 1 < perSector && fatSectors.size() < h.fatCount; ++i)
            fatSectors.push_back(rd32(s + 4 * i));
        difat = rd32(s + 4 * (perSector - 1));
    }
    fat_.resize(fatSectors.size() * perSector);
    for (size_t k = 0; k < fatSectors.size(); ++k) {
        const uint32_t sid = fatSectors[k];
        if (sid >= sectorCount_ || (size_t{sid} + 2) * sectorSize_ > file_.size())
            malformed("the compound file's FAT points outside the file");
        const uint8_t *s = file_.data() + (size_t{sid} + 1) * sectorSize_;
        for (size_t i = 0; i < perSector; ++i)
            fat_[k * perSector + i] = rd32(s + 4 * i);
    }
}

CfbReader::Entry CfbReader::readDirectory(const Header &h) {
    const std::vector<uint8_t> dir = readChain(h.firstDir, UINT64_MAX);
    const size_t entryCount = dir.size() / kDirEntrySize;
    if (entryCount == 0 || dir[66] != 5) malformed("the compound file has no root entry");
    auto at = [&](size_t i) { return DirRecord(dir.data() + i * kDirEntrySize, h.major); };
    const DirRecord root = at(0);

    // Walk the root's children (a binary tree) without recursion; visited marks catch cycles.
    std::vector<bool> seen(entryCount, false);
    seen[0] = true;
    std::vector<uint32_t> todo;
    if (root.child != kNoStream) todo.push_back(root.child);
    while (!todo.empty()) {
        const uint32_t id = todo.back();
        todo.pop_back();
        if (id >= entryCount || seen[id]) malformed("the compound file's directory is damaged");
        seen[id] = true;
        const DirRecord r = at(id);
        if (r.type == 1 || r.type == 2) entries_.push_back({r.name, r.type, r.start, r.size});
        if (r.left != kNoStream) todo.push_back(r.left);
        if (r.right != kNoStream) todo.push_back(r.right);
    }
    return {root.name, root.type, root.start, root.size};
}

void CfbReader::readMiniStream(const Header &h, const Entry &root) {
    // Needed only if a small stream exists.
    const bool anyMini = std::any_of(entries_.begin(), entries_.end(), [](const Entry &e) {
        return e.type == 2 && e.size < kMiniCutoff && e.size > 0;
    });
    if (!anyMini) return;
    if (root.size > file_.size()) malformed("the compound file's mini stream is too large");
    // Some writers give the mini stream's size as the bytes in use rather than a whole number
    // of mini sectors; the last mini sector is still there in the root's sectors, so read it
    // whole (within what the chain holds), as other readers do.
    const uint64_t whole = (root.size + kMiniSectorSize - 1) / kMiniSectorSize * kMiniSectorSize;
    const uint64_t held =
        uint64_t{chain(root.start, fat_, sectorCount_, "sector").size()} * sectorSize_;
    miniStream_ = readChain(root.start, std::max(root.size, std::min(whole, held)));
    const std::vector<uint8_t> mf = readChain(h.firstMiniFat, UINT64_MAX);
    if (mf.size() / sectorSize_ < h.miniFatCount)
        malformed("the compound file's mini FAT is short");
    miniFat_.resize(mf.size() / 4);
    for (size_t i = 0; i < miniFat_.size(); ++i)
        miniFat_[i] = rd32(mf.data() + 4 * i);
}

std::optional<size_t> CfbReader::find(std::u16string_view name) const {
    for (size_t i = 0; i < entries_.size(); ++i)
        if (sameName(entries_[i].name, name)) return i;
    return std::nullopt;
}

std::vector<uint32_t> CfbReader::chain(uint32_t start, const std::vector<uint32_t> &table,
                                       size_t limit, const char *what) const {
    std::vector<uint32_t> ids;
    uint32_t id = start;
    while (id != kEndOfChain) {
        if (id >= table.size() || id >= limit || ids.size() >= limit)
            malformed(std::string("the compound file's ") + what + " chain is broken or cyclic");
        ids.push_back(id);
        id = table[id];
    }
    return ids;
}

std::vector<uint8_t> CfbReader::readChain(uint32_t start, uint64_t size) const {
    const std::vector<uint32_t> ids = chain(start, fat_, sectorCount_, "sector");
    const uint64_t avail = uint64_t{ids.size()} * sectorSize_;
    if (size == UINT64_MAX) size = avail;
    if (size > avail) malformed("a stream of the compound file is longer than its sectors");
    std::vector<uint8_t> out(size);
    size_t at = 0;
    for (uint32_t id : ids) {
        if (at >= size) break;
        const size_t n = std::min<uint64_t>(sectorSize_, size - at);
        const size_t off = (size_t{id} + 1) * sectorSize_;
        if (off + n > file_.size()) malformed("the compound file is truncated");
        std::memcpy(out.data() + at, file_.data() + off, n);
        at += n;
    }
    return out;
}

std::span<const uint8_t> CfbReader::contiguous(const Entry &entry) const {
    if (entry.type != 2 || entry.size < kMiniCutoff || entry.size > file_.size()) return {};
    const std::vector<uint32_t> ids = chain(entry.start, fat_, sectorCount_, "sector");
    if (uint64_t{ids.size()} * sectorSize_ < entry.size) return {};
    for (size_t i = 1; i < ids.size(); ++i)
        if (ids[i] != ids[i - 1] + 1) return {};
    const size_t off = (size_t{ids[0]} + 1) * sectorSize_;
    if (off + entry.size > file_.size()) return {};
    return file_.subspan(off, entry.size);
}

std::vector<uint8_t> CfbReader::read(const Entry &entry) const {
    if (entry.type != 2) malformed("a storage was read as a stream");
    if (entry.size > file_.size())
        malformed("a stream of the compound file is larger than the file");
    if (entry.size == 0) return {};
    if (entry.size >= kMiniCutoff) return readChain(entry.start, entry.size);
    const size_t miniCount = miniStream_.size() / kMiniSectorSize;
    const std::vector<uint32_t> ids =
        chain(entry.start, miniFat_, std::min(miniCount, miniFat_.size()), "mini sector");
    if (uint64_t{ids.size()} * kMiniSectorSize < entry.size)
        malformed("a small stream of the compound file is longer than its sectors");
    std::vector<uint8_t> out(entry.size);
    size_t at = 0;
    for (uint32_t id : ids) {
        if (at >= out.size()) break;
        const size_t n = std::min(kMiniSectorSize, out.size() - at);
        std::memcpy(out.data() + at, miniStream_.data() + size_t{id} * kMiniSectorSize, n);
        at += n;
    }
    return out;
}

}  // namespace pondera::store
