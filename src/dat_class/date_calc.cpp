// CDate calendar arithmetic in the proleptic Gregorian calendar. Internally
// in 64 bits, so that no day, month or year count can overflow.
#include <cstdint>

#include "vorant/date.hpp"

namespace {

const int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
const int kDaysBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

bool IsLeap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// Moves a month outside 1..12 into the year it falls in: month 0 is
// December of the year before, month 13 January of the next.
void NormaliseMonth(int64_t& y, int64_t& m) {
    if (m < 1) {
        int64_t k = (-m) / 12 + 1;
        m += 12 * k;
        y -= k;
    } else if (m >= 13) {
        int64_t k = (m - 13) / 12 + 1;
        m -= 12 * k;
        y += k;
    }
}

int MonthDays(int64_t y, int64_t m) {
    NormaliseMonth(y, m);
    return (m == 2 && IsLeap(y)) ? 29 : kMonthDays[m - 1];
}

// Days since 1970-01-01 of a valid date, and back (any year).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2 ? 1 : 0;
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, int64_t& m, int64_t& d) {
    z += 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = yoe + era * 400 + (m <= 2 ? 1 : 0);
}

}  // namespace

int CDate::GetDayOfWeek() const { return GetDayOfWeek(Year(), Month(), Day()); }

int CDate::GetDayOfWeek(int p_iYear, int p_iMonth, int p_iDay) {
    int64_t y = (p_iMonth == 1 || p_iMonth == 2) ? int64_t{p_iYear} - 1 : p_iYear;
    int64_t q = y / 100;
    int64_t r = y - 100 * q;
    int64_t k = (int64_t{p_iMonth} + 9) % 12 + 1;  // March 1, ..., February 12
    int64_t w = (p_iDay + (13 * k - 1) / 5 + r + r / 4 + q / 4 - 2 * q) % 7;
    return static_cast<int>(w < 0 ? w + 7 : w);
}

int CDate::GetFirstDayOfMonth() const { return GetDayOfWeek(Year(), Month(), 1); }

int CDate::GetFirstDayOfMonth(int p_iYear, int p_iMonth) { return GetDayOfWeek(p_iYear, p_iMonth, 1); }

bool CDate::IsLeapYear() const { return IsLeap(Year()); }

bool CDate::IsLeapYear(int p_iYear) { return IsLeap(p_iYear); }

int CDate::GetMonthDays(int p_iYear, int p_iMonth) { return MonthDays(p_iYear, p_iMonth); }

int CDate::GetTotalDays(const CDate& p_Date) {
    int64_t y = p_Date.Year();
    int64_t m = p_Date.Month();
    NormaliseMonth(y, m);
    int64_t y1 = y - 1;
    int64_t lDays =
        365 * y1 + y1 / 4 - y1 / 100 + y1 / 400 + kDaysBefore[m - 1] + (m >= 3 && IsLeap(y) ? 1 : 0) + p_Date.Day();
    return static_cast<int>(lDays);
}

int CDate::GetDaysDiff(const CDate& p_From, const CDate& p_To) { return GetTotalDays(p_To) - GetTotalDays(p_From); }

void CDate::AddYear(int p_iYears, bool p_bEndOfMonth) {
    if (!m_bValid)
        return;
    int64_t y = Year(), m = Month(), d = Day();
    bool bWasLast = d >= MonthDays(y, m);
    int64_t y2 = y + p_iYears;
    int64_t lNewDays = MonthDays(y2, m);
    if (p_bEndOfMonth && bWasLast)
        d = lNewDays;
    if (d > lNewDays)
        d = lNewDays;
    SetNumber((y2 * 100 + m) * 100 + d);
}

void CDate::AddMonth(int p_iMonths, bool p_bEndOfMonth) {
    if (!m_bValid)
        return;
    int64_t y = Year(), m = Month(), d = Day();
    bool bWasLast = d >= MonthDays(y, m);
    int64_t m2 = m + p_iMonths;
    NormaliseMonth(y, m2);
    int64_t lNewDays = MonthDays(y, m2);
    if (p_bEndOfMonth && bWasLast)
        d = lNewDays;
    if (d > lNewDays)
        d = lNewDays;
    SetNumber((y * 100 + m2) * 100 + d);
}

void CDate::AddDay(int p_iDays) {
    if (!m_bValid)
        return;
    int64_t y = Year(), m = Month();
    NormaliseMonth(y, m);
    int64_t d = int64_t{Day()} + p_iDays;
    // Stepping month by month until d fits lands on the date d - 1 days
    // after the first of the month; take it in one step.
    if (d < 1 || d > MonthDays(y, m))
        CivilFromDays(DaysFromCivil(y, m, 1) + d - 1, y, m, d);
    SetNumber((y * 100 + m) * 100 + d);
}

CDate CDate::GetLastDateOfMonth() const {
    if (!m_bValid)
        return *this;
    int y = Year(), m = Month();
    return CDate(y, m, MonthDays(y, m));
}
