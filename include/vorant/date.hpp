// vorant: the nullable calendar date and the local time stamp.
//
// Threads: dates and time stamps hold no shared state: an object serves one thread at a
// time, and different objects may be used on different threads at once.
#ifndef VORANT_DATE_HPP
#define VORANT_DATE_HPP

#include <cstdint>
#include <ctime>

#include "vorant/cstring.hpp"
#include "vorant/export.h"

class CDateArray;

// A nullable date held as its eight-character text yyyymmdd. A plain value:
// no heap, copied by value (containers may copy it bytewise). The text is
// never validated; year, month and day are derived from it on every use as
// n = atoi(text): n / 10000, n % 10000 / 100, n % 100. An unset date has all
// bytes zero and derives 0, 0, 0.
//
// Calendar operations use the proleptic Gregorian calendar. Those that write
// a date store the first 8 characters of "%08d" of (y * 100 + m) * 100 + d.
class VORANT_API CDate {
public:
    // Direction of GetBizDateAdjusted: 1 is forward, every other value backward.
    enum E_Dir : int { E_BACKWARD = -1, E_FORWARD = 1 };

    // Unset, all bytes zero.
    CDate();
    // The first 8 characters of "%08d" of p_iYmd; set. 5 gives "00000005".
    CDate(int p_iYmd);
    // The first 8 characters of "%04d%02d%02d"; set. No range check.
    CDate(int p_iYear, int p_iMonth, int p_iDay);
    // At most the first 8 characters of p_szText, up to its terminator, the
    // rest zero-filled; null gives 8 zero bytes. Set in every case.
    CDate(const char* p_szText);
    CDate(const CDate&) = default;
    CDate& operator=(const CDate&) = default;
    CDate& operator=(const char* p_szText);
    ~CDate() = default;

    // Unset, all bytes zero.
    void Init();
    void SetNull();
    void Set(int p_iYmd);
    void Set(const char* p_szText);
    // Today's local date; set.
    void SetAsToday();

    bool IsValid() const { return m_bValid; }
    int Year() const;
    int Month() const;
    int Day() const;
    // The text (empty for an unset date), always zero-terminated.
    const char* ToStr() const { return m_szDate; }
    // 8 when set, 0 when unset.
    int GetSize() const { return m_bValid ? 8 : 0; }
    // Year, month and day digits joined by p_szSep ("-" gives "2024-01-31");
    // an unset date gives "". A null p_szSep counts as "".
    CString ToFmtStr(const char* p_szSep) const;
    // "<CDate: yyyymmdd>" or "<CDate: unset>".
    CString Repr() const;

    // -1, 0 or 1 comparing the 8 text bytes as unsigned bytes; set flags are
    // not looked at, so an unset date sorts first. A text operand is read up
    // to its terminator and counts as zero-filled after it; null counts as
    // the empty text.
    int Compare(const CDate& p_Other) const;
    int Compare(const char* p_szOther) const;

    bool operator==(const CDate& p_Other) const { return Compare(p_Other) == 0; }
    bool operator!=(const CDate& p_Other) const { return Compare(p_Other) != 0; }
    bool operator<(const CDate& p_Other) const { return Compare(p_Other) < 0; }
    bool operator<=(const CDate& p_Other) const { return Compare(p_Other) <= 0; }
    bool operator>(const CDate& p_Other) const { return Compare(p_Other) > 0; }
    bool operator>=(const CDate& p_Other) const { return Compare(p_Other) >= 0; }
    bool operator==(const char* p_szOther) const { return Compare(p_szOther) == 0; }
    bool operator!=(const char* p_szOther) const { return Compare(p_szOther) != 0; }
    bool operator<(const char* p_szOther) const { return Compare(p_szOther) < 0; }
    bool operator<=(const char* p_szOther) const { return Compare(p_szOther) <= 0; }
    bool operator>(const char* p_szOther) const { return Compare(p_szOther) > 0; }
    bool operator>=(const char* p_szOther) const { return Compare(p_szOther) >= 0; }

