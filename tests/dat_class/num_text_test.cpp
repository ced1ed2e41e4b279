// Locale-independent number texts: printf-identical bytes (with the
// three-digit exponent) and atoi/atof-compatible parsing.
#include "dat_class/num_text.h"

#include <gtest/gtest.h>

#include <locale.h>
#include <sys/stat.h>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "vorant/scalars.hpp"

using namespace vorant::num_text;

namespace {

// printf's "%.*e" with a two-digit exponent widened to three.
std::string PrintfExp(double v, int prec) {
    char buf[2048];
    snprintf(buf, sizeof buf, "%.*e", prec, v);
    std::string s(buf);
    size_t e = s.rfind('e');
    if (e != std::string::npos && s.size() - e == 4)
        s.insert(e + 2, "0");
    return s;
}

std::string Exp(double v, int prec) {
    char buf[2048];
    EXPECT_GE(WriteExp(buf, sizeof buf, v, prec), 0);
    return buf;
}

std::string Fixed(double v, int prec) {
    char buf[2048];
    EXPECT_GE(WriteFixed(buf, sizeof buf, v, prec), 0);
    return buf;
}

}  // namespace

TEST(NumText, ExponentHasThreeDigits) {
    char buf[kDblSize];
    EXPECT_EQ(WriteDbl(buf, 1.25), 22);
    EXPECT_STREQ(buf, "1.250000000000000e+000");
    WriteDbl(buf, 0.1);
    EXPECT_STREQ(buf, "1.000000000000000e-001");
    WriteDbl(buf, -0.0);
    EXPECT_STREQ(buf, "-0.000000000000000e+000");
    WriteDbl(buf, -1.7976931348623157e308);
    EXPECT_STREQ(buf, "-1.797693134862316e+308");
    WriteDbl(buf, 4.9406564584124654e-324);
    EXPECT_STREQ(buf, "4.940656458412465e-324");
    EXPECT_EQ(Exp(12345.0, 0), "1e+004");
    EXPECT_EQ(Exp(INFINITY, 15), "inf");
    EXPECT_EQ(Exp(-INFINITY, 3), "-inf");
    EXPECT_EQ(Exp(NAN, 15), "nan");
    EXPECT_EQ(Exp(2.5, -1), "2.500000e+000");  // negative precision: printf's 6
}

TEST(NumText, MatchesPrintfOnManyValues) {
    std::mt19937_64 rng(42);
    for (int i = 0; i < 20000; ++i) {
        uint64_t bits = rng();
        double v;
        memcpy(&v, &bits, sizeof v);
        for (int prec : {0, 6, 15, 17}) {
            ASSERT_EQ(Exp(v, prec), PrintfExp(v, prec)) << bits;
            if (std::fabs(v) < 1e30) {
                char want[2048];
                snprintf(want, sizeof want, "%.*f", prec, v);
                ASSERT_EQ(Fixed(v, prec), want) << bits;
            }
        }
    }
    char want[2048];
    snprintf(want, sizeof want, "%.2f", -1e308);
    EXPECT_EQ(Fixed(-1e308, 2), want);
    snprintf(want, sizeof want, "%.1074f", 4.9406564584124654e-324);
    EXPECT_EQ(Fixed(4.9406564584124654e-324, 1074), want);
}

TEST(NumText, SizesAreExactAndShortBuffersFail) {
    // The worst case fills ExpSize / FixedSize exactly.
    char buf[2048];
    EXPECT_EQ(WriteExp(buf, ExpSize(15), -2.2250738585072014e-308, 15), ExpSize(15) - 1);
    EXPECT_EQ(WriteFixed(buf, FixedSize(3), -1.7976931348623157e308, 3), FixedSize(3) - 1);
    // The widened exponent needs one byte more than printf's text.
    const char* want = "1.25e+000";
    int n = static_cast<int>(strlen(want));
    EXPECT_EQ(WriteExp(buf, n + 1, 1.25, 2), n);
    EXPECT_STREQ(buf, want);
    EXPECT_EQ(WriteExp(buf, n, 1.25, 2), -1);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(WriteFixed(buf, 4, 1234.0, 0), -1);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(WriteFixed(buf, 5, 1234.0, 0), 4);
    // Precision is capped, so a huge one still fits its size.
    EXPECT_EQ(WriteExp(buf, ExpSize(INT_MAX), 1.0, INT_MAX), kMaxPrec + 7);  // "1." digits "e+000"
}

TEST(NumText, IntegerTexts) {
    char buf[kInt64Size];
    EXPECT_EQ(WriteInt(buf, INT_MIN), 11);
    EXPECT_STREQ(buf, "-2147483648");
    WriteInt64(buf, INT64_MIN);
    EXPECT_STREQ(buf, "-9223372036854775808");
    WritePadded(buf, 5, 8);
    EXPECT_STREQ(buf, "00000005");
    WritePadded(buf, -5, 4);
    EXPECT_STREQ(buf, "-005");
    WritePadded(buf, 123456789, 8);
    EXPECT_STREQ(buf, "123456789");
    const char* digits = "1234567890";
    const char* grouped[] = {"",        "1",         "12",         "123",         "1,234",        "12,345",
                             "123,456", "1,234,567", "12,345,678", "123,456,789", "1,234,567,890"};
    for (int n = 0; n <= 10; ++n) {
        char out[GroupedSize(10)];
        EXPECT_EQ(WriteGrouped(out, digits, n), static_cast<int>(strlen(grouped[n])));
        EXPECT_STREQ(out, grouped[n]);
    }
}

