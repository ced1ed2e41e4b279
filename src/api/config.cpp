#include "api/config.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "vorant/arrays.hpp"

namespace {

// Room for 2047 characters, the line feed and the terminator; a longer line
// is read on as the next line.
const int kLineBufferSize = 2049;
const int kLineReadSize = 2048;

CString ErrnoText(int p_iErrno) {
    char szBuf[256];
    return CString(strerror_r(p_iErrno, szBuf, sizeof(szBuf)));
}

}  // namespace

CConfig::CConfig() : m_Pairs(1024) {}

int CConfig::Load(const char* p_szPath) {
    FILE* pFile = p_szPath ? fopen(p_szPath, "r") : nullptr;
    if (pFile == nullptr) {
        int iErrno = p_szPath ? errno : EINVAL;
        m_strLastError.Format("File open failed [%s](%d,%s)", p_szPath ? p_szPath : "(null)", iErrno,
                              ErrnoText(iErrno).ToStr());
        return -1;
    }
    char szLine[kLineBufferSize];
    while (!feof(pFile)) {
        memset(szLine, 0, sizeof(szLine));
        if (fgets(szLine, kLineReadSize, pFile) == nullptr)
            break;
        ParseLine(szLine);
    }
    fclose(pFile);
    return 0;
}

void CConfig::ParseLine(char* p_szLine) {
    char* pEnd = strchr(p_szLine, '\n');
    if (pEnd)
        *pEnd = '\0';
    char* pComment = strchr(p_szLine, '#');
    if (pComment)
        *pComment = '\0';
    CString strLine(p_szLine);
    strLine.Trim();
    if (strLine.IsEmpty())
        return;

    CStrArray arrPieces;
    strLine.Split('=', &arrPieces, true);
    if (arrPieces.GetSize() < 1)
        return;
    m_Pairs.Set(arrPieces.GetAt(0), arrPieces.GetSize() >= 2 ? arrPieces.GetAt(1) : "", false);
}

int CConfig::GetString(const char* p_szKey, CString& p_strValue) {
    CString strValue;
    if (p_szKey == nullptr || m_Pairs.Get(p_szKey, &strValue) < 0) {
        m_strLastError.Format("cannot found '%s' key in config file", p_szKey ? p_szKey : "(null)");
        return -1;
    }
    p_strValue = strValue;
    return 0;
}

int CConfig::GetInt(const char* p_szKey, int* p_piValue) {
    CString strValue;
    if (GetString(p_szKey, strValue) < 0)
        return -1;
    if (p_piValue)
        *p_piValue = strValue.ToInt();
    return 0;
}
