// The one loop behind printf-style texts: buffers in steps, texts whole.
#include "dat_class/text_format.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <memory>
#include <string>

namespace {

const vorant::text_format::CSteps kSteps = {160, "test", "char[iLen]", 1};

CString Text(const char* p_szFormat, ...) {
    va_list args;
    va_start(args, p_szFormat);
    CString strText = vorant::text_format::FormatText(kSteps, p_szFormat, args);
    va_end(args);
    return strText;
}

std::unique_ptr<char[]> Buffer(int* p_piLength, int* p_piSize, const char* p_szFormat, ...) {
    va_list args;
    va_start(args, p_szFormat);
    std::unique_ptr<char[]> pBuffer(
        vorant::text_format::FormatToNewBuffer(kSteps, p_szFormat, args, p_piLength, p_piSize));
    va_end(args);
    return pBuffer;
}

}  // namespace

TEST(TextFormat, TextsOfAnyLengthComeOutWhole) {
    for (size_t nLen : {0u, 1u, 159u, 160u, 161u, 1023u, 1024u, 5000u}) {
        const std::string strArg(nLen, 'x');
        EXPECT_EQ(std::string(Text("<%s>", strArg.c_str()).ToStr()), "<" + strArg + ">") << nLen;
    }
    EXPECT_STREQ(Text(nullptr).ToStr(), "");
}

TEST(TextFormat, NewBuffersTakeTheFirstStepThatHoldsTheTextAndTheSpare) {
    const struct {
        size_t m_nLen;
        int m_iSize;
    } kCases[] = {{0, 161}, {159, 161}, {160, 321}, {319, 321}, {320, 481}, {1000, 1121}};
    for (const auto& c : kCases) {
        int iLength = 0, iSize = 0;
        const std::string strArg(c.m_nLen, 'y');
        std::unique_ptr<char[]> pBuffer = Buffer(&iLength, &iSize, "%s", strArg.c_str());
        ASSERT_TRUE(pBuffer) << c.m_nLen;
        EXPECT_EQ(iLength, static_cast<int>(c.m_nLen));
        EXPECT_EQ(iSize, c.m_iSize) << c.m_nLen;
        EXPECT_EQ(std::string(pBuffer.get()), strArg);
        EXPECT_EQ(pBuffer[iSize - 1], '\0');
    }
    int iLength = 0, iSize = 0;
    EXPECT_FALSE(Buffer(&iLength, &iSize, nullptr));
    EXPECT_LT(iLength, 0);
}
