#include "transport/packet_layout.h"

#include <time.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "transport/packet_info.h"

int CheckSum(const char* p_pData, int p_iLength) {
    if (p_pData == nullptr || p_iLength < 1) {
        return 0;
    }
    const unsigned char* p = reinterpret_cast<const unsigned char*>(p_pData);
    unsigned int uSum = 0;
    for (int i = 0; i < p_iLength; ++i) {
        uSum += p[i];
    }
    return static_cast<int>(uSum % 256);
}

namespace vorant {
namespace packet {

const char BEGIN_STRING[] = "QRB-XMP-V1.0";

namespace {

// Room left in the header buffer from a field's offset, terminator included.
size_t RoomFrom(const Field& p_Field) { return static_cast<size_t>(HEADER_SIZE + 1 - p_Field.m_iOffset); }

// Both write what snprintf with "%0*lld" and "%-*.*s" would, terminator
// included, and return its count; the digits of a number that fits its field
// are written by hand (a header is made for every call).
int PutNumber(char* p_szHeader, const Field& p_Field, long long p_llValue) {
    char* pField = p_szHeader + p_Field.m_iOffset;
    long long llValue = p_llValue;
    if (llValue >= 0) {
        for (int i = p_Field.m_iWidth - 1; i >= 0; --i) {
            pField[i] = static_cast<char>('0' + llValue % 10);
            llValue /= 10;
        }
        if (llValue == 0) {
            pField[p_Field.m_iWidth] = '\0';
            return p_Field.m_iWidth;
        }
    }
    // Negative, or wider than its field: as printf has it.
    return snprintf(pField, RoomFrom(p_Field), "%0*lld", p_Field.m_iWidth, p_llValue);
}

int PutText(char* p_szHeader, const Field& p_Field, const char* p_szText) {
    char* pField = p_szHeader + p_Field.m_iOffset;
    const size_t nWidth = static_cast<size_t>(p_Field.m_iWidth);
    const size_t nLen = p_szText ? strnlen(p_szText, nWidth) : 0;
    if (nLen > 0)
        std::memcpy(pField, p_szText, nLen);
    std::memset(pField + nLen, ' ', nWidth - nLen);
    pField[nWidth] = '\0';
    return p_Field.m_iWidth;
}

// The field as "%.*s" reads it: its bytes up to the width or a zero byte.
CString FieldText(const char* p_pHeader, const Field& p_Field) {
    char szBuf[HEADER_SIZE + 1];
    const char* pField = p_pHeader + p_Field.m_iOffset;
    const size_t nLen = strnlen(pField, static_cast<size_t>(p_Field.m_iWidth));
    std::memcpy(szBuf, pField, nLen);
    szBuf[nLen] = '\0';
    return CString(szBuf);
}

// atoi of the field's bytes, clamped to int instead of overflowing.
int FieldInt(const char* p_pHeader, const Field& p_Field) {
    char szBuf[HEADER_SIZE + 1];
    std::memcpy(szBuf, p_pHeader + p_Field.m_iOffset, static_cast<size_t>(p_Field.m_iWidth));
    szBuf[p_Field.m_iWidth] = '\0';
    const long long llValue = strtoll(szBuf, nullptr, 10);
    if (llValue > INT_MAX) {
        return INT_MAX;
    }
    if (llValue < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(llValue);
}

}  // namespace

unsigned long CompressCapacity(int p_iSize) {
    return static_cast<unsigned long>((static_cast<double>(p_iSize) + 12.0) * 1.001 + 1.0);
}

CString CurrentTimeStamp() {
    // One conversion a second per thread: every packet needs a stamp.
    thread_local time_t t_tLast = static_cast<time_t>(-1);
    thread_local char t_szStamp[32];
    const time_t tNow = time(nullptr);
    if (tNow != t_tLast) {
        tm tmLocal;
        std::memset(&tmLocal, 0, sizeof tmLocal);
        localtime_r(&tNow, &tmLocal);
        snprintf(t_szStamp, sizeof t_szStamp, "%04d%02d%02d-%02d%02d%02d", tmLocal.tm_year + 1900, tmLocal.tm_mon + 1,
                 tmLocal.tm_mday, tmLocal.tm_hour, tmLocal.tm_min, tmLocal.tm_sec);
        t_tLast = tNow;
    }
    return CString(t_szStamp);
}

int FormatHeader(const CPacketInfo& p_Info, long long p_llWireBody, char* p_szHeader) {
    std::memset(p_szHeader, 0, HEADER_SIZE + 1);
    int iTotal = 0;
    iTotal += PutText(p_szHeader, BEGIN, BEGIN_STRING);
    iTotal += PutNumber(p_szHeader, PACKET_LENGTH, HEADER_SIZE + p_llWireBody);
    iTotal += PutNumber(p_szHeader, SVC_NUM, p_Info.m_iSvcNum);
    iTotal += PutNumber(p_szHeader, MSG_NUM, p_Info.m_iMsgNum);
    iTotal += PutNumber(p_szHeader, REF_NUM, p_Info.m_iRefNum);
    iTotal += PutText(p_szHeader, TIME_STAMP, p_Info.m_strTimeStamp);
    iTotal += PutText(p_szHeader, USER_KEY, p_Info.m_strUserKey);
    iTotal += PutText(p_szHeader, RESERVED1, p_Info.m_strReserved1);
    iTotal += PutText(p_szHeader, COMPRESSED, p_Info.m_bCompressed ? "Y" : "N");
    iTotal += PutNumber(p_szHeader, BODY_LENGTH, p_Info.m_Body.GetSize());
    iTotal += PutText(p_szHeader, RESERVED2, p_Info.m_strReserved2);
    iTotal += PutText(p_szHeader, RESERVED3, p_Info.m_strReserved3);
    return iTotal;
}

void ReadHeaderFields(const char* p_pHeader, CPacketInfo* p_pInfo) {
    p_pInfo->m_iSvcNum = FieldInt(p_pHeader, SVC_NUM);
    p_pInfo->m_iMsgNum = FieldInt(p_pHeader, MSG_NUM);
    p_pInfo->m_iRefNum = FieldInt(p_pHeader, REF_NUM);
    p_pInfo->m_strTimeStamp = FieldText(p_pHeader, TIME_STAMP);
    p_pInfo->m_strUserKey = FieldText(p_pHeader, USER_KEY);
    p_pInfo->m_strUserKey.Trim();
    p_pInfo->m_strReserved1 = FieldText(p_pHeader, RESERVED1);
    p_pInfo->m_bCompressed = p_pHeader[COMPRESSED.m_iOffset] == 'Y';
    p_pInfo->m_strReserved2 = FieldText(p_pHeader, RESERVED2);
    p_pInfo->m_strReserved3 = FieldText(p_pHeader, RESERVED3);
}

bool ReadHeaderNumber(const char* p_pField, int p_iWidth, long long* p_pllValue) {
    int i = 0;
    while (i < p_iWidth && p_pField[i] == ' ') {
        ++i;
    }
    bool bNegative = false;
    if (i < p_iWidth && (p_pField[i] == '+' || p_pField[i] == '-')) {
        bNegative = p_pField[i] == '-';
        ++i;
    }
    const int iFirstDigit = i;
    long long llValue = 0;
    // 18 digits always fit a long long; the fields read this way are shorter.
    while (i < p_iWidth && i - iFirstDigit < 18 && p_pField[i] >= '0' && p_pField[i] <= '9') {
        llValue = llValue * 10 + (p_pField[i] - '0');
        ++i;
    }
    if (i == iFirstDigit) {
        return false;
    }
    while (i < p_iWidth && p_pField[i] == ' ') {
        ++i;
    }
    if (i != p_iWidth) {
        return false;
    }
    *p_pllValue = bNegative ? -llValue : llValue;
    return true;
}

CString PrintableField(const char* p_pField, int p_iWidth) {
    char szBuf[HEADER_SIZE + 1];
    const int iWidth = p_iWidth > HEADER_SIZE ? HEADER_SIZE : p_iWidth;
    for (int i = 0; i < iWidth; ++i) {
        const unsigned char c = static_cast<unsigned char>(p_pField[i]);
        szBuf[i] = (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '?';
    }
    szBuf[iWidth] = '\0';
    return CString(szBuf);
}

}  // namespace packet
}  // namespace vorant
