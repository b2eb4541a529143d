#include <algorithm>
#include <cstring>

#include "store/xls/bytes.h"
#include "store/xls/cfb.h"
#include "store/xls/cfb_format.h"

namespace pondera::store {

using namespace cfb;

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
    const size_t mid = lo + (hi - lo) / 2;
    const uint32_t id = ids[mid];
    e[id].left = buildTree(e, ids, lo, mid, depth + 1, maxDepth, perfect);
    e[id].right = buildTree(e, ids, mid + 1, hi, depth + 1, maxDepth, perfect);
    e[id].color = (!perfect && depth == maxDepth) ? 0 : 1;
    return id;
}

// Lays out a version 3 compound file (512-byte sectors) after the reserved header: streams,
// mini stream and mini FAT, directory, FAT and DIFAT, then the header itself.
class CfbWriter {
  public:
    CfbWriter(Buffer &file, size_t spliced) : file_(file), spliced_(spliced) {
        dir_.push_back({u"Root Entry", 5});
    }

    void write(std::u16string_view mainName, std::span<const CfbStream> others) {
        placeStreams(mainName, others);
        placeMiniStream();
        placeDirectory();
        placeFat();
        putHeader();
    }

  private:
    static constexpr size_t kSector = 512;

    // The file's length so far, spliced bytes included.
    size_t length() const { return file_.size() + spliced_; }
    void padToSector() {
        const size_t body = length() - kCfbHeaderSize;
        file_.resize(kCfbHeaderSize + (body + kSector - 1) / kSector * kSector - spliced_, 0);
    }
    uint32_t sectorsSoFar() const {
        return static_cast<uint32_t>((length() - kCfbHeaderSize) / kSector);
    }
    // Records a chain for the sectors [first, sectorsSoFar()).
    uint32_t chainTo(uint32_t first) {
        const uint32_t end = sectorsSoFar();
        fat_.resize(end, kFreeSect);
        for (uint32_t s = first; s < end; ++s)
            fat_[s] = s + 1 == end ? kEndOfChain : s + 1;
        return first < end ? first : kEndOfChain;
    }

    // The main stream stays where it is; other large streams follow it, small ones wait for
    // the mini stream.
    void placeStreams(std::u16string_view mainName, std::span<const CfbStream> others) {
        const size_t mainSize = length() - kCfbHeaderSize;
        if (mainSize >= kMiniCutoff || spliced_ > 0) {
            padToSector();
            dir_.push_back({std::u16string(mainName), 2, chainTo(0), mainSize});
        } else {
            mainSmall_.assign(file_.begin() + kCfbHeaderSize, file_.end());
            file_.resize(kCfbHeaderSize);
            small_.push_back({std::u16string(mainName), mainSmall_});
        }
        for (const CfbStream &s : others) {
            if (s.data.size() < kMiniCutoff) {
                small_.push_back(s);
                continue;
            }
            const uint32_t first = sectorsSoFar();
            file_.insert(file_.end(), s.data.begin(), s.data.end());
            padToSector();
            dir_.push_back({s.name, 2, chainTo(first), s.data.size()});
        }
    }

    // Mini stream: 64-byte sectors inside the root entry's stream, chained by the mini FAT.
    void placeMiniStream() {
        if (small_.empty()) return;
        std::vector<uint32_t> miniFat;
        const uint32_t miniFirst = sectorsSoFar();
        const size_t miniStart = file_.size();
        for (const CfbStream &s : small_) {
            const auto first = static_cast<uint32_t>((file_.size() - miniStart) / kMiniSectorSize);
            if (s.data.empty()) {
                dir_.push_back({s.name, 2, kEndOfChain, 0});
                continue;
            }
            file_.insert(file_.end(), s.data.begin(), s.data.end());
            const size_t len = file_.size() - miniStart;
            file_.resize(
                miniStart + (len + kMiniSectorSize - 1) / kMiniSectorSize * kMiniSectorSize, 0);
            const auto end = static_cast<uint32_t>((file_.size() - miniStart) / kMiniSectorSize);
            miniFat.resize(end);
            for (uint32_t m = first; m < end; ++m)
                miniFat[m] = m + 1 == end ? kEndOfChain : m + 1;
            dir_.push_back({s.name, 2, first, s.data.size()});
        }
        dir_[0].size = file_.size() - miniStart;
        padToSector();
        dir_[0].start = chainTo(miniFirst);
        const uint32_t mfFirst = sectorsSoFar();
        miniFat.resize((miniFat.size() + 127) / 128 * 128, kFreeSect);
        for (uint32_t v : miniFat)
            wr32(&*file_.insert(file_.end(), 4, 0), v);
        miniFatStart_ = chainTo(mfFirst);
        miniFatCount_ = static_cast<uint32_t>(miniFat.size() / 128);
    }

