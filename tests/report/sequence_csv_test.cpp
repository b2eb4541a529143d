// The tracked sequence as CSV: columns, units, frames without a person, quoting.

#include <gtest/gtest.h>

#include "report/SequenceCsv.h"

using namespace pondera::report;

namespace {

std::vector<std::string> lines(const QByteArray &csv) {
    std::vector<std::string> out;
    const std::string s = csv.toStdString();
    size_t from = 0;
    for (size_t at; (at = s.find("\r\n", from)) != std::string::npos; from = at + 2)
        out.push_back(s.substr(from, at - from));
    EXPECT_EQ(from, s.size()) << "every row ends with CR LF";
    return out;
}

// Moving 60 px/s across and still in height, 30 frames a second, one frame without a person.
std::vector<SequenceSample> walk() {
    std::vector<SequenceSample> samples;
    for (int i = 0; i < 12; ++i) {
        SequenceSample s;
        s.frame = 2 * i;
        s.time = s.frame / 30.0;
        s.found = i != 5;
        s.cogX = 100 + 60 * s.time;
        s.cogZ = 250;
        if (i == 3) s.check = {0, 16};
        samples.push_back(s);
    }
    return samples;
}

TEST(SequenceCsv, CalibratedRowsInPixelsAndMetres) {
    const QByteArray csv = sequenceCsv(walk(), {0.005, 6.0});
    ASSERT_TRUE(csv.startsWith("\xEF\xBB\xBF"));
    const auto rows = lines(csv.mid(3));
    ASSERT_EQ(rows.size(), 13u);
    EXPECT_EQ(rows[0],
              "time (s),frame,COG x (px),COG z (px),COG x (m),COG z (m),COG velocity x (m/s),"
              "COG velocity z (m/s),landmarks to check");
    EXPECT_TRUE(rows[1].starts_with("0,0,100,250,0.5,1.25,")) << rows[1];
    EXPECT_EQ(rows[4].substr(rows[4].rfind(',') + 1), "0 16");
    EXPECT_EQ(rows[6], "0.3333333333333333,10,,,,,,,") << "no person: time and frame only";
    // A straight path keeps its speed through the filter and across the gap.
    for (int r : {1, 2, 7, 12}) {
        const std::string &row = rows[static_cast<size_t>(r)];
        std::vector<std::string> f;
        size_t from = 0;
        for (size_t at; (at = row.find(',', from)) != std::string::npos; from = at + 1)
            f.push_back(row.substr(from, at - from));
        EXPECT_NEAR(std::stod(f[6]), 0.3, 1e-9) << row;
        EXPECT_NEAR(std::stod(f[7]), 0.0, 1e-9) << row;
    }
}

TEST(SequenceCsv, UncalibratedLeavesMetresOutAndSaysPixels) {
    const auto rows = lines(sequenceCsv(walk(), {0, 0}).mid(3));
    EXPECT_NE(rows[0].find("COG velocity x (px/s)"), std::string::npos);
    EXPECT_EQ(rows[1], "0,0,100,250,,,60,0,");
    EXPECT_EQ(lines(sequenceCsv({}, {}).mid(3)).size(), 1u) << "an empty sequence: the header";
}

}  // namespace
