// Nullable scalars: set flags, wrapping arithmetic, division errors, texts.
#include "vorant/scalars.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>

#include "dat_class/expect_raises.h"

namespace {

const char* const kDivText = "operator/ : Divided by zero Exception";
const char* const kModText = "operator% : Divided by zero Exception";

}  // namespace

TEST(Scalars, FlagsAreIgnoredByValuesAndSetByArithmetic) {
    EXPECT_TRUE(CInt() == CInt(0));
    EXPECT_FALSE(CInt().IsValid());
    CInt sum = CInt() + 5;
    EXPECT_TRUE(sum.IsValid());
    EXPECT_EQ(sum.ToInt(), 5);
    CInt unset;
    CInt copy(unset);
    EXPECT_FALSE(copy.IsValid());
    copy += 0;
    EXPECT_TRUE(copy.IsValid());
    copy.SetNull();
    EXPECT_FALSE(copy.IsValid());
    EXPECT_EQ(copy.ToInt(), 0);
    EXPECT_TRUE((CDbl() * 2.0).IsValid());
    CBool b = true;
    b.SetNull();
    EXPECT_FALSE(b.IsValid());
    EXPECT_TRUE(b == false);
}

TEST(Scalars, UnaryMinusNegatesItsOperand) {
    CInt a(7);
    CInt b = -a;
    EXPECT_EQ(a.ToInt(), -7);
    EXPECT_EQ(b.ToInt(), -7);
    CInt u;
    CInt v = -u;
    EXPECT_FALSE(v.IsValid());
    EXPECT_EQ(v.ToInt(), 0);
    CInt plus = +u;
    EXPECT_FALSE(plus.IsValid());
    CDbl d(2.5);
    CDbl e = -d;
    EXPECT_EQ(d.ToDbl(), -2.5);
    EXPECT_EQ(e.ToDbl(), -2.5);
}

TEST(Scalars, DivisionByZeroRaisesAndLeavesTheOperand) {
    CInt a(7);
    EXPECT_RAISES(a / 0, 0, kDivText);
    EXPECT_RAISES(a / CInt(), 0, kDivText);
    EXPECT_RAISES(a /= 0, 0, kDivText);
    EXPECT_RAISES(a % CInt(), 0, kModText);
    EXPECT_RAISES(a %= 0, 0, kModText);
    EXPECT_EQ(a.ToInt(), 7);
    CDbl d(1.0);
    EXPECT_RAISES(d / -0.0, 0, kDivText);
    EXPECT_RAISES(d /= CDbl(), 0, kDivText);
    EXPECT_EQ(d.ToDbl(), 1.0);
    EXPECT_EQ((d / 1e-320).ToDbl(), 1.0 / 1e-320);
}

TEST(Scalars, IntArithmeticWrapsWithoutTraps) {
    EXPECT_EQ((CInt(INT_MAX) + 1).ToInt(), INT_MIN);
    EXPECT_EQ((CInt(INT_MIN) - CInt(1)).ToInt(), INT_MAX);
    EXPECT_EQ((CInt(INT_MIN) * -1).ToInt(), INT_MIN);
    EXPECT_EQ((CInt(65536) * 65536).ToInt(), 0);
    EXPECT_EQ((CInt(INT_MIN) / -1).ToInt(), INT_MIN);
    EXPECT_EQ((CInt(INT_MIN) % -1).ToInt(), 0);
    CInt m(INT_MIN);
    EXPECT_EQ((-m).ToInt(), INT_MIN);
    EXPECT_EQ((CInt(-7) / 2).ToInt(), -3);
    EXPECT_EQ((CInt(-7) % 2).ToInt(), -1);
    EXPECT_EQ((CInt(7) % -2).ToInt(), 1);
}

