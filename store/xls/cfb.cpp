#include "store/xls/cfb.h"

#include <algorithm>
#include <cstring>

#include "store/xls/bytes.h"

namespace pondera::store {

namespace {

constexpr uint32_t kDifSect = 0xFFFFFFFC;
constexpr uint32_t kFatSect = 0xFFFFFFFD;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFreeSect = 0xFFFFFFFF;
constexpr uint32_t kNoStream = 0xFFFFFFFF;
constexpr size_t kMiniSectorSize = 64;
constexpr uint64_t kMiniCutoff = 4096;
constexpr size_t kDirEntrySize = 128;

char16_t upper(char16_t c) {
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
    return c;
}

bool sameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i])) return false;
    return true;
}

// The container orders siblings by length first, then by upper-cased code units.
bool nameLess(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return a.size() < b.size();
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = upper(a[i]), y = upper(b[i]);
        if (x != y) return x < y;
    }
    return false;
}

}  // namespace

CfbReader::CfbReader(std::span<const uint8_t> file) : file_(file) {
    if (file.size() < kCfbHeaderSize || std::memcmp(file.data(), kCfbSignature, 8) != 0)
        malformed("it is not a compound file");
    const uint8_t *h = file.data();
    uint16_t major = rd16(h + 0x1A);
    uint16_t sectorShift = rd16(h + 0x1E);
    if (rd16(h + 0x1C) != 0xFFFE) malformed("the compound file header has a wrong byte order");
    if (!((major == 3 && sectorShift == 9) || (major == 4 && sectorShift == 12)))
        malformed("the compound file version or sector size is not supported");
    if (rd16(h + 0x20) != 6) malformed("the compound file mini sector size is not supported");
    sectorSize_ = size_t{1} << sectorShift;
    if (file.size() <= sectorSize_) malformed("the compound file has no sectors");
    sectorCount_ = (file.size() - sectorSize_ + sectorSize_ - 1) / sectorSize_;

    uint32_t fatCount = rd32(h + 0x2C);
    uint32_t firstDir = rd32(h + 0x30);
    uint32_t firstMiniFat = rd32(h + 0x3C);
    uint32_t miniFatCount = rd32(h + 0x40);
    uint32_t firstDifat = rd32(h + 0x44);
    uint32_t difatCount = rd32(h + 0x48);
    if (fatCount > sectorCount_) malformed("the compound file claims more FAT sectors than it has");

    // FAT sector ids: 109 in the header, the rest in the DIFAT chain.
    const size_t perSector = sectorSize_ / 4;
    std::vector<uint32_t> fatSectors;
    fatSectors.reserve(fatCount);
    for (size_t i = 0; i < 109 && fatSectors.size() < fatCount; ++i)
        fatSectors.push_back(rd32(h + 0x4C + 4 * i));
    uint32_t difat = firstDifat;
    size_t steps = 0;
    while (fatSectors.size() < fatCount) {
        if (difat >= sectorCount_ || ++steps > difatCount || steps > sectorCount_)
            malformed("the compound file's DIFAT chain is broken");
        const uint8_t *s = file.data() + (difat + 1) * sectorSize_;
        if ((difat + 2) * sectorSize_ > file.size()) malformed("the compound file is truncated");
        for (size_t i = 0; i + 1 < perSector && fatSectors.size() < fatCount; ++i)
            fatSectors.push_back(rd32(s + 4 * i));
        difat = rd32(s + 4 * (perSector - 1));
    }
    fat_.resize(fatSectors.size() * perSector);
    for (size_t k = 0; k < fatSectors.size(); ++k) {
        uint32_t sid = fatSectors[k];
        if (sid >= sectorCount_ || (size_t{sid} + 2) * sectorSize_ > file.size())
            malformed("the compound file's FAT points outside the file");
        const uint8_t *s = file.data() + (size_t{sid} + 1) * sectorSize_;
        for (size_t i = 0; i < perSector; ++i)
            fat_[k * perSector + i] = rd32(s + 4 * i);
    }

    // Directory.
    std::vector<uint8_t> dir = readChain(firstDir, UINT64_MAX);
    size_t entryCount = dir.size() / kDirEntrySize;
    if (entryCount == 0 || dir[66] != 5) malformed("the compound file has no root entry");
    struct Raw {
        std::u16string name;
        uint8_t type;
        uint32_t left, right, child, start;
        uint64_t size;
    };
    auto rawAt = [&](size_t i) {
        const uint8_t *e = dir.data() + i * kDirEntrySize;
        Raw r;
        size_t nameBytes = std::min<size_t>(rd16(e + 64), 64);
        size_t chars = nameBytes >= 2 ? nameBytes / 2 - 1 : 0;
        for (size_t k = 0; k < chars; ++k)
            r.name.push_back(static_cast<char16_t>(rd16(e + 2 * k)));
        r.type = e[66];
        r.left = rd32(e + 68);
        r.right = rd32(e + 72);
        r.child = rd32(e + 76);
        r.start = rd32(e + 116);
        r.size = major == 3 ? rd32(e + 120) : rd64(e + 120);
        return r;
    };
    Raw root = rawAt(0);

    // Walk the root's children (a binary tree) without recursion; visited marks catch cycles.
    std::vector<bool> seen(entryCount, false);
    seen[0] = true;
    std::vector<uint32_t> todo;
    if (root.child != kNoStream) todo.push_back(root.child);
    while (!todo.empty()) {
        uint32_t id = todo.back();
        todo.pop_back();
        if (id >= entryCount || seen[id]) malformed("the compound file's directory is damaged");
        seen[id] = true;
        Raw r = rawAt(id);
        if (r.type == 1 || r.type == 2) entries_.push_back({r.name, r.type, r.start, r.size});
        if (r.left != kNoStream) todo.push_back(r.left);
        if (r.right != kNoStream) todo.push_back(r.right);
    }

    // Mini stream (the root entry's stream) and mini FAT, needed only if a small stream exists.
    bool anyMini = std::any_of(entries_.begin(), entries_.end(), [](const Entry &e) {
        return e.type == 2 && e.size < kMiniCutoff && e.size > 0;
    });
    if (anyMini) {
        if (root.size > file.size()) malformed("the compound file's mini stream is too large");
        miniStream_ = readChain(root.start, root.size);
        std::vector<uint8_t> mf = readChain(firstMiniFat, UINT64_MAX);
        if (mf.size() / sectorSize_ < miniFatCount)
            malformed("the compound file's mini FAT is short");
        miniFat_.resize(mf.size() / 4);
        for (size_t i = 0; i < miniFat_.size(); ++i)
            miniFat_[i] = rd32(mf.data() + 4 * i);
    }
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
    std::vector<uint32_t> ids = chain(start, fat_, sectorCount_, "sector");
    uint64_t avail = uint64_t{ids.size()} * sectorSize_;
    if (size == UINT64_MAX) size = avail;
    if (size > avail) malformed("a stream of the compound file is longer than its sectors");
    std::vector<uint8_t> out(size);
    size_t at = 0;
    for (uint32_t id : ids) {
        if (at >= size) break;
        size_t n = std::min<uint64_t>(sectorSize_, size - at);
        size_t off = (size_t{id} + 1) * sectorSize_;
        if (off + n > file_.size()) malformed("the compound file is truncated");
        std::memcpy(out.data() + at, file_.data() + off, n);
        at += n;
    }
    return out;
}

