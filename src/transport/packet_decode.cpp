#include "transport/packet_decode.h"

#include <zlib.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "dat_class/text_format.h"
#include "transport/adaptor_errors.h"
#include "transport/inflating_body.h"
#include "transport/packet_info.h"
#include "transport/packet_layout.h"
#include "transport/zlib_body.h"

namespace vorant {
namespace packet {

namespace {

// The sum of the header and the wire body against the digits at p_pSum.
int CheckPacketSum(const char* p_pHeader, const char* p_pWire, int p_iWire, const char* p_pSum,
                   std::string* p_pDetails) {
    const int iComputed = (CheckSum(p_pHeader, HEADER_SIZE) + CheckSum(p_pWire, p_iWire)) % 256;
    return CheckSumField(iComputed, p_pSum, p_pDetails);
}

std::string Format(const char* p_szFormat, ...) __attribute__((format(printf, 1, 2)));

const text_format::CSteps kDetailSteps = {160, "transport/packet_decode", "char[iLen]", 0};

std::string Format(const char* p_szFormat, ...) {
    va_list args;
    va_start(args, p_szFormat);
    text_format::CFormatted text(kDetailSteps, p_szFormat, args);
    va_end(args);
    return text.Take().ToStr();
}

}  // namespace

int DecodeHeader(const char* p_pHeader, int p_iMaxPacketLength, CPacketInfo* p_pInfo, Frame* p_pFrame,
                 std::string* p_pDetails) {
    if (std::memcmp(p_pHeader, BEGIN_STRING, static_cast<size_t>(BEGIN.m_iWidth)) != 0) {
        // "%.*s" stops at a zero byte, as the adaptor's text does.
        const size_t nLen = strnlen(p_pHeader, static_cast<size_t>(BEGIN.m_iWidth));
        *p_pDetails = "Unknown BeginString[" + std::string(p_pHeader, nLen) + "]";
        return ADAPTOR_HEADER;
    }
    ReadHeaderFields(p_pHeader, p_pInfo);

    const char* pLengthField = p_pHeader + PACKET_LENGTH.m_iOffset;
    long long llPacket = 0;
    if (!ReadHeaderNumber(pLengthField, PACKET_LENGTH.m_iWidth, &llPacket)) {
        *p_pDetails = std::string("packet length[") + PrintableField(pLengthField, PACKET_LENGTH.m_iWidth).ToStr() +
                      "] is not a number";
        return ADAPTOR_CORRUPTED;
    }
    if (llPacket < HEADER_SIZE || llPacket > p_iMaxPacketLength) {
        *p_pDetails = Format("packet length %lld outside %d..%d", llPacket, HEADER_SIZE, p_iMaxPacketLength);
        return ADAPTOR_CORRUPTED;
    }
    long long llBody = llPacket - HEADER_SIZE;
    p_pFrame->m_iWireBody = static_cast<int>(llBody);
    if (p_pInfo->m_bCompressed) {
        const char* pBodyField = p_pHeader + BODY_LENGTH.m_iOffset;
        if (!ReadHeaderNumber(pBodyField, BODY_LENGTH.m_iWidth, &llBody)) {
            *p_pDetails = std::string("uncompressed length[") +
                          PrintableField(pBodyField, BODY_LENGTH.m_iWidth).ToStr() + "] is not a number";
            return ADAPTOR_CORRUPTED;
        }
        if (llBody < 0 || llBody > p_iMaxPacketLength) {
            *p_pDetails = Format("uncompressed length %lld outside 0..%d", llBody, p_iMaxPacketLength);
            return ADAPTOR_CORRUPTED;
        }
    }
    p_pFrame->m_iBody = static_cast<int>(llBody);
    return 0;
}

int DecodeBody(const char* p_pHeader, const char* p_pWire, const char* p_pSum, const Frame& p_Frame,
               CPacketInfo* p_pInfo, std::string* p_pDetails) {
    CStream& body = p_pInfo->m_Body;
    const int iWire = p_Frame.m_iWireBody;
    if (!p_pInfo->m_bCompressed) {
        if (body.AppendData(p_pWire, iWire) < 0) {
            *p_pDetails = "ReceiveFrom";
            return ADAPTOR_MEMORY;
        }
    } else {
        const int iInflated = InflateBody(p_pWire, iWire, p_Frame.m_iBody, &body, p_pDetails);
        if (iInflated != 0)
            return iInflated;
    }

    return CheckPacketSum(p_pHeader, p_pWire, iWire, p_pSum, p_pDetails);
}

int CheckKeptBody(const char* p_pHeader, const char* p_pWire, const char* p_pSum, const Frame& p_Frame,
                  long long* p_pllInflated, std::string* p_pDetails) {
    const int iInflated = CheckInflates(p_pWire, p_Frame.m_iWireBody, p_Frame.m_iBody, p_pllInflated, p_pDetails);
    if (iInflated != 0) {
        *p_pllInflated = 0;
        return iInflated;
    }
    return CheckPacketSum(p_pHeader, p_pWire, p_Frame.m_iWireBody, p_pSum, p_pDetails);
}

int InflateBody(const char* p_pWire, int p_iWire, int p_iCeiling, CStream* p_pBody, std::string* p_pDetails) {
    char* pBody = p_pBody->GetBuffer(p_iCeiling + 1);
    if (pBody == nullptr) {
        *p_pDetails = "ReceiveFrom";
        return ADAPTOR_MEMORY;
    }
    uLongf uBody = static_cast<uLongf>(p_iCeiling);
    const int iZ = UncompressBody(reinterpret_cast<Bytef*>(pBody), &uBody, reinterpret_cast<const Bytef*>(p_pWire),
                                  static_cast<uLong>(p_iWire));
    if (iZ != Z_OK) {
        char szBuf[64];
        snprintf(szBuf, sizeof szBuf, "ReceiveFrom(%d)(%ld)", iZ, static_cast<long>(uBody));
        *p_pDetails = szBuf;
        return ADAPTOR_COMPRESSION;
    }
    // The announced length is a ceiling: a body that inflates to less is
    // whole (zlib has checked it) and is kept at its own length.
    p_pBody->ReleaseBuffer(static_cast<int>(uBody));
    return 0;
}

int CheckSumField(int p_iComputed, const char* p_pSum, std::string* p_pDetails) {
    long long llExpected = 0;
    if (!ReadHeaderNumber(p_pSum, CHECKSUM_SIZE, &llExpected)) {
        *p_pDetails =
            "(M:" + std::to_string(p_iComputed) + ",C:[" + PrintableField(p_pSum, CHECKSUM_SIZE).ToStr() + "])";
        return ADAPTOR_CHECKSUM;
    }
    if (llExpected != p_iComputed) {
        *p_pDetails = "(M:" + std::to_string(p_iComputed) + ",C:" + std::to_string(static_cast<int>(llExpected)) + ")";
        return ADAPTOR_CHECKSUM;
    }
    return 0;
}

std::string ErrorRecord(int p_iCode, const std::string& p_strDetails) {
    return std::string(AdaptorErrorText(p_iCode)) + "(" + std::to_string(p_iCode) + ")(" + p_strDetails + ")";
}

}  // namespace packet
}  // namespace vorant
