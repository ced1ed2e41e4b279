// CDate and CTime: texts, comparison, and the calendar against the C
// library's own calendar.
#include "vorant/date.hpp"
#include "vorant/arrays.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

namespace {

std::string Text(const CDate& d) { return d.ToStr(); }

CDate Added(CDate d, int days) {
    d.AddDay(days);
    return d;
}

// yyyymmdd of a UTC time.
std::string UtcText(time_t t) {
    struct tm tmUtc;
    gmtime_r(&t, &tmUtc);
    char buf[48];
    snprintf(buf, sizeof buf, "%04d%02d%02d", tmUtc.tm_year + 1900, tmUtc.tm_mon + 1, tmUtc.tm_mday);
    return buf;
}

}  // namespace

TEST(Date, CalendarMatchesTheCLibraryFrom1900To2100) {
    const time_t t0 = -2208988800;  // 1900-01-01 00:00 UTC
    const int epochDay = CDate::GetTotalDays(CDate(19700101));
    for (time_t t = t0; UtcText(t) <= "21001231"; t += 86400) {
        struct tm tmUtc;
        gmtime_r(&t, &tmUtc);
        CDate d(tmUtc.tm_year + 1900, tmUtc.tm_mon + 1, tmUtc.tm_mday);
        ASSERT_EQ(d.GetDayOfWeek(), tmUtc.tm_wday) << Text(d);
        ASSERT_EQ(CDate::GetTotalDays(d) - epochDay, t / 86400) << Text(d);
        ASSERT_EQ(CDate::GetMonthDays(d.Year(), d.Month()) >= d.Day(), true);
        ASSERT_EQ(Text(Added(d, 1)), UtcText(t + 86400));
        ASSERT_EQ(Text(Added(d, -1)), UtcText(t - 86400));
        // Longer jumps, both ways, crossing months and years.
        int k = static_cast<int>((t / 86400) % 2000) - 1000;
        ASSERT_EQ(Text(Added(d, k)), UtcText(t + static_cast<time_t>(k) * 86400)) << Text(d) << " " << k;
    }
}

TEST(Date, ConstructionComparisonAndTexts) {
    EXPECT_EQ(Text(CDate(20240131)), "20240131");
    EXPECT_EQ(Text(CDate(5)), "00000005");
    EXPECT_EQ(Text(CDate(123456789)), "12345678");
    EXPECT_EQ(Text(CDate(-5)), "-0000005");
    CDate odd(2024, 13, 40);
    EXPECT_EQ(Text(odd), "20241340");
    EXPECT_TRUE(odd.IsValid());
    EXPECT_EQ(Text(CDate(-1, 2, 3)), "-0010203");
    EXPECT_EQ(Text(CDate(12345, 1, 1)), "12345010");
    CDate null(nullptr);
    EXPECT_TRUE(null.IsValid());
    EXPECT_EQ(Text(null), "");
    EXPECT_EQ(null.GetSize(), 8);
    CDate unset;
    EXPECT_FALSE(unset.IsValid());
    EXPECT_EQ(unset.GetSize(), 0);
    EXPECT_EQ(unset.Year() + unset.Month() + unset.Day(), 0);
    CDate d("20240131xyz");
    EXPECT_EQ(Text(d), "20240131");
    EXPECT_EQ(d.Year(), 2024);
    EXPECT_EQ(d.Month(), 1);
    EXPECT_EQ(d.Day(), 31);
    d.SetNull();
    EXPECT_FALSE(d.IsValid());
    EXPECT_EQ(Text(d), "");

    EXPECT_TRUE(CDate() < CDate(19000101));
    EXPECT_TRUE(CDate() == CDate());
    EXPECT_TRUE(CDate(20240131) > "20240130");
    EXPECT_TRUE(CDate(20240131) <= "20240131");
    EXPECT_EQ(CDate("\xff").Compare("2"), 1);  // unsigned bytes
    EXPECT_EQ(CDate(20240101).Compare(CDate(20240102)), -1);
    EXPECT_STREQ(CDate(20240131).ToFmtStr("/").ToStr(), "2024/01/31");
    EXPECT_STREQ(CDate(20240131).ToFmtStr("").ToStr(), "20240131");
    EXPECT_STREQ(CDate(20240131).ToFmtStr(nullptr).ToStr(), "20240131");
    EXPECT_STREQ(CDate("20240").ToFmtStr("-").ToStr(), "2024-0-");
    EXPECT_STREQ(CDate().ToFmtStr("-").ToStr(), "");
    EXPECT_STREQ(CDate(20240131).Repr().ToStr(), "<CDate: 20240131>");
    EXPECT_STREQ(CDate().Repr().ToStr(), "<CDate: unset>");
}

