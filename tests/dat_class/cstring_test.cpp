#include "vorant/cstring.hpp"

#include <gtest/gtest.h>

#include "dat_class/alloc_fault.h"
#include "dat_class/expect_raises.h"
#include "vorant/arrays.hpp"

#include <climits>
#include <string>
#include <utility>

namespace {

// The buffer size is seen only through ReleaseBuffer's bound (probing
// writes zeros past the text only).
int BufferSize(CString& s) {
    int iLength = s.GetLength();
    int n = iLength;
    for (;; ++n) {
        try {
            s.ReleaseBuffer(n);
        } catch (const CException&) {
            break;
        }
    }
    s.ReleaseBuffer(iLength);
    return n;
}

// The pieces joined with '|', after the count Split returned.
std::string Pieces(int p_iCount, const CStrArray& p_Out) {
    return std::to_string(p_iCount) + ":" + p_Out.Join("|").ToStr();
}

TEST(CString, EmptyStatesHaveAnEightByteBufferAndReadAsEmptyText) {
    CString s;
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_FALSE(s.IsValid());
    EXPECT_STREQ(static_cast<const char*>(s), "");
    EXPECT_EQ(BufferSize(s), 8);

    CString t("abcdefghijk");
    EXPECT_EQ(t.Set(""), 0);
    EXPECT_EQ(BufferSize(t), 8);
    t = "abc";
    EXPECT_EQ(t.Set(static_cast<const char*>(nullptr)), 0);
    EXPECT_EQ(t.GetLength(), 0);
    EXPECT_EQ(BufferSize(t), 8);
    CString u(static_cast<const char*>(nullptr));
    EXPECT_STREQ(u.ToStr(), "");
    EXPECT_STREQ(CString().Repr().ToStr(), "<CStr: unset>");
    EXPECT_DOUBLE_EQ(CString().ToDbl(), 0.0);
}

TEST(CString, SetReusesALargerBufferAndCopiesOverlappingText) {
    CString s("abcdefgh");
    EXPECT_EQ(s.Set("xyz"), 3);
    // The old tail is zeroed, not left behind the terminator.
    s.ReleaseBuffer(8);
    EXPECT_EQ(s.GetLength(), 8);
    EXPECT_EQ(s[5], '\0');
    EXPECT_EQ(BufferSize(s), 9);

    CString t("hello world");
    EXPECT_EQ(t.Set(t.ToStr() + 6), 5);
    EXPECT_STREQ(t.ToStr(), "world");
    t = t;
    EXPECT_STREQ(t.ToStr(), "world");
}

TEST(CString, CopiesAndMovesOwnTheirText) {
    CString a("one");
    CString b(a);
    b.Replace('o', 'O');
    EXPECT_STREQ(a.ToStr(), "one");
    EXPECT_STREQ(b.ToStr(), "One");

    CString c(std::move(b));
    EXPECT_STREQ(c.ToStr(), "One");
    EXPECT_STREQ(b.ToStr(), "");  // moved-from reads as empty and is usable
    EXPECT_EQ(b.GetLength(), 0);
    EXPECT_EQ(b.Find("x"), -1);
    EXPECT_EQ(b.Find('x'), -1);
    EXPECT_EQ(b.Replace("x", "y"), 0);
    b.Trim();
    EXPECT_STREQ(b.Mid(0).ToStr(), "");
    b += "again";
    EXPECT_STREQ(b.ToStr(), "again");
    b.Insert(0, '>');
    EXPECT_STREQ(b.ToStr(), ">again");

    a = std::move(c);
    EXPECT_STREQ(a.ToStr(), "One");
}

TEST(CString, IndexAndReleaseErrorsRaiseCodeZeroWithTheirTexts) {
    CString s("abc");
    EXPECT_EQ(s[2], 'c');
    EXPECT_RAISES(s[-1], 0, "CString::operator[] - index overflow");
    EXPECT_RAISES(s[3], 0, "CString::operator[] - index overflow");

    char* p = s.GetBuffer(10);
    EXPECT_EQ(s.GetLength(), 0);
    EXPECT_EQ(p[0], '\0');
    EXPECT_EQ(p[10], '\0');
    p[0] = 'x';
    p[1] = 'y';
    s.ReleaseBuffer(-1);
    EXPECT_EQ(s.GetLength(), 2);
    EXPECT_STREQ(s.ToStr(), "xy");
    s.ReleaseBuffer(10);
    EXPECT_EQ(s.GetLength(), 10);
    EXPECT_RAISES(s.ReleaseBuffer(11), 0, "CString::ReleaseBuffer - out of index");

    // A buffer filled without a terminator is refused, not overread.
    p = s.GetBuffer(3);
    for (int i = 0; i < 4; ++i)
        p[i] = 'z';
    EXPECT_RAISES(s.ReleaseBuffer(-1), 0, "CString::ReleaseBuffer - out of index");
    // Lengths below -1 count as -1 instead of writing before the buffer.
    p[3] = '\0';
    s.ReleaseBuffer(-7);
    EXPECT_EQ(s.GetLength(), 3);
}

TEST(CString, FailedAllocationsRaiseMinusElevenAndKeepTheText) {
    CString s("keep");
    EXPECT_ALLOC_FAILURE(s.GetBuffer(INT_MAX), "dat_class/cstring", "char[iLen]");
    const struct {
        const char* expr;
        void (*edit)(CString&);
    } cases[] = {
        {"char[iNewLen+1]", [](CString& t) { t += "more"; }},
        {"char[iNewLen+1]", [](CString& t) { t.Insert(1, "more"); }},
        {"char[iNewLen+1]", [](CString& t) { t.Replace("e", "EE"); }},
        {"char[iLen+1]", [](CString& t) { t.Set("a longer text"); }},
        {"char[iLen+1]", [](CString& t) { t = t + "more"; }},
        {"char[kEmptyBufferSize]", [](CString& t) { t.Empty(); }},
        {"char[iSize+1]", [](CString& t) { t.Format("%d", 1); }},
    };
    for (const auto& c : cases) {
        alloc_fault::FailArrayNew(1);
        EXPECT_ALLOC_FAILURE(c.edit(s), "dat_class/cstring", c.expr);
        alloc_fault::FailArrayNew(0);
        EXPECT_STREQ(s.ToStr(), "keep") << c.expr;
        EXPECT_EQ(s.GetLength(), 4);
    }
}

TEST(CString, SubstringsClampTheirArguments) {
    CString s("abcdef");
    EXPECT_STREQ(s.Mid(2).ToStr(), "cdef");
    EXPECT_STREQ(s.Mid(10, 2).ToStr(), "");
    EXPECT_STREQ(s.Mid(-4, 2).ToStr(), "ab");
    EXPECT_STREQ(s.Mid(4, INT_MAX).ToStr(), "ef");
    EXPECT_STREQ(s.Mid(1, -5).ToStr(), "");
    EXPECT_STREQ(s.Mid(6, 1).ToStr(), "");
    EXPECT_STREQ(s.Left(-3).ToStr(), "");
    EXPECT_STREQ(s.Left(2).ToStr(), "ab");
    EXPECT_STREQ(s.Left(99).ToStr(), "abcdef");
    EXPECT_STREQ(s.Right(2).ToStr(), "ef");
    EXPECT_STREQ(s.Right(99).ToStr(), "abcdef");
    EXPECT_STREQ(s.Right(-1).ToStr(), "");
    CString empty = s.Left(0);
    EXPECT_EQ(BufferSize(empty), 8);
}

TEST(CString, InsertClampsPositionAndHandlesItsOwnText) {
    CString s("ace");
    EXPECT_EQ(s.Insert(1, 'b'), 4);
    EXPECT_EQ(s.Insert(99, "fg"), 6);
    EXPECT_EQ(s.Insert(-5, ">"), 7);
    EXPECT_STREQ(s.ToStr(), ">abcefg");
    EXPECT_EQ(s.Insert(3, ""), 7);
    EXPECT_EQ(s.Insert(3, static_cast<const char*>(nullptr)), 7);
    EXPECT_EQ(s.Insert(3, '\0'), 7);
    EXPECT_STREQ(s.ToStr(), ">abcefg");

    // In place when the buffer has room.
    char* p = s.GetBuffer(20);
    strcpy(p, "held");
    s.ReleaseBuffer(-1);
    EXPECT_EQ(s.Insert(2, "XY"), 6);
    EXPECT_STREQ(s.ToStr(), "heXYld");
    EXPECT_EQ(s.Insert(0, s.ToStr() + 2), 10);
    EXPECT_STREQ(s.ToStr(), "XYldheXYld");
}

TEST(CString, DeleteRemoveAndReplace) {
    CString s("abcdef");
    EXPECT_EQ(s.Delete(1, 2), 4);
    EXPECT_STREQ(s.ToStr(), "adef");
    EXPECT_EQ(s.Delete(2, 99), 2);
    EXPECT_STREQ(s.ToStr(), "ad");
    EXPECT_EQ(s.Delete(5, 1), 2);
    EXPECT_EQ(s.Delete(0, 0), 2);
    EXPECT_EQ(s.Delete(-3, 1), 1);
    EXPECT_STREQ(s.ToStr(), "d");

    CString t("a.b.c.");
    EXPECT_EQ(t.Remove('.'), 3);
    EXPECT_STREQ(t.ToStr(), "abc");
    EXPECT_EQ(t.GetLength(), 3);
    EXPECT_EQ(t.Replace('b', 'b'), 0);
    EXPECT_EQ(t.Replace('b', 'x'), 1);
    EXPECT_STREQ(t.ToStr(), "axc");

    // Texts are counted without overlap and the buffer is resized exactly.
    CString r("abcab");
    EXPECT_EQ(r.Replace("ab", ""), 2);
    EXPECT_STREQ(r.ToStr(), "c");
    EXPECT_EQ(r.Replace("", "x"), 0);
    EXPECT_EQ(r.Replace(static_cast<const char*>(nullptr), "x"), 0);

    CString a("aaaa");
    EXPECT_EQ(a.Replace("aa", "b"), 2);
    EXPECT_STREQ(a.ToStr(), "bb");
    CString g("x-y-z");
    EXPECT_EQ(g.Replace("-", "<->"), 2);
    EXPECT_STREQ(g.ToStr(), "x<->y<->z");
    EXPECT_EQ(BufferSize(g), 10);
    EXPECT_EQ(g.Replace("<->", static_cast<const char*>(nullptr)), 2);
    EXPECT_STREQ(g.ToStr(), "xyz");
    EXPECT_EQ(g.Replace("q", "r"), 0);
}

TEST(CString, ConcatenationCopiesExactlyAndSurvivesSelfAppend) {
    CString s("ab");
    s += "cd";
    EXPECT_EQ(BufferSize(s), 5);
    s += static_cast<const char*>(nullptr);
    s += "";
    s += s;
    EXPECT_STREQ(s.ToStr(), "abcdabcd");
    CString t = s + "!" + CString("?");
    EXPECT_STREQ(t.ToStr(), "abcdabcd!?");
    EXPECT_STREQ(s.ToStr(), "abcdabcd");
    EXPECT_STREQ((CString() + static_cast<const char*>(nullptr)).ToStr(), "");
}

TEST(CString, FindingAndPrefixes) {
    CString s("abcabc");
    EXPECT_EQ(s.Find('b', 2), 4);
    EXPECT_EQ(s.Find('b', -9), 1);
    EXPECT_EQ(s.Find('b', 6), -1);
    EXPECT_EQ(s.Find("bc", 2), 4);
    EXPECT_EQ(s.Find("bc", 7), -1);
    EXPECT_EQ(s.Find("abcabcx"), -1);
    EXPECT_EQ(s.Find(""), -1);
    EXPECT_EQ(s.ReverseFind('a'), 3);
    EXPECT_EQ(s.FindOneOf("xc"), 2);
    EXPECT_EQ(s.FindOneOf(""), -1);
    EXPECT_EQ(s.FindOneOf(nullptr), -1);

    EXPECT_TRUE(s.StartsWith(""));
    EXPECT_FALSE(s.StartsWith("abcabcd"));
    EXPECT_FALSE(s.StartsWith(nullptr));
    EXPECT_TRUE(s.EndsWith("cabc"));
    EXPECT_FALSE(s.EndsWith("ab"));
    EXPECT_FALSE(s.EndsWith(nullptr));
}

TEST(CString, ComparisonsByUnsignedBytesRefuseNullAndEqualityComparesTexts) {
    CString s("abc");
    EXPECT_EQ(s.Compare("abc"), 0);
    EXPECT_EQ(s.Compare("abd"), -1);
    EXPECT_EQ(s.Compare("ab"), 1);
    EXPECT_EQ(s.Compare("abz"), -1);
    EXPECT_EQ(CString("\xe9").Compare("z"), 1);
    EXPECT_RAISES(s.Compare(nullptr), 0, "CString::Compare - invalid string");

    EXPECT_EQ(CString("ABC").CompareNoCase("abc"), 0);
    EXPECT_EQ(CString("abc").CompareNoCase("abe"), 'c' - 'e');
    EXPECT_EQ(CString("ab").CompareNoCase("ABC"), -'c');
    EXPECT_RAISES(s.CompareNoCase(nullptr), 0, "CString::CompareNoCase - invalid string");

    // Equality compares texts, not pointers.
    CString a("same");
    CString b("same");
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(a == "same");
    EXPECT_TRUE("same" == a);
    EXPECT_TRUE(a != "Same");
    EXPECT_TRUE(a != CString("sam"));
    EXPECT_TRUE(a != static_cast<const char*>(nullptr));
    EXPECT_TRUE(CString() == "");
}

TEST(CString, TrimmingAndCase) {
    CString s(" \t ab c \n");
    s.TrimLeft();
    EXPECT_STREQ(s.ToStr(), "ab c \n");
    s.TrimRight();
    EXPECT_STREQ(s.ToStr(), "ab c");
    EXPECT_EQ(s.GetLength(), 4);

    CString t("-+-value+-x");
    t.Trim('x');
    t.Trim("");
    t.Trim(static_cast<const char*>(nullptr));
    EXPECT_STREQ(t.ToStr(), "-+-value+-");
    t.Trim("+-");
    EXPECT_STREQ(t.ToStr(), "value");

    CString all("   ");
    all.Trim();
    EXPECT_STREQ(all.ToStr(), "");
    EXPECT_EQ(all.GetLength(), 0);

    CString m("MiXeD 1");
    m.MakeUpper();
    EXPECT_STREQ(m.ToStr(), "MIXED 1");
    m.MakeLower();
    EXPECT_STREQ(m.ToStr(), "mixed 1");
}

TEST(CString, FormatGrowsInSteps) {
    CString s;
    EXPECT_EQ(s.Format("%d-%s", 42, "x"), 4);
    EXPECT_STREQ(s.ToStr(), "42-x");
    EXPECT_EQ(BufferSize(s), 513);

    std::string big(600, 'q');
    EXPECT_EQ(s.Format("<%s>", big.c_str()), 602);
    EXPECT_EQ(s.GetLength(), 602);
    EXPECT_EQ(std::string(s.ToStr()), "<" + big + ">");
    EXPECT_EQ(BufferSize(s), 1025);

    // 512 characters need the second step; 511 fit in the first.
    EXPECT_EQ(s.Format("%s", std::string(512, 'a').c_str()), 512);
    EXPECT_EQ(BufferSize(s), 1025);
    EXPECT_EQ(s.Format("%s", std::string(511, 'a').c_str()), 511);
    EXPECT_EQ(BufferSize(s), 513);
    EXPECT_EQ(s.Format("%s", std::string(5000, 'a').c_str()), 5000);
    EXPECT_EQ(BufferSize(s), 5121);

    // Its own text may be an argument.
    s = "abc";
    s.Format("%s|%s", s.ToStr(), s.ToStr());
    EXPECT_STREQ(s.ToStr(), "abc|abc");
}

TEST(CString, CFormatCopiesExactlyAndWhatCannotRenderIsEmpty) {
    CString old("old");
    EXPECT_LT(old.Format("%ls", L"\xff\xfe"), 0);  // not representable in the C locale
    EXPECT_STREQ(old.ToStr(), "");
    EXPECT_EQ(CFormat("%ls", L"\xff\xfe").GetLength(), 0);

    CString s = CFormat("%05d|%s", 7, "seven");
    EXPECT_STREQ(s.ToStr(), "00007|seven");
    EXPECT_EQ(BufferSize(s), 12);
    std::string big(3000, 'z');
    CString l = CFormat("%s.", big.c_str());
    EXPECT_EQ(l.GetLength(), 3001);
    EXPECT_EQ(BufferSize(l), 3002);
    EXPECT_EQ(std::string(l.ToStr()), big + ".");
}

// The parsing itself is pinned by the number-text tests.
TEST(CString, ConversionsAndRepr) {
    EXPECT_EQ(CString(" 42abc").ToInt(), 42);
    EXPECT_DOUBLE_EQ(CString("2.5e3").ToDbl(), 2500.0);
    EXPECT_STREQ(CString("hi").Repr().ToStr(), "<CStr: hi>");
}

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

}  // namespace
