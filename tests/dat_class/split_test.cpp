#include <gtest/gtest.h>

#include "vorant/arrays.hpp"
#include "vorant/cstring.hpp"

namespace {

// The pieces joined with '|', after the count Split returned.
std::string Pieces(int p_iCount, const CStrArray& p_Out) {
    return std::to_string(p_iCount) + ":" + p_Out.Join("|").ToStr();
}

}  // namespace

TEST(Split, CharSeparatorDropsAnEmptyLastPiece) {
    CStrArray out;
    EXPECT_EQ(Pieces(CString("a,,b,").Split(',', &out, false), out), "3:a||b");
    EXPECT_EQ(Pieces(CString(" a , b ").Split(',', &out, true), out), "2:a|b");
    EXPECT_EQ(Pieces(CString(" a , b ").Split(',', &out, false), out), "2: a | b ");
    EXPECT_EQ(Pieces(CString("").Split(',', &out, false), out), "0:");
    EXPECT_EQ(Pieces(CString("a,b").Split('\0', &out, false), out), "1:a,b");
}

TEST(Split, StringSeparatorKeepsAnEmptyLastPieceUnlessTrimming) {
    CStrArray out;
    EXPECT_EQ(Pieces(CString("a,,b,").Split(",", &out, false), out), "4:a||b|");
    EXPECT_EQ(Pieces(CString("a,,b, ").Split(",", &out, true), out), "3:a||b");
    EXPECT_EQ(Pieces(CString("k::v::::w").Split("::", &out, false), out), "4:k|v||w");
    EXPECT_EQ(Pieces(CString("a:::b").Split("::", &out, false), out), "2:a|:b");
    EXPECT_EQ(Pieces(CString("").Split("::", &out, false), out), "1:");
    // No separator to cut at: the whole text is the one piece.
    EXPECT_EQ(Pieces(CString("a,b").Split("", &out, false), out), "1:a,b");
    EXPECT_EQ(Pieces(CString("a,b").Split(static_cast<const char*>(nullptr), &out, false), out), "1:a,b");
    EXPECT_EQ(CString("a").Split(",", nullptr, false), -1);
}

TEST(Split, ClearsTheOutputButKeepsItsCapacity) {
    CStrArray out;
    for (int i = 0; i < 7; ++i)
        out.Add("old");
    const int iCapacity = out.GetCapacity();
    EXPECT_EQ(Pieces(CString("x;y").Split(';', &out, false), out), "2:x|y");
    EXPECT_EQ(out.GetCapacity(), iCapacity);
    EXPECT_STREQ(out.GetAt(2), "");

    // Splitting a string of the output array itself.
    out[0] = "p;q;r";
    EXPECT_EQ(Pieces(out[0].Split(';', &out, false), out), "3:p|q|r");
}