    // Calendar operations.

    // 0 Sunday, 1 Monday, ..., 6 Saturday.
    int GetDayOfWeek() const;
    static int GetDayOfWeek(int p_iYear, int p_iMonth, int p_iDay);
    // The weekday of day 1 of the month.
    int GetFirstDayOfMonth() const;
    static int GetFirstDayOfMonth(int p_iYear, int p_iMonth);
    bool IsLeapYear() const;
    static bool IsLeapYear(int p_iYear);
    // Days in a month; month 0 is December of the year before, 13 January of
    // the next, and so on.
    static int GetMonthDays(int p_iYear, int p_iMonth);
    // Day number: 0001-01-01 is day 1. A month outside 1..12 is first moved
    // into the year it falls in, as GetMonthDays does.
    static int GetTotalDays(const CDate& p_Date);
    // GetTotalDays(p_To) - GetTotalDays(p_From).
    static int GetDaysDiff(const CDate& p_From, const CDate& p_To);

    // These change a set date in place and leave an unset one alone. With
    // p_bEndOfMonth, a date on the last day of its month stays on the last
    // day; otherwise the day is cut to the new month's length.
    void AddYear(int p_iYears, bool p_bEndOfMonth);
    void AddMonth(int p_iMonths, bool p_bEndOfMonth);
    // A month outside 1..12 is first moved into its year, and a day beyond
    // its month runs on into the next ones.
    void AddDay(int p_iDays);

    // The last day of this date's month, set; a copy of an unset date.
    CDate GetLastDateOfMonth() const;
    // The nearest day, starting from this one and moving in p_eDir, that is
    // neither a Saturday, a Sunday nor in p_pHolidays (may be null). An unset
    // date gives an unset copy.
    CDate GetBizDateAdjusted(E_Dir p_eDir, CDateArray* p_pHolidays) const;

private:
    // Stores the first 8 characters of "%08d" of p_lYmd; set.
    void SetNumber(int64_t p_lYmd);

    char m_szDate[9];  // 8 text bytes and the terminator, always 0
    bool m_bValid;
};

// A local time stamp to the second, with a microsecond field that is kept,
// copied and printed. A plain value; copied by value.
class VORANT_API CTime {
public:
    // Time 0, microseconds 0, unset; the local-time fields are zero.
    CTime();
    CTime(const CTime&) = default;
    CTime& operator=(const CTime&) = default;
    ~CTime() = default;

    // The current time in whole seconds and its local breakdown; set. The
    // microseconds are not changed.
    void SetAsNow();

    bool IsValid() const { return m_bValid; }
    int GetHour() const { return m_tmLocal.tm_hour; }
    int GetMin() const { return m_tmLocal.tm_min; }
    int GetSec() const { return m_tmLocal.tm_sec; }
    int GetUSec() const { return m_iUSec; }
    // Seconds since 1970-01-01 00:00:00 UTC.
    int64_t GetTimeVal() const { return m_lTimeVal; }
    struct tm GetTmStruct() const {
        return m_tmLocal;
    }

    // p_szFormat with every letter below replaced (others kept; null gives ""):
    // Y year "%04d", M month "%02d", D day "%02d", h hour "%02d", m minute
    // "%02d", s second "%02d", l milliseconds "%03d", u microseconds "%06d".
    // The set flag is not looked at.
    CString ToFmtStr(const char* p_szFormat) const;
    // "hh:mm:ss.uuuuuu", or "<CTime:unset>".
    CString Repr() const;
    // The current local time formatted as by ToFmtStr, its "l" and "u" the
    // current sub-second time.
    static CString GetTimeStamp(const char* p_szFormat);

private:
    int64_t m_lTimeVal;
    int m_iUSec;
    struct tm m_tmLocal;
    bool m_bValid;
};

#endif  // VORANT_DATE_HPP