std::span<const uint8_t> CfbReader::contiguous(const Entry &entry) const {
    if (entry.type != 2 || entry.size < kMiniCutoff || entry.size > file_.size()) return {};
    std::vector<uint32_t> ids = chain(entry.start, fat_, sectorCount_, "sector");
    if (uint64_t{ids.size()} * sectorSize_ < entry.size) return {};
    for (size_t i = 1; i < ids.size(); ++i)
        if (ids[i] != ids[i - 1] + 1) return {};
    size_t off = (size_t{ids[0]} + 1) * sectorSize_;
    if (off + entry.size > file_.size()) return {};
    return file_.subspan(off, entry.size);
}

std::vector<uint8_t> CfbReader::read(const Entry &entry) const {
    if (entry.type != 2) malformed("a storage was read as a stream");
    if (entry.size > file_.size())
        malformed("a stream of the compound file is larger than the file");
    if (entry.size == 0) return {};
    if (entry.size >= kMiniCutoff) return readChain(entry.start, entry.size);
    size_t miniCount = miniStream_.size() / kMiniSectorSize;
    std::vector<uint32_t> ids =
        chain(entry.start, miniFat_, std::min(miniCount, miniFat_.size()), "mini sector");
    if (uint64_t{ids.size()} * kMiniSectorSize < entry.size)
        malformed("a small stream of the compound file is longer than its sectors");
    std::vector<uint8_t> out(entry.size);
    size_t at = 0;
    for (uint32_t id : ids) {
        if (at >= out.size()) break;
        size_t n = std::min(kMiniSectorSize, out.size() - at);
        std::memcpy(out.data() + at, miniStream_.data() + size_t{id} * kMiniSectorSize, n);
        at += n;
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Writing

namespace {

struct DirEntry {
    std::u16string name;
    uint8_t type;  // 2 stream, 5 root
    uint32_t start = kEndOfChain;
    uint64_t size = 0;
    uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
    uint8_t color = 1;  // black
};

// Builds a balanced binary tree over the sorted ids [lo, hi) and returns its root; nodes on the
// deepest level of an incomplete tree are red so every path has the same number of black nodes.
uint32_t buildTree(std::vector<DirEntry> &e, const std::vector<uint32_t> &ids, size_t lo, size_t hi,
                   int depth, int maxDepth, bool perfect) {
    if (lo >= hi) return kNoStream;
    size_t mid = lo + (hi - lo) / 2;
    uint32_t id = ids[mid];
    e[id].left = buildTree(e, ids, lo, mid, depth + 1, maxDepth, perfect);
    e[id].right = buildTree(e, ids, mid + 1, hi, depth + 1, maxDepth, perfect);
    e[id].color = (!perfect && depth == maxDepth) ? 0 : 1;
    return id;
}

}  // namespace

void finishCfb(Buffer &file, std::u16string_view mainName, std::span<const CfbStream> others) {
    const size_t ss = 512;
    std::vector<uint32_t> fat;
    std::vector<DirEntry> dir;
    dir.push_back({u"Root Entry", 5});

    auto padToSector = [&] {
        size_t body = file.size() - kCfbHeaderSize;
        file.resize(kCfbHeaderSize + (body + ss - 1) / ss * ss, 0);
    };
    auto sectorsSoFar = [&] { return static_cast<uint32_t>((file.size() - kCfbHeaderSize) / ss); };
    // Records a chain for the sectors [first, sectorsSoFar()).
    auto chainTo = [&](uint32_t first) {
        uint32_t end = sectorsSoFar();
        fat.resize(end, kFreeSect);
        for (uint32_t s = first; s < end; ++s)
            fat[s] = s + 1 == end ? kEndOfChain : s + 1;
        return first < end ? first : kEndOfChain;
    };

    std::vector<uint8_t> mainSmall;
    std::vector<CfbStream> small;
    size_t mainSize = file.size() - kCfbHeaderSize;
    if (mainSize >= kMiniCutoff) {
        padToSector();
        dir.push_back({std::u16string(mainName), 2, chainTo(0), mainSize});
    } else {
        mainSmall.assign(file.begin() + kCfbHeaderSize, file.end());
        file.resize(kCfbHeaderSize);
        small.push_back({std::u16string(mainName), mainSmall});
    }
    for (const CfbStream &s : others) {
        if (s.data.size() < kMiniCutoff) {
            small.push_back(s);
            continue;
        }
        uint32_t first = sectorsSoFar();
        file.insert(file.end(), s.data.begin(), s.data.end());
        padToSector();
        dir.push_back({s.name, 2, chainTo(first), s.data.size()});
    }

    // Mini stream: 64-byte sectors inside the root entry's stream, chained by the mini FAT.
    uint32_t miniFatStart = kEndOfChain, miniFatCount = 0;
    if (!small.empty()) {
        std::vector<uint32_t> miniFat;
        uint32_t miniFirst = sectorsSoFar();
        size_t miniStart = file.size();
        for (const CfbStream &s : small) {
            uint32_t first = static_cast<uint32_t>((file.size() - miniStart) / kMiniSectorSize);
            if (s.data.empty()) {
                dir.push_back({s.name, 2, kEndOfChain, 0});
                continue;
            }
            file.insert(file.end(), s.data.begin(), s.data.end());
            size_t len = file.size() - miniStart;
            file.resize(miniStart + (len + kMiniSectorSize - 1) / kMiniSectorSize * kMiniSectorSize,
                        0);
            uint32_t end = static_cast<uint32_t>((file.size() - miniStart) / kMiniSectorSize);
            miniFat.resize(end);
            for (uint32_t m = first; m < end; ++m)
                miniFat[m] = m + 1 == end ? kEndOfChain : m + 1;
            dir.push_back({s.name, 2, first, s.data.size()});
        }
        dir[0].size = file.size() - miniStart;
        padToSector();
        dir[0].start = chainTo(miniFirst);
        uint32_t mfFirst = sectorsSoFar();
        miniFat.resize((miniFat.size() + 127) / 128 * 128, kFreeSect);
        for (uint32_t v : miniFat)
            wr32(&*file.insert(file.end(), 4, 0), v);
        miniFatStart = chainTo(mfFirst);
        miniFatCount = static_cast<uint32_t>(miniFat.size() / 128);
    }

    // Directory tree: root's children sorted in the container's order.
    std::vector<uint32_t> ids;
    for (uint32_t i = 1; i < dir.size(); ++i)
        ids.push_back(i);
    std::sort(ids.begin(), ids.end(),
              [&](uint32_t a, uint32_t b) { return nameLess(dir[a].name, dir[b].name); });
    int maxDepth = 0;
    while ((size_t{1} << (maxDepth + 1)) - 1 < ids.size())
        ++maxDepth;
    bool perfect = ((size_t{1} << (maxDepth + 1)) - 1) == ids.size();
    dir[0].child = buildTree(dir, ids, 0, ids.size(), 0, maxDepth, perfect);
    dir[0].color = 1;

    uint32_t dirFirst = sectorsSoFar();
    size_t dirSlots = (dir.size() + 3) / 4 * 4;
    for (size_t i = 0; i < dirSlots; ++i) {
        uint8_t *e = &*file.insert(file.end(), kDirEntrySize, 0);
        if (i >= dir.size()) {
            wr32(e + 68, kNoStream), wr32(e + 72, kNoStream), wr32(e + 76, kNoStream);
            continue;
        }
        const DirEntry &d = dir[i];
        for (size_t k = 0; k < d.name.size() && k < 31; ++k)
            wr16(e + 2 * k, d.name[k]);
        wr16(e + 64, static_cast<uint16_t>((std::min<size_t>(d.name.size(), 31) + 1) * 2));
        e[66] = d.type;
        e[67] = d.color;
        wr32(e + 68, d.left);
        wr32(e + 72, d.right);
        wr32(e + 76, d.child);
        wr32(e + 116, d.type == 5 && d.size == 0 ? kEndOfChain : d.start);
        wr64(e + 120, d.size);
    }
    fat.resize(sectorsSoFar(), kFreeSect);
    chainTo(dirFirst);

    // FAT and DIFAT sectors: sized together since they are counted in the FAT themselves.
    size_t dataSectors = sectorsSoFar();
    size_t fatCount = 0, difatCount = 0;
    for (;;) {
        size_t f = (dataSectors + fatCount + difatCount + 127) / 128;
        size_t d = f > 109 ? (f - 109 + 126) / 127 : 0;
        if (f == fatCount && d == difatCount) break;
        fatCount = f, difatCount = d;
    }
    uint32_t fatFirst = static_cast<uint32_t>(dataSectors);
    uint32_t difatFirst = static_cast<uint32_t>(dataSectors + fatCount);
    fat.resize(fatCount * 128, kFreeSect);
    for (size_t i = 0; i < fatCount; ++i)
        fat[fatFirst + i] = kFatSect;
    for (size_t i = 0; i < difatCount; ++i)
        fat[difatFirst + i] = kDifSect;
    size_t at = file.size();
    file.resize(at + (fatCount + difatCount) * ss);
    for (size_t i = 0; i < fat.size(); ++i)
        wr32(file.data() + at + 4 * i, fat[i]);
    at += fatCount * ss;
    for (size_t d = 0; d < difatCount; ++d) {
        uint8_t *s = file.data() + at + d * ss;
        for (size_t i = 0; i < 127; ++i) {
            size_t k = 109 + d * 127 + i;
            wr32(s + 4 * i, k < fatCount ? static_cast<uint32_t>(fatFirst + k) : kFreeSect);
        }
        wr32(s + 508, d + 1 < difatCount ? static_cast<uint32_t>(difatFirst + d + 1) : kEndOfChain);
    }

    uint8_t *h = file.data();
    std::memset(h, 0, kCfbHeaderSize);
    std::memcpy(h, kCfbSignature, 8);
    wr16(h + 0x18, 0x003E);
    wr16(h + 0x1A, 3);
    wr16(h + 0x1C, 0xFFFE);
    wr16(h + 0x1E, 9);
    wr16(h + 0x20, 6);
    wr32(h + 0x2C, static_cast<uint32_t>(fatCount));
    wr32(h + 0x30, dirFirst);
    wr32(h + 0x38, static_cast<uint32_t>(kMiniCutoff));
    wr32(h + 0x3C, miniFatStart);
    wr32(h + 0x40, miniFatCount);
    wr32(h + 0x44, difatCount ? difatFirst : kEndOfChain);
    wr32(h + 0x48, static_cast<uint32_t>(difatCount));
    for (size_t i = 0; i < 109; ++i)
        wr32(h + 0x4C + 4 * i, i < fatCount ? static_cast<uint32_t>(fatFirst + i) : kFreeSect);
}

}  // namespace pondera::store