TEST(NumText, ParseIntLikeAtoi) {
    EXPECT_EQ(ParseInt(" \t\n\v\f\r+42xyz"), 42);
    EXPECT_EQ(ParseInt("-0012"), -12);
    EXPECT_EQ(ParseInt("12 34"), 12);
    EXPECT_EQ(ParseInt(""), 0);
    EXPECT_EQ(ParseInt("abc"), 0);
    EXPECT_EQ(ParseInt("- 5"), 0);
    EXPECT_EQ(ParseInt("+-5"), 0);
    EXPECT_EQ(ParseInt(nullptr), 0);
    EXPECT_EQ(ParseInt("2147483647"), INT_MAX);
    EXPECT_EQ(ParseInt("-2147483648"), INT_MIN);
    // Out of range clamps instead of wrapping.
    EXPECT_EQ(ParseInt("2147483648"), INT_MAX);
    EXPECT_EQ(ParseInt("4294967297"), INT_MAX);
    EXPECT_EQ(ParseInt("-99999999999999999999999"), INT_MIN);
}

TEST(NumText, ParseDblLikeAtof) {
    const char* inputs[] = {"1.5",       "  -2.5e3xyz",
                            ".5",        "5.",
                            "1e",        "1e+",
                            "1,5",       "+7",
                            "0x1p4",     "-0X10",
                            "0x",        "inf",
                            "-Infinity", "INFINITE",
                            "nan",       "-nan(12)",
                            "1e400",     "-1e400",
                            "1e-400",    "-1e-400",
                            "4e-320",    "",
                            "abc",       "-",
                            "\t 0.1",    "123456789012345678901234567890"};
    for (const char* s : inputs) {
        double want = strtod(s, nullptr);
        double got = ParseDbl(s);
        if (std::isnan(want)) {
            EXPECT_TRUE(std::isnan(got)) << s;
            EXPECT_EQ(std::signbit(got), std::signbit(want)) << s;
        } else {
            EXPECT_EQ(memcmp(&got, &want, sizeof got), 0) << s << ": " << got << " vs " << want;
        }
    }
    EXPECT_EQ(ParseDbl(nullptr), 0.0);
}

namespace {

// Switches LC_NUMERIC to a comma-decimal locale for the test's lifetime;
// compiles one into a temporary folder when none is installed.
class CommaLocale {
public:
    CommaLocale() {
        const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8",
                               "de_DE",       "fr_FR",      "nl_NL.UTF-8", "ru_RU.UTF-8"};
        for (const char* name : names)
            if (TrySet(name))
                return;
        struct stat st;
        if (stat("/usr/share/i18n/locales/de_DE", &st) != 0)
            return;
        std::string dir = testing::TempDir() + "vorant_locale";
        mkdir(dir.c_str(), 0700);
        struct stat built;
        bool bBuilt = stat((dir + "/de_DE.UTF-8/LC_NUMERIC").c_str(), &built) == 0;
        std::string cmd = "localedef -i de_DE -f UTF-8 '" + dir + "/de_DE.UTF-8' >/dev/null 2>&1";
        if (!bBuilt && system(cmd.c_str()) != 0)
            return;
        setenv("LOCPATH", dir.c_str(), 1);
        m_bLocPath = true;
        TrySet("de_DE.UTF-8");
    }
    ~CommaLocale() {
        setlocale(LC_NUMERIC, "C");
        if (m_bLocPath)
            unsetenv("LOCPATH");
    }
    bool Active() const { return m_bActive; }

private:
    bool TrySet(const char* name) {
        if (setlocale(LC_NUMERIC, name) == nullptr)
            return false;
        char buf[16];
        snprintf(buf, sizeof buf, "%.1f", 1.5);
        m_bActive = strcmp(buf, "1,5") == 0;
        if (!m_bActive)
            setlocale(LC_NUMERIC, "C");
        return m_bActive;
    }
    bool m_bActive = false;
    bool m_bLocPath = false;
};

}  // namespace

TEST(NumText, TextsIgnoreTheProcessLocale) {
    CommaLocale locale;
    if (!locale.Active())
        GTEST_SKIP() << "no comma-decimal locale available";
    EXPECT_EQ(Exp(1.25, 15), "1.250000000000000e+000");
    EXPECT_EQ(Fixed(-1234.5, 2), "-1234.50");
    EXPECT_EQ(ParseDbl("1.5"), 1.5);
    EXPECT_EQ(ParseDbl("1e400"), HUGE_VAL);  // the strtod fallback too
    EXPECT_EQ(ParseDbl("0x1.8p1"), 3.0);
    EXPECT_STREQ(CDbl(2.5).Repr('e', 3).ToStr(), "<CDbl: 2.500e+000>");
    EXPECT_STREQ(CDbl(2.5).Repr('f', 2).ToStr(), "<CDbl: 2.50>");
    EXPECT_STREQ(CDbl(1234567.891).ToFmtStr(2, true).ToStr(), "1,234,567.89");
}
