#include "transport/packet_encode.h"

#include <zlib.h>

#include <climits>
#include <cstdio>
#include <memory>
#include <utility>

#include "transport/adaptor_errors.h"
#include "transport/packet_info.h"
#include "transport/packet_layout.h"
#include "transport/zlib_body.h"
#include "vorant/exception.hpp"
#include "vorant/stream.hpp"

namespace vorant {
namespace packet {

namespace {

const int kPacketGrowBy = 512;
const char kSendTo[] = "(SendTo)";

}  // namespace

int EncodePacket(CPacketInfo* p_pInfo, CStream* p_pPacket, std::string* p_pDetails) {
    if (p_pInfo == nullptr || p_pPacket == nullptr) {
        *p_pDetails = kSendTo;
        return ADAPTOR_NULL_PARAM;
    }
    p_pInfo->m_strTimeStamp = CurrentTimeStamp();

    const int iBodySize = p_pInfo->m_Body.GetSize();
    const char* pBody = p_pInfo->m_Body.GetData() ? p_pInfo->m_Body.GetData() : "";
    const char* pWire = pBody;
    long long llWire = iBodySize;
    std::unique_ptr<Bytef[]> pCompressed;
    if (p_pInfo->m_bCompressed) {
        const uLong uCapacity = CompressCapacity(iBodySize);
        try {
            pCompressed.reset(new Bytef[uCapacity]);
        } catch (...) {
            *p_pDetails = kSendTo;
            return ADAPTOR_MEMORY;
        }
        uLongf uWire = uCapacity;
        const int iZ = CompressBody(pCompressed.get(), &uWire, reinterpret_cast<const Bytef*>(pBody),
                                    static_cast<uLong>(iBodySize));
        if (iZ != Z_OK) {
            *p_pDetails = "(SendTo)(" + std::to_string(iZ) + ")";
            return ADAPTOR_COMPRESSION;
        }
        pWire = reinterpret_cast<const char*>(pCompressed.get());
        llWire = static_cast<long long>(uWire);
    }

    char szHeader[HEADER_SIZE + 1];
    const int iTotal = FormatHeader(*p_pInfo, llWire, szHeader);
    if (iTotal != HEADER_SIZE) {
        *p_pDetails = "(SendTo) size mismatch(" + std::to_string(HEADER_SIZE) + ", " + std::to_string(iTotal) + ")[" +
                      szHeader + "]";
        return ADAPTOR_HEADER;
    }
    // A packet must fit one stream (an int of bytes) with its terminator.
    const long long llPacket = HEADER_SIZE + llWire + CHECKSUM_SIZE;
    if (llPacket >= INT_MAX) {
        *p_pDetails = kSendTo;
        return ADAPTOR_MEMORY;
    }
    const int iWire = static_cast<int>(llWire);
    const int iSum = (CheckSum(szHeader, HEADER_SIZE) + CheckSum(pWire, iWire)) % 256;
    char szSum[8];
    snprintf(szSum, sizeof szSum, "%03d", iSum);  // 000..255

    try {
        // Sized up front: one allocation, no growth while appending.
        CStream packet(static_cast<int>(llPacket) + 1, kPacketGrowBy);
        if (packet.AppendData(szHeader, HEADER_SIZE) < 0 || packet.AppendData(pWire, iWire) < 0 ||
            packet.AppendData(szSum, CHECKSUM_SIZE) < 0) {
            *p_pDetails = kSendTo;
            return ADAPTOR_MEMORY;
        }
        *p_pPacket = std::move(packet);
    } catch (const CException&) {
        *p_pDetails = kSendTo;
        return ADAPTOR_MEMORY;
    }
    return 0;
}

}  // namespace packet
}  // namespace vorant
