#include <gtest/gtest.h>

#include "base/error.h"

using pondera::Error;

TEST(Checked16, ResultsInsideTheRangePass) {
    EXPECT_EQ(pondera::add16(32764, 3), 32767);
    EXPECT_EQ(pondera::sub16(-32767, 1), -32768);
    EXPECT_EQ(pondera::mul16(-128, 256), -32768);
}

TEST(Checked16, OverflowRaisesErrorSix) {
    for (auto op :
         {+[] { return pondera::add16(32765, 3); }, +[] { return pondera::sub16(-32768, 1); },
          +[] { return pondera::mul16(256, 128); },
          +[] { return pondera::checked16(65000 - 4); }}) {
        try {
            op();
            ADD_FAILURE() << "no overflow raised";
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), pondera::kErrOverflow);
            EXPECT_NE(std::string(e.what()).find("Overflow"), std::string::npos);
        }
    }
}