TEST(Date, ShortTextsAreNeverReadPastTheirEnd) {
    // Heap blocks of exactly the text's size, so that an overread shows.
    std::unique_ptr<char[]> shortText(new char[4]);
    memcpy(shortText.get(), "202", 4);
    CDate d(shortText.get());
    EXPECT_EQ(Text(d), "202");
    EXPECT_EQ(d.Year(), 0);
    EXPECT_EQ(d.Day(), 2);
    EXPECT_EQ(CDate(20240131).Compare(shortText.get()), 1);
    EXPECT_EQ(d.Compare(shortText.get()), 0);
    std::unique_ptr<char[]> longer(new char[6]);
    memcpy(longer.get(), "20240", 6);
    EXPECT_EQ(d.Compare(longer.get()), -1);
    EXPECT_EQ(CDate("2024").Compare("2024"), 0);
    EXPECT_TRUE(CDate() == static_cast<const char*>(nullptr));
    EXPECT_TRUE(CDate(nullptr) == CDate());  // the same text; flags are not compared
}

TEST(Date, MonthAndYearArithmetic) {
    struct {
        int start;
        int years, months;
        bool endOfMonth;
        const char* result;
    } cases[] = {
        {20240131, 0, 1, false, "20240229"},       {20230228, 0, 1, true, "20230331"},
        {20230228, 0, 1, false, "20230328"},       {20240229, 1, 0, false, "20250228"},
        {20230228, 1, 0, true, "20240229"},        {20240115, 0, -13, false, "20221215"},
        {20241215, 0, 1, false, "20250115"},       {20240131, 0, -2, true, "20231130"},
        {20240115, 0, INT_MIN, false, "-1789549"},  // year -178954947: no overflow, text cut to 8
    };
    for (const auto& c : cases) {
        CDate d(c.start);
        if (c.years)
            d.AddYear(c.years, c.endOfMonth);
        if (c.months)
            d.AddMonth(c.months, c.endOfMonth);
        EXPECT_EQ(Text(d), c.result) << c.start << " " << c.years << " " << c.months;
    }
    CDate unset;
    unset.AddYear(1, true);
    unset.AddMonth(1, true);
    unset.AddDay(1);
    EXPECT_FALSE(unset.IsValid());
    EXPECT_EQ(Text(unset), "");
}

// Calendar dates are covered by the C-library comparison above.
TEST(Date, DayArithmeticAndCounts) {
    // Not calendar dates: the month moves into its year, the day runs on.
    EXPECT_EQ(Text(Added("20241340", 0)), "20250209");
    EXPECT_EQ(Text(Added("20240100", 0)), "20231231");
    // Extreme counts neither overflow nor loop.
    EXPECT_EQ(Text(Added("20240101", INT_MAX)), "58816340");  // 5881634-07-11
    EXPECT_EQ(Text(Added("20240101", INT_MIN)), "-5877586");  // -5877587-06-22
    EXPECT_EQ(CDate::GetDaysDiff(CDate(20240101), CDate(20240301)), 60);
    EXPECT_EQ(CDate::GetTotalDays(CDate("00010101")), 1);
    EXPECT_EQ(CDate::GetTotalDays(CDate(20241340)), CDate::GetTotalDays(CDate(20250209)));
    EXPECT_EQ(CDate::GetMonthDays(2023, 14), 29);
    EXPECT_EQ(CDate::GetMonthDays(2024, 0), 31);
    EXPECT_EQ(CDate::GetMonthDays(2024, -12), 31);
    EXPECT_EQ(CDate::GetMonthDays(2024, INT_MIN), CDate::GetMonthDays(2024, 4));
    EXPECT_FALSE(CDate::IsLeapYear(1900));
    EXPECT_TRUE(CDate::IsLeapYear(2000));
    EXPECT_TRUE(CDate(20240505).IsLeapYear());
    EXPECT_EQ(CDate::GetDayOfWeek(2024, 1, 1), 1);
    EXPECT_EQ(CDate(20240215).GetFirstDayOfMonth(), 4);
    EXPECT_EQ(Text(CDate(20240215).GetLastDateOfMonth()), "20240229");
    EXPECT_FALSE(CDate().GetLastDateOfMonth().IsValid());
}