TEST(Scalars, FormattedWithCommasAndTrimming) {
    struct {
        int v;
        const char* commas;
    } cases[] = {{0, "0"},
                 {999, "999"},
                 {-999, "-999"},
                 {1000, "1,000"},
                 {-1000, "-1,000"},
                 {123456, "123,456"},
                 {1234567, "1,234,567"},
                 {INT_MAX, "2,147,483,647"},
                 {INT_MIN, "-2,147,483,648"}};
    for (const auto& c : cases)
        EXPECT_STREQ(CInt(c.v).ToFmtStr(true).ToStr(), c.commas) << c.v;
    EXPECT_STREQ(CInt(INT_MIN).ToFmtStr(false).ToStr(), "-2147483648");
    EXPECT_STREQ(CInt().ToFmtStr(true).ToStr(), "0");

    struct {
        double v;
        int prec;
        bool commas;
        const char* text;
    } dbls[] = {
        {1234567.891, 2, true, "1,234,567.89"},
        {1234567.891, 2, false, "1234567.89"},
        {2.5, -4, false, "2.5"},
        {2.0, -2, true, "2"},
        {-0.5, 1, true, "-0.5"},
        {1234.0, 0, true, "1,234"},
        {999.5, 0, true, "1,000"},  // rounding adds a digit before grouping
        {0.125, 20, false, "0.125000000000000"},
        {0.125, -20, false, "0.125"},
        {-0.001, 2, false, "-0.00"},
        {-0.0, 2, false, "0.00"},
        {100.0, -1, true, "100"},
        {1e20, 0, true, "100,000,000,000,000,000,000"},
        {1.5, INT_MIN, false, "1.5"},
        {-INFINITY, 2, true, "-inf"},
    };
    for (const auto& c : dbls)
        EXPECT_STREQ(CDbl(c.v).ToFmtStr(c.prec, c.commas).ToStr(), c.text) << c.v << " " << c.prec;
    // Far beyond 64 characters: the whole text, 309 digits and 102 commas.
    CString huge = CDbl(-1e308).ToFmtStr(2, true);
    EXPECT_EQ(huge.GetLength(), 1 + 309 + 102 + 3);
    EXPECT_TRUE(huge.StartsWith("-100,000,000,000,000,0"));
    char plain[400];
    snprintf(plain, sizeof plain, "%.2f", -1e308);
    EXPECT_EQ(huge.Remove(','), 102);
    EXPECT_STREQ(huge.ToStr(), plain);
}

TEST(Scalars, ReprTexts) {
    EXPECT_STREQ(CInt(-42).Repr().ToStr(), "<CInt: -42>");
    EXPECT_STREQ(CInt().Repr().ToStr(), "<CInt: unset>");
    EXPECT_STREQ(CBool(true).Repr().ToStr(), "<CBool: true>");
    EXPECT_STREQ(CBool(false).Repr().ToStr(), "<CBool: false>");
    EXPECT_STREQ(CBool().Repr().ToStr(), "<CBool: unset>");
    EXPECT_STREQ(CDbl().Repr('e', 3).ToStr(), "<CDbl: unset>");
    EXPECT_STREQ(CDbl(1.25).Repr('e', 3).ToStr(), "<CDbl: 1.250e+000>");
    EXPECT_STREQ(CDbl(1.25).Repr('e', -1).ToStr(), "<CDbl: 1.250000e+000>");
    EXPECT_STREQ(CDbl(-1e-100).Repr('e', 0).ToStr(), "<CDbl: -1e-100>");
    EXPECT_STREQ(CDbl(1.25).Repr('f', -1).ToStr(), "<CDbl: 1.250000>");
    EXPECT_STREQ(CDbl(1.25).Repr('g', 1).ToStr(), "<CDbl: 1.2>");
    EXPECT_STREQ(CDbl(1.25).Repr().ToStr(), "<CDbl: 1.250000>");
    EXPECT_EQ(CDbl(1.0).Repr('f', 5000).GetLength(), 8 + 2 + 1100);  // precision capped
}

TEST(Scalars, DblToIntClampsAndNanComparesFalse) {
    EXPECT_EQ(CDbl(2.9).ToInt(), 2);
    EXPECT_EQ(CDbl(-2.9).ToInt(), -2);
    EXPECT_EQ(CDbl(2147483647.9).ToInt(), INT_MAX);
    EXPECT_EQ(CDbl(-2147483648.9).ToInt(), INT_MIN);
    EXPECT_EQ(CDbl(1e10).ToInt(), INT_MAX);
    EXPECT_EQ(CDbl(-INFINITY).ToInt(), INT_MIN);
    EXPECT_EQ(CDbl(NAN).ToInt(), 0);
    CDbl nan(NAN);
    EXPECT_TRUE(nan != nan);
    EXPECT_FALSE(nan < 1.0 || nan >= 1.0);
}
