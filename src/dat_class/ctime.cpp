// CTime: a local time stamp and its letter-based text format.
#include <cstring>
#include <ctime>
#include <string>

#include "dat_class/num_text.h"
#include "vorant/date.hpp"

namespace {

// The text for one format letter, or -1 for a character that stays.
int LetterText(char p_cLetter, const struct tm& p_tm, int p_iUSec, char* p_szOut) {
    using vorant::num_text::WritePadded;
    switch (p_cLetter) {
        case 'Y': return WritePadded(p_szOut, int64_t{p_tm.tm_year} + 1900, 4);
        case 'M': return WritePadded(p_szOut, int64_t{p_tm.tm_mon} + 1, 2);
        case 'D': return WritePadded(p_szOut, p_tm.tm_mday, 2);
        case 'h': return WritePadded(p_szOut, p_tm.tm_hour, 2);
        case 'm': return WritePadded(p_szOut, p_tm.tm_min, 2);
        case 's': return WritePadded(p_szOut, p_tm.tm_sec, 2);
        case 'l': return WritePadded(p_szOut, p_iUSec / 1000, 3);
        case 'u': return WritePadded(p_szOut, p_iUSec, 6);
        default: return -1;
    }
}

// Replacing each letter in turn gives the same text as one pass, since no
// replacement holds a letter.
CString FormatTime(const char* p_szFormat, const struct tm& p_tm, int p_iUSec) {
    if (p_szFormat == nullptr)
        return CString();
    std::string strOut;
    char szPiece[vorant::num_text::kInt64Size];
    for (const char* p = p_szFormat; *p != 0; ++p) {
        int iLen = LetterText(*p, p_tm, p_iUSec, szPiece);
        if (iLen < 0)
            strOut += *p;
        else
            strOut.append(szPiece, iLen);
    }
    return CString(strOut.c_str());
}

}  // namespace

CTime::CTime() : m_lTimeVal(0), m_iUSec(0), m_bValid(false) { memset(&m_tmLocal, 0, sizeof m_tmLocal); }

void CTime::SetAsNow() {
    time_t tNow = time(nullptr);
    m_lTimeVal = tNow;
    localtime_r(&tNow, &m_tmLocal);
    m_bValid = true;
}

CString CTime::ToFmtStr(const char* p_szFormat) const { return FormatTime(p_szFormat, m_tmLocal, m_iUSec); }

CString CTime::Repr() const {
    if (!m_bValid)
        return CString("<CTime:unset>");
    return FormatTime("h:m:s.u", m_tmLocal, m_iUSec);
}

CString CTime::GetTimeStamp(const char* p_szFormat) {
    struct timespec tsNow;
    clock_gettime(CLOCK_REALTIME, &tsNow);
    struct tm tmNow;
    localtime_r(&tsNow.tv_sec, &tmNow);
    return FormatTime(p_szFormat, tmNow, static_cast<int>(tsNow.tv_nsec / 1000));
}
