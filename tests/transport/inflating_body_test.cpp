// A body inflated piece by piece must end as the whole-buffer decode does:
// the same bytes, the same zlib result and the same count in the
// "ReceiveFrom(%d)(%ld)" detail, at every point a stream can break.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "transport/adaptor_errors.h"
#include "transport/inflating_body.h"
#include "transport/zlib_body.h"

namespace {

std::string Deflated(const std::string& p_strIn) {
    std::string out(compressBound(p_strIn.size()), '\0');
    uLongf n = out.size();
    EXPECT_EQ(
        compress(reinterpret_cast<Bytef*>(&out[0]), &n, reinterpret_cast<const Bytef*>(p_strIn.data()), p_strIn.size()),
        Z_OK);
    out.resize(n);
    return out;
}

std::string Rows(size_t p_nSize, unsigned p_uSeed) {
    std::mt19937 rng(p_uSeed);
    std::string out;
    while (out.size() < p_nSize)
        out += "<t6><t1><![CDATA[LN-" + std::to_string(rng() % 100000) + "]]></t1></t6>";
    out.resize(p_nSize);
    return out;
}

// "<code> <details>|<bytes>" as the adaptor's whole decode ends.
std::string Whole(const std::string& p_strWire, int p_iCeiling) {
    std::vector<Bytef> out(static_cast<size_t>(p_iCeiling) + 1);
    uLongf uLength = static_cast<uLongf>(p_iCeiling);
    const int iZ = UncompressBody(out.data(), &uLength, reinterpret_cast<const Bytef*>(p_strWire.data()),
                                  static_cast<uLong>(p_strWire.size()));
    if (iZ != Z_OK) {
        char szBuf[64];
        snprintf(szBuf, sizeof szBuf, "ReceiveFrom(%d)(%ld)", iZ, static_cast<long>(uLength));
        return std::to_string(ADAPTOR_COMPRESSION) + " " + szBuf;
    }
    return "0 |" + std::string(reinterpret_cast<char*>(out.data()), uLength);
}

// The same, read in pieces of p_nPiece, stopping after p_nStop bytes (the
// reader gave up early) and then finished.
std::string Pieces(const std::string& p_strWire, int p_iCeiling, size_t p_nPiece, size_t p_nStop = SIZE_MAX) {
    CInflatingBody body(p_strWire.data(), static_cast<int>(p_strWire.size()), p_iCeiling);
    std::string strRead;
    std::vector<char> piece(p_nPiece);
    for (size_t n; strRead.size() < p_nStop && (n = body.Read(piece.data(), piece.size())) > 0;)
        strRead.append(piece.data(), n);
    std::string strDetails;
    const int iCode = body.Finish(&strDetails);
    EXPECT_EQ(body.Read(piece.data(), piece.size()), 0u);
    if (iCode != 0)
        return std::to_string(iCode) + " " + strDetails;
    return p_nStop == SIZE_MAX ? "0 |" + strRead : "0 |" + std::string(Whole(p_strWire, p_iCeiling).substr(3));
}

TEST(InflatingBody, EndsAsTheWholeDecodeAtEveryBreak) {
    const std::string strBody = Rows(70000, 1);
    const std::string strWire = Deflated(strBody);
    const int iBody = static_cast<int>(strBody.size());
    std::vector<std::pair<std::string, int>> cases = {
        {strWire, iBody},
        {strWire, iBody + 100},
        {strWire, iBody - 1},
        {strWire, 1},
        {strWire, 0},
        {Deflated(""), 0},
        {Deflated(""), 5},
        {"", 10},
        {"not zlib at all", 10},
        {strWire + "tail", iBody},
    };
    // Cut short at every point of the first bytes and then at a stride.
    for (size_t n = 0; n < strWire.size(); n += n < 64 ? 1 : 97)
        cases.push_back({strWire.substr(0, n), iBody});
    // One byte changed, anywhere.
    std::mt19937 rng(7);
    for (int i = 0; i < 300; ++i) {
        std::string strBroken = strWire;
        strBroken[rng() % strBroken.size()] ^= static_cast<char>(1 + rng() % 255);
        cases.push_back({strBroken, iBody});
    }
    for (size_t i = 0; i < cases.size(); ++i) {
        const std::string strExpected = Whole(cases[i].first, cases[i].second);
        for (size_t nPiece : {i < 40 ? size_t(1) : size_t(7), size_t(1000), size_t(48 * 1024), size_t(1) << 20})
            ASSERT_EQ(Pieces(cases[i].first, cases[i].second, nPiece), strExpected)
                << "case " << i << ", pieces of " << nPiece;
        // A reader that stops early still has the whole body checked.
        ASSERT_EQ(Pieces(cases[i].first, cases[i].second, 4096, 10000), strExpected) << "case " << i;
    }
}

}  // namespace
