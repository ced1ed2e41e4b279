// CDate as a value: construction from numbers and texts, derivation of
// year, month and day, texts and comparison.
#include <cstring>
#include <ctime>

#include "dat_class/num_text.h"
#include "vorant/date.hpp"

namespace {

using vorant::num_text::WritePadded;

int Sign(int p_iDiff) { return p_iDiff < 0 ? -1 : (p_iDiff > 0 ? 1 : 0); }

}  // namespace

CDate::CDate() { Init(); }

CDate::CDate(int p_iYmd) { SetNumber(p_iYmd); }

CDate::CDate(int p_iYear, int p_iMonth, int p_iDay) {
    char szText[3 * vorant::num_text::kInt64Size];
    char* p = szText;
    p += WritePadded(p, p_iYear, 4);
    p += WritePadded(p, p_iMonth, 2);
    WritePadded(p, p_iDay, 2);
    memcpy(m_szDate, szText, 8);  // all three fields give at least 8 characters
    m_szDate[8] = 0;
    m_bValid = true;
}

CDate::CDate(const char* p_szText) { Set(p_szText); }

CDate& CDate::operator=(const char* p_szText) {
    Set(p_szText);
    return *this;
}

void CDate::Init() {
    memset(m_szDate, 0, sizeof m_szDate);
    m_bValid = false;
}

void CDate::SetNull() { Init(); }

void CDate::Set(int p_iYmd) { SetNumber(p_iYmd); }

void CDate::Set(const char* p_szText) {
    memset(m_szDate, 0, sizeof m_szDate);
    if (p_szText != nullptr) {
        // Never read past a shorter text's terminator.
        for (int i = 0; i < 8 && p_szText[i] != 0; ++i)
            m_szDate[i] = p_szText[i];
    }
    m_bValid = true;
}

void CDate::SetNumber(int64_t p_lYmd) {
    char szText[vorant::num_text::kInt64Size];
    WritePadded(szText, p_lYmd, 8);  // at least 8 characters
    memcpy(m_szDate, szText, 8);
    m_szDate[8] = 0;
    m_bValid = true;
}

void CDate::SetAsToday() {
    time_t tNow = time(nullptr);
    struct tm tmNow;
    localtime_r(&tNow, &tmNow);
    *this = CDate(tmNow.tm_year + 1900, tmNow.tm_mon + 1, tmNow.tm_mday);
}

int CDate::Year() const { return vorant::num_text::ParseInt(m_szDate) / 10000; }
int CDate::Month() const { return vorant::num_text::ParseInt(m_szDate) % 10000 / 100; }
int CDate::Day() const { return vorant::num_text::ParseInt(m_szDate) % 100; }

CString CDate::ToFmtStr(const char* p_szSep) const {
    if (!m_bValid)
        return CString();
    if (p_szSep == nullptr)
        p_szSep = "";
    return CFormat("%.4s%s%.2s%s%.2s", m_szDate, p_szSep, m_szDate + 4, p_szSep, m_szDate + 6);
}

CString CDate::Repr() const {
    if (!m_bValid)
        return CString("<CDate: unset>");
    return CFormat("<CDate: %.8s>", m_szDate);
}

int CDate::Compare(const CDate& p_Other) const { return Sign(memcmp(m_szDate, p_Other.m_szDate, 8)); }

int CDate::Compare(const char* p_szOther) const {
    if (p_szOther == nullptr)
        p_szOther = "";
    bool bEnded = false;
    for (int i = 0; i < 8; ++i) {
        unsigned char a = static_cast<unsigned char>(m_szDate[i]);
        unsigned char b = bEnded ? 0 : static_cast<unsigned char>(p_szOther[i]);
        if (b == 0)
            bEnded = true;
        if (a != b)
            return a < b ? -1 : 1;
    }
    return 0;
}