TEST(Date, BusinessDayAdjustment) {
    const CDate::E_Dir fwd = CDate::E_FORWARD;
    const CDate::E_Dir back = CDate::E_BACKWARD;
    CDate saturday(20240106), sunday(20240107), monday(20240108);
    EXPECT_EQ(Text(saturday.GetBizDateAdjusted(fwd, nullptr)), "20240108");
    EXPECT_EQ(Text(saturday.GetBizDateAdjusted(back, nullptr)), "20240105");
    EXPECT_EQ(Text(sunday.GetBizDateAdjusted(fwd, nullptr)), "20240108");
    EXPECT_EQ(Text(sunday.GetBizDateAdjusted(static_cast<CDate::E_Dir>(0), nullptr)), "20240105");
    EXPECT_EQ(Text(monday.GetBizDateAdjusted(back, nullptr)), "20240108");
    CDateArray holidays;
    holidays.Add(CDate(20240108));
    holidays.Add(CDate(20240105));
    holidays.Add(CDate(20240104));
    EXPECT_EQ(Text(saturday.GetBizDateAdjusted(fwd, &holidays)), "20240109");
    EXPECT_EQ(Text(saturday.GetBizDateAdjusted(back, &holidays)), "20240103");
    EXPECT_EQ(Text(saturday), "20240106");  // the date itself is not moved
    // An unset date can never move: it comes back at once, even when listed.
    holidays.Add(CDate());
    CDate unset;
    CDate r = unset.GetBizDateAdjusted(fwd, &holidays);
    EXPECT_FALSE(r.IsValid());
    EXPECT_EQ(Text(r), "");
}

TEST(Time, TextsFollowTheLocalBreakdownAndStampLettersAgree) {
    CTime unset;
    EXPECT_STREQ(unset.Repr().ToStr(), "<CTime:unset>");
    EXPECT_EQ(unset.GetTimeVal(), 0);
    EXPECT_EQ(unset.GetHour() + unset.GetMin() + unset.GetSec(), 0);
    CTime now;
    now.SetAsNow();
    EXPECT_TRUE(now.IsValid());
    struct tm want;
    time_t t = static_cast<time_t>(now.GetTimeVal());
    localtime_r(&t, &want);
    char buf[64];
    snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.000|000000|xyz", want.tm_year + 1900, want.tm_mon + 1,
             want.tm_mday, want.tm_hour, want.tm_min, want.tm_sec);
    EXPECT_STREQ(now.ToFmtStr("Y-M-D h:m:s.l|u|xyz").ToStr(), buf);
    snprintf(buf, sizeof buf, "%02d:%02d:%02d.000000", want.tm_hour, want.tm_min, want.tm_sec);
    EXPECT_STREQ(now.Repr().ToStr(), buf);
    EXPECT_STREQ(now.ToFmtStr(nullptr).ToStr(), "");

    std::string stamp = CTime::GetTimeStamp("YMDhms l u").ToStr();
    ASSERT_EQ(stamp.size(), 14u + 1 + 3 + 1 + 6);
    EXPECT_EQ(stamp.substr(15, 3), stamp.substr(19, 3));  // milliseconds lead the microseconds
}
