#include "transport/inflating_body.h"

#include <cstdio>
#include <cstring>

#include "transport/adaptor_errors.h"
#include "transport/zlib_body.h"

namespace {

// What a body nobody reads is inflated into, to be dropped.
const size_t kDrainPiece = 16 * 1024;

}  // namespace

CInflatingBody::CInflatingBody(const char* p_pWire, int p_iWire, int p_iCeiling)
    : m_uCeiling(p_iCeiling > 0 ? static_cast<unsigned long>(p_iCeiling) : 0) {
    std::memset(&m_Stream, 0, sizeof m_Stream);
    const Bytef* pWire = reinterpret_cast<const Bytef*>(p_pWire);
    const uInt uWire = p_iWire > 0 ? static_cast<uInt>(p_iWire) : 0;
    if (m_uCeiling == 0) {
        // Nothing can be read; the whole decode tells an empty stream from
        // one with data and gives its result.
        Bytef unused[1];
        uLongf uLength = 0;
        End(UncompressBody(unused, &uLength, pWire, uWire));
        return;
    }
    const int iInit = inflateInit(&m_Stream);
    if (iInit != Z_OK) {
        // The whole decode leaves its length untouched then.
        m_uProduced = m_uCeiling;
        End(iInit);
        return;
    }
    m_bStream = true;
    m_Stream.next_in = const_cast<Bytef*>(pWire);
    m_Stream.avail_in = uWire;
}

CInflatingBody::~CInflatingBody() {
    if (m_bStream)
        inflateEnd(&m_Stream);
}

size_t CInflatingBody::Read(char* p_pBuffer, size_t p_nMax) {
    if (m_bDone || p_nMax == 0)
        return 0;
    const unsigned long uLeft = m_uCeiling - m_uProduced;
    const size_t nRoom = p_nMax < uLeft ? p_nMax : static_cast<size_t>(uLeft);
    return Step(reinterpret_cast<Bytef*>(p_pBuffer), nRoom);
}

size_t CInflatingBody::Step(Bytef* p_pOut, size_t p_nRoom) {
    // A full buffer still lets zlib finish the stream or say there is more,
    // as the whole decode's last call does.
    Bytef unused[1];
    m_Stream.next_out = p_nRoom ? p_pOut : unused;
    m_Stream.avail_out = static_cast<uInt>(p_nRoom);
    int iResult = Z_OK;
    do {
        iResult = inflate(&m_Stream, Z_NO_FLUSH);
    } while (iResult == Z_OK && (p_nRoom == 0 || m_Stream.avail_out != 0));
    const size_t nOut = p_nRoom - m_Stream.avail_out;
    m_uProduced += nOut;
    if (iResult == Z_STREAM_END) {
        End(Z_OK);
    } else if (iResult == Z_NEED_DICT) {
        End(Z_DATA_ERROR);
    } else if (iResult == Z_BUF_ERROR) {
        // No progress with room left: the input ended before the stream did.
        End(m_uProduced < m_uCeiling ? Z_DATA_ERROR : Z_BUF_ERROR);
    } else if (iResult != Z_OK) {
        End(iResult);
    }
    return nOut;
}

void CInflatingBody::End(int p_iResult) {
    m_bDone = true;
    m_iResult = p_iResult;
    if (m_bStream) {
        inflateEnd(&m_Stream);
        m_bStream = false;
    }
}

int CInflatingBody::Finish(std::string* p_pDetails) {
    Bytef drain[kDrainPiece];
    while (!m_bDone) {
        const unsigned long uLeft = m_uCeiling - m_uProduced;
        Step(drain, uLeft < kDrainPiece ? static_cast<size_t>(uLeft) : kDrainPiece);
    }
    if (m_iResult == Z_OK)
        return 0;
    char szBuf[64];
    snprintf(szBuf, sizeof szBuf, "ReceiveFrom(%d)(%ld)", m_iResult, static_cast<long>(m_uProduced));
    *p_pDetails = szBuf;
    return ADAPTOR_COMPRESSION;
}

int CheckInflates(const char* p_pWire, int p_iWire, int p_iCeiling, long long* p_pllInflated, std::string* p_pDetails) {
    CInflatingBody body(p_pWire, p_iWire, p_iCeiling);
    const int iResult = body.Finish(p_pDetails);
    *p_pllInflated = static_cast<long long>(body.Produced());
    return iResult;
}
