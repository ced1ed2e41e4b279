// The one reading of seconds shared by the configuration keys and the tools.
#include "dat_class/seconds_text.h"

#include <gtest/gtest.h>

using vorant::seconds_text::ParseMillis;

TEST(SecondsText, DecimalSecondsRoundToMilliseconds) {
    const struct {
        const char* m_szText;
        int m_iMillis;
    } kCases[] = {
        {"10", 10000},
        {"0", 0},
        {"0.25", 250},
        {"2.", 2000},
        {".5", 500},
        {"0.0005", 1},
        {"0.0004", 0},
        {"1.0009999999", 1001},
        {"007.250", 7250},
        {"2147483", 2147483000},
        {"2147483.647", 2147483647},
    };
    for (const auto& c : kCases) {
        int iMillis = -1;
        EXPECT_TRUE(ParseMillis(c.m_szText, &iMillis)) << c.m_szText;
        EXPECT_EQ(iMillis, c.m_iMillis) << c.m_szText;
    }
}

TEST(SecondsText, AnythingElseIsRefusedAndLeavesTheOutputAlone) {
    const char* const kBad[] = {"",    ".",   "1e1", "+1",   "-1",          " 1",      "1 ",
                                "1,5", "inf", "nan", "0x10", "2147483.648", "2147484", "99999999999999999999"};
    for (const char* szText : kBad) {
        int iMillis = 42;
        EXPECT_FALSE(ParseMillis(szText, &iMillis)) << szText;
        EXPECT_EQ(iMillis, 42) << szText;
    }
    int iMillis = 42;
    EXPECT_FALSE(ParseMillis(nullptr, &iMillis));
    EXPECT_EQ(iMillis, 42);
}