    // Directory tree: root's children sorted in the container's order.
    void placeDirectory() {
        std::vector<uint32_t> ids;
        for (uint32_t i = 1; i < dir_.size(); ++i)
            ids.push_back(i);
        std::sort(ids.begin(), ids.end(),
                  [&](uint32_t a, uint32_t b) { return nameLess(dir_[a].name, dir_[b].name); });
        int maxDepth = 0;
        while ((size_t{1} << (maxDepth + 1)) - 1 < ids.size())
            ++maxDepth;
        const bool perfect = ((size_t{1} << (maxDepth + 1)) - 1) == ids.size();
        dir_[0].child = buildTree(dir_, ids, 0, ids.size(), 0, maxDepth, perfect);
        dir_[0].color = 1;

        dirFirst_ = sectorsSoFar();
        const size_t dirSlots = (dir_.size() + 3) / 4 * 4;
        for (size_t i = 0; i < dirSlots; ++i)
            putDirEntry(&*file_.insert(file_.end(), kDirEntrySize, 0), i);
        fat_.resize(sectorsSoFar(), kFreeSect);
        chainTo(dirFirst_);
    }

    void putDirEntry(uint8_t *e, size_t i) const {
        if (i >= dir_.size()) {
            wr32(e + 68, kNoStream), wr32(e + 72, kNoStream), wr32(e + 76, kNoStream);
            return;
        }
        const DirEntry &d = dir_[i];
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

    // FAT and DIFAT sectors: sized together since they are counted in the FAT themselves.
    void placeFat() {
        const size_t dataSectors = sectorsSoFar();
        for (;;) {
            const size_t f = (dataSectors + fatCount_ + difatCount_ + 127) / 128;
            const size_t d = f > 109 ? (f - 109 + 126) / 127 : 0;
            if (f == fatCount_ && d == difatCount_) break;
            fatCount_ = f, difatCount_ = d;
        }
        fatFirst_ = static_cast<uint32_t>(dataSectors);
        difatFirst_ = static_cast<uint32_t>(dataSectors + fatCount_);
        fat_.resize(fatCount_ * 128, kFreeSect);
        for (size_t i = 0; i < fatCount_; ++i)
            fat_[fatFirst_ + i] = kFatSect;
        for (size_t i = 0; i < difatCount_; ++i)
            fat_[difatFirst_ + i] = kDifSect;
        size_t at = file_.size();
        file_.resize(at + (fatCount_ + difatCount_) * kSector);
        for (size_t i = 0; i < fat_.size(); ++i)
            wr32(file_.data() + at + 4 * i, fat_[i]);
        at += fatCount_ * kSector;
        for (size_t d = 0; d < difatCount_; ++d) {
            uint8_t *s = file_.data() + at + d * kSector;
            for (size_t i = 0; i < 127; ++i) {
                const size_t k = 109 + d * 127 + i;
                wr32(s + 4 * i, k < fatCount_ ? static_cast<uint32_t>(fatFirst_ + k) : kFreeSect);
            }
            wr32(s + 508,
                 d + 1 < difatCount_ ? static_cast<uint32_t>(difatFirst_ + d + 1) : kEndOfChain);
        }
    }

    void putHeader() {
        uint8_t *h = file_.data();
        std::memset(h, 0, kCfbHeaderSize);
        std::memcpy(h, kCfbSignature, 8);
        wr16(h + 0x18, 0x003E);
        wr16(h + 0x1A, 3);
        wr16(h + 0x1C, 0xFFFE);
        wr16(h + 0x1E, 9);
        wr16(h + 0x20, 6);
        wr32(h + 0x2C, static_cast<uint32_t>(fatCount_));
        wr32(h + 0x30, dirFirst_);
        wr32(h + 0x38, static_cast<uint32_t>(kMiniCutoff));
        wr32(h + 0x3C, miniFatStart_);
        wr32(h + 0x40, miniFatCount_);
        wr32(h + 0x44, difatCount_ ? difatFirst_ : kEndOfChain);
        wr32(h + 0x48, static_cast<uint32_t>(difatCount_));
        for (size_t i = 0; i < 109; ++i)
            wr32(h + 0x4C + 4 * i,
                 i < fatCount_ ? static_cast<uint32_t>(fatFirst_ + i) : kFreeSect);
    }

    Buffer &file_;
    size_t spliced_;
    std::vector<uint32_t> fat_;
    std::vector<DirEntry> dir_;
    std::vector<uint8_t> mainSmall_;
    std::vector<CfbStream> small_;
    uint32_t miniFatStart_ = kEndOfChain, miniFatCount_ = 0;
    uint32_t dirFirst_ = 0, fatFirst_ = 0, difatFirst_ = 0;
    size_t fatCount_ = 0, difatCount_ = 0;
};

}  // namespace

void finishCfb(Buffer &file, std::u16string_view mainName, std::span<const CfbStream> others,
               size_t spliced) {
    CfbWriter(file, spliced).write(mainName, others);
}

}  // namespace pondera::store
