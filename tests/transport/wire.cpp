#include "wire.h"

#include <zlib.h>

#include <cstdio>

std::string Pad(const std::string& p_str, int p_iWidth) {
    std::string s = p_str.substr(0, static_cast<size_t>(p_iWidth));
    s.resize(static_cast<size_t>(p_iWidth), ' ');
    return s;
}

std::string Digits(long long p_llValue, int p_iWidth) {
    char buf[32];
    snprintf(buf, sizeof buf, "%0*lld", p_iWidth, p_llValue);
    return buf;
}

std::string Deflate(const std::string& p_strData) {
    uLongf uLen = compressBound(p_strData.size());
    std::string out(uLen, '\0');
    compress(reinterpret_cast<Bytef*>(&out[0]), &uLen, reinterpret_cast<const Bytef*>(p_strData.data()),
             p_strData.size());
    out.resize(uLen);
    return out;
}

int ByteSum(const std::string& p_strData) {
    unsigned int uSum = 0;
    for (unsigned char c : p_strData) {
        uSum += c;
    }
    return static_cast<int>(uSum % 256);
}

std::string Header(const WireHeader& h, const std::string& p_strWire, int p_iPlainSize) {
    std::string s = h.begin;
    s += h.packetLength.empty() ? Digits(128 + static_cast<long long>(p_strWire.size()), 10) : h.packetLength;
    s += h.svc + h.msg + h.ref;
    s += Pad(h.timeStamp, 15) + Pad(h.userKey, 20) + Pad(h.reserved1, 13);
    s += h.compressed;
    s += h.bodyLength.empty() ? Digits(p_iPlainSize, 10) : h.bodyLength;
    s += Pad(h.reserved2, 8) + Pad(h.reserved3, 21);
    return s;
}

std::string Packet(const WireHeader& h, const std::string& p_strPlainBody) {
    const std::string strWire = h.compressed == 'Y' ? Deflate(p_strPlainBody) : p_strPlainBody;
    const std::string strHead = Header(h, strWire, static_cast<int>(p_strPlainBody.size()));
    return strHead + strWire + Digits((ByteSum(strHead) + ByteSum(strWire)) % 256, 3);
}
