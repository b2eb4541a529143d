// The change journal's encoding: every entry comes back, and a torn or damaged tail is cut off
// at the last whole entry, never misread.
#include <gtest/gtest.h>

#include "store/records/journal.h"

namespace pondera::store {
namespace {

std::vector<JournalEntry> sampleEntries() {
    return {
        {0, 7, 1, CellValue::integer(4)},
        {0, 7, 4, CellValue::str("NEW")},
        {2, 7, 44, CellValue::single(12.25f)},
        {1, 32767, 31, CellValue::real(-0.5)},
        {0, 7, 2, CellValue::str("/home/u/写真/a b.jpg")},
        {0, 8, 2, CellValue{}},
    };
}

std::string encode(const std::vector<JournalEntry> &entries, std::vector<size_t> *ends = nullptr) {
    std::string bytes(kJournalMagic);
    for (const JournalEntry &e : entries) {
        encodeJournalEntry(e, bytes);
        if (ends) ends->push_back(bytes.size());
    }
    return bytes;
}

TEST(Journal, RoundTrip) {
    const auto entries = sampleEntries();
    const JournalContents c = decodeJournal(encode(entries));
    EXPECT_EQ(c.entries, entries);
    EXPECT_FALSE(c.tornTail);
    EXPECT_FALSE(c.badHeader);
    EXPECT_TRUE(decodeJournal("").entries.empty());
    EXPECT_TRUE(decodeJournal("garbage!").badHeader);
}

TEST(Journal, EveryTruncationKeepsExactlyTheWholeEntries) {
    const auto entries = sampleEntries();
    std::vector<size_t> ends;
    const std::string bytes = encode(entries, &ends);
    for (size_t len = kJournalMagic.size(); len <= bytes.size(); ++len) {
        const JournalContents c = decodeJournal(std::string_view(bytes).substr(0, len));
        const size_t whole = std::upper_bound(ends.begin(), ends.end(), len) - ends.begin();
        ASSERT_EQ(c.entries.size(), whole) << len;
        EXPECT_TRUE(std::equal(c.entries.begin(), c.entries.end(), entries.begin()));
        EXPECT_EQ(c.tornTail, whole == 0 ? len > kJournalMagic.size() : len != ends[whole - 1]);
    }
}

TEST(Journal, DamagedByteStopsReplayAtThatEntry) {
    const auto entries = sampleEntries();
    std::vector<size_t> ends;
    const std::string bytes = encode(entries, &ends);
    for (size_t pos = kJournalMagic.size(); pos < bytes.size(); ++pos) {
        std::string damaged = bytes;
        damaged[pos] = static_cast<char>(damaged[pos] ^ 0x5A);
        const JournalContents c = decodeJournal(damaged);
        const size_t entryOfPos = std::upper_bound(ends.begin(), ends.end(), pos) - ends.begin();
        EXPECT_EQ(c.entries.size(), entryOfPos) << pos;
        EXPECT_TRUE(c.tornTail);
    }
}

TEST(Journal, Crc32KnownValue) {
    EXPECT_EQ(crc32("123456789", 9), 0xCBF43926u);
}

}  // namespace
}  // namespace pondera::store
