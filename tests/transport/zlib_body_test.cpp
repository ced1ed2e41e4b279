// The reused per-thread zlib streams must give exactly what zlib's one-shot
// compress() and uncompress() give: bytes, lengths and result codes, on
// good and on damaged input, on the first and on later bodies of a thread.
#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "transport/zlib_body.h"

namespace {

using Bytes = std::vector<Bytef>;

// Text that compresses like message XML, with a random tail of p_nNoise bytes.
Bytes Sample(size_t p_nSize, size_t p_nNoise, unsigned p_uSeed) {
    std::mt19937 rng(p_uSeed);
    Bytes out;
    while (out.size() + p_nNoise < p_nSize) {
        const std::string piece = "<t6><t1><![CDATA[LN-" + std::to_string(rng() % 100000) + "]]></t1></t6>";
        out.insert(out.end(), piece.begin(), piece.end());
    }
    out.resize(p_nSize > p_nNoise ? p_nSize - p_nNoise : 0);
    while (out.size() < p_nSize)
        out.push_back(static_cast<Bytef>(rng()));
    return out;
}

Bytes Deflated(const Bytes& p_In) {
    Bytes out(compressBound(p_In.size()));
    uLongf n = out.size();
    EXPECT_EQ(compress(out.data(), &n, p_In.data(), p_In.size()), Z_OK);
    out.resize(n);
    return out;
}

struct Outcome {
    int m_iCode;
    uLongf m_uLength;
    Bytes m_Out;
    bool operator==(const Outcome& o) const {
        return m_iCode == o.m_iCode && m_uLength == o.m_uLength && m_Out == o.m_Out;
    }
};

std::ostream& operator<<(std::ostream& p_Out, const Outcome& p_Outcome) {
    return p_Out << "code " << p_Outcome.m_iCode << ", length " << p_Outcome.m_uLength;
}

template <typename Fn>
Outcome Run(Fn p_Fn, const Bytes& p_In, uLongf p_uDestLen) {
    Outcome r{0, p_uDestLen, Bytes(p_uDestLen + 1, 0xAB)};
    r.m_iCode = p_Fn(r.m_Out.data(), &r.m_uLength, p_In.data(), p_In.size());
    return r;
}

void ExpectSameCompress(const Bytes& p_In, uLongf p_uDestLen) {
    EXPECT_EQ(Run(CompressBody, p_In, p_uDestLen), Run(compress, p_In, p_uDestLen))
        << "size " << p_In.size() << ", room " << p_uDestLen;
}

void ExpectSameUncompress(const Bytes& p_In, uLongf p_uDestLen, const char* p_szCase) {
    EXPECT_EQ(Run(UncompressBody, p_In, p_uDestLen), Run(uncompress, p_In, p_uDestLen)) << p_szCase;
}

TEST(ZlibBody, CompressesToTheSameBytesAsCompress) {
    for (int iRound = 0; iRound < 2; ++iRound) {  // the second round reuses the stream
        for (size_t n : {0, 1, 100, 1025, 4096, 70000, 1 << 20}) {
            const Bytes in = Sample(n, n / 8, static_cast<unsigned>(n) + iRound);
            ExpectSameCompress(in, compressBound(n));
            ExpectSameCompress(in, n / 4);  // too little room
            ExpectSameCompress(in, 0);
        }
    }
    std::thread other([] { ExpectSameCompress(Sample(5000, 100, 7), compressBound(5000)); });
    other.join();
}

TEST(ZlibBody, UncompressAgreesOnGoodAndDamagedBodies) {
    const Bytes plain = Sample(4096, 300, 11);
    const Bytes packed = Deflated(plain);
    const Bytes empty = Deflated(Bytes());
    for (int iRound = 0; iRound < 2; ++iRound) {
        ExpectSameUncompress(packed, plain.size(), "exact room");
        ExpectSameUncompress(packed, plain.size() + 50, "more room");
        ExpectSameUncompress(packed, plain.size() - 1, "one byte short");
        ExpectSameUncompress(packed, 0, "no room, data");
        ExpectSameUncompress(empty, 0, "no room, empty stream");
        ExpectSameUncompress(empty, 10, "room, empty stream");
        ExpectSameUncompress(Bytes(packed.begin(), packed.end() - 9), plain.size(), "cut short");
        ExpectSameUncompress(Bytes(packed.begin(), packed.begin() + 2), plain.size(), "header only");
        ExpectSameUncompress(Bytes(), plain.size(), "nothing");
        Bytes flipped = packed;
        flipped[flipped.size() / 2] ^= 0x5A;
        ExpectSameUncompress(flipped, plain.size(), "damaged middle");
        Bytes badSum = packed;
        badSum.back() ^= 1;
        ExpectSameUncompress(badSum, plain.size(), "damaged adler32");
        ExpectSameUncompress(Sample(600, 600, 3), 4096, "noise");
        // A stream that asks for a preset dictionary.
        const Bytes dictStream = {0x78, 0xBB, 0x00, 0x00, 0x00, 0x01, 0x03, 0x00};
        ExpectSameUncompress(dictStream, 100, "preset dictionary");
    }
    std::thread other([&] { ExpectSameUncompress(packed, plain.size(), "other thread"); });
    other.join();
}

}  // namespace
