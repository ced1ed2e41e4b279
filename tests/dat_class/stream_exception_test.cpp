#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <utility>

#include "dat_class/alloc_failure.h"
#include "vorant/cstring.hpp"
#include "vorant/exception.hpp"
#include "vorant/stream.hpp"

namespace {

// An object whose allocation always fails.
struct Unallocatable {
    static void* operator new(size_t) { throw std::bad_alloc(); }
    static void operator delete(void* p) { ::operator delete(p); }
};

std::string Content(const CStream& s) { return s.GetData() ? std::string(s.GetData(), s.GetSize()) : std::string(); }

TEST(CStream, GrowsInStepsAndKeepsATerminator) {
    CStream s;
    EXPECT_EQ(s.GetCapacity(), 0);
    EXPECT_EQ(s.AppendData("x", 1), 0);
    EXPECT_EQ(s.GetCapacity(), 512);
    EXPECT_EQ(s.GetSize(), 1);
    EXPECT_EQ(s.GetData()[0], 'x');
    EXPECT_EQ(s.GetData()[1], '\0');

    CStream t(0, 16);
    EXPECT_EQ(t.AppendData("0123456789abcdef", 16), 0);
    EXPECT_EQ(t.GetCapacity(), 32);  // 16 would leave no room for the terminator
    EXPECT_EQ(t.AppendData("0123456789abcde", 15), 0);
    EXPECT_EQ(t.GetCapacity(), 32);
    EXPECT_EQ(t.AppendData("!", 1), 0);
    EXPECT_EQ(t.GetCapacity(), 48);
    EXPECT_STREQ(t.GetData(), "0123456789abcdef0123456789abcde!");

    EXPECT_EQ(CStream(0, 0).GetGrowBy(), 512);
    EXPECT_EQ(CStream(0, -3).GetGrowBy(), 512);

    // Many appends keep every byte, in the smallest whole number of steps
    // above the content and its terminator.
    CStream m(0, 100);
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        std::string piece = std::to_string(i) + ",";
        ASSERT_EQ(m.AppendData(piece.data(), static_cast<int>(piece.size())), 0);
        expected += piece;
    }
    EXPECT_EQ(Content(m), expected);
    EXPECT_EQ(m.GetData()[m.GetSize()], '\0');
    EXPECT_EQ(m.GetCapacity(), (m.GetSize() / 100 + 1) * 100);

    // Growing piece by piece moves the bytes a few times, not once a step:
    // 40 MB in 4 KB pieces, 80 000 of the default 512-byte steps.
    CStream big;
    const std::string chunk(4096, 'c');
    const char* pLast = nullptr;
    int iMoves = 0;
    for (int i = 0; i < 10000; ++i) {
        ASSERT_EQ(big.AppendData(chunk.data(), static_cast<int>(chunk.size())), 0);
        iMoves += big.GetData() != pLast;
        pLast = big.GetData();
    }
    EXPECT_LE(iMoves, 60);
    EXPECT_EQ(big.GetSize(), 10000 * 4096);
    EXPECT_EQ(big.GetCapacity(), (big.GetSize() / 512 + 1) * 512);
    EXPECT_EQ(std::string(big.GetData() + big.GetSize() - 4096, 4096), chunk);
}

TEST(CStream, NothingToAppendChangesNothing) {
    CStream s;
    EXPECT_EQ(s.AppendData(nullptr, 5), 0);
    EXPECT_EQ(s.AppendData("abc", 0), 0);
    EXPECT_EQ(s.AppendData("abc", -1), 0);
    EXPECT_EQ(s.AppendData(CString()), 0);
    EXPECT_EQ(s.GetSize(), 0);
    EXPECT_EQ(s.GetData(), nullptr);

    // A size that cannot be held fails without touching the content.
    s.AppendData("0123456789", 10);
    EXPECT_EQ(s.AppendData("x", INT_MAX - 5), -1);
    EXPECT_EQ(Content(s), "0123456789");
    EXPECT_EQ(s.GetCapacity(), 512);
}

TEST(CStream, AppendingItsOwnContentAndLines) {
    CStream s(0, 4);
    std::string want = "abc";
    s.AppendData("abc", 3);
    for (int i = 0; i < 6; ++i, want += want)
        ASSERT_EQ(s.AppendData(s.GetData(), s.GetSize()), 0);
    EXPECT_EQ(Content(s), want);

    CStream l;
    EXPECT_EQ(l.AppendLine(CString("one")), 0);
    EXPECT_EQ(l.AppendLine(CString()), 0);
    l.AppendData(CString("two"));
    EXPECT_EQ(Content(l), "one\n\ntwo");
}

TEST(CStream, DirectWritingAndClearingZeroTheBuffer) {
    CStream s;
    char* p = s.GetBuffer(100);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(s.GetCapacity(), 100);
    memcpy(p, "abc", 3);
    s.ReleaseBuffer(-1);
    EXPECT_EQ(s.GetSize(), 3);
    s.ReleaseBuffer(500);
    EXPECT_EQ(s.GetSize(), 99);
    EXPECT_EQ(s.GetData()[99], '\0');
    s.ReleaseBuffer(2);
    EXPECT_EQ(Content(s), "ab");

    // A smaller request reuses and zeroes the buffer.
    EXPECT_EQ(s.GetBuffer(50), p);
    EXPECT_EQ(s.GetSize(), 0);
    EXPECT_EQ(s.GetCapacity(), 100);
    EXPECT_EQ(p[0], '\0');
    EXPECT_EQ(p[99], '\0');

    // A buffer filled to its last byte is cut, not overread.
    memset(p, 'z', 100);
    s.ReleaseBuffer(-1);
    EXPECT_EQ(s.GetSize(), 99);
    EXPECT_EQ(p[99], '\0');

    CStream none;
    none.ReleaseBuffer(10);
    none.ReleaseBuffer(-1);
    EXPECT_EQ(none.GetSize(), 0);

    // Clear zeroes but keeps the capacity.
    CStream c(64, 0);
    EXPECT_EQ(c.GetCapacity(), 64);
    EXPECT_EQ(c.GetData()[63], '\0');
    c.AppendData("hello", 5);
    c.Clear();
    EXPECT_EQ(c.GetSize(), 0);
    EXPECT_EQ(c.GetCapacity(), 64);
    EXPECT_EQ(c.GetData()[0], '\0');
    EXPECT_EQ(c.GetData()[4], '\0');
}

TEST(CStream, CopiesAreDeepAndMovesTransfer) {
    CStream a(0, 8);
    a.AppendData("shared?", 7);
    CStream b(a);
    CStream c;
    c = a;
    c = c;
    b.GetData()[0] = 'S';
    c.AppendData("!", 1);
    EXPECT_EQ(Content(a), "shared?");
    EXPECT_EQ(Content(b), "Shared?");
    EXPECT_EQ(Content(c), "shared?!");
    EXPECT_EQ(b.GetCapacity(), a.GetCapacity());
    EXPECT_EQ(b.GetGrowBy(), 8);

    CStream d(std::move(a));
    EXPECT_EQ(Content(d), "shared?");
    EXPECT_EQ(a.GetData(), nullptr);
    EXPECT_EQ(a.GetSize(), 0);
    a.AppendData("again", 5);
    EXPECT_EQ(Content(a), "again");

    CStream empty;
    d = empty;
    EXPECT_EQ(d.GetData(), nullptr);
    EXPECT_EQ(d.GetSize(), 0);
}

TEST(CException, CodesAndTexts) {
    CException none;
    EXPECT_EQ(none.GetCode(), 0);
    EXPECT_STREQ(none.GetText(), "");

    CException plain("plain", 7);
    EXPECT_EQ(plain.GetCode(), 7);
    EXPECT_STREQ(plain.GetText(), "plain");
    EXPECT_STREQ(CException(nullptr, 1).GetText(), "");

    std::string longText(3000, 'L');
    EXPECT_EQ(std::string(CException(longText.c_str(), 0).GetText()), longText.substr(0, 1023));
    CException formatted(-5, "%s/%d", longText.c_str(), 9);
    EXPECT_EQ(formatted.GetCode(), -5);
    EXPECT_EQ(std::string(formatted.GetText()), longText.substr(0, 1023));
    EXPECT_STREQ(CException(3, "%d items", 4).GetText(), "4 items");

    CException copy = plain;
    copy = formatted;
    EXPECT_EQ(copy.GetCode(), -5);
    EXPECT_EQ(strlen(copy.GetText()), 1023u);
}

TEST(AllocFailure, NamesUnitLineExpressionAndReason) {
    int iLine = 0;
    try {
        iLine = __LINE__ + 1;
        delete VORANT_NEW("dat_class/str_array", Unallocatable);
        FAIL() << "no exception";
    } catch (const CException& e) {
        EXPECT_EQ(e.GetCode(), -11);
        std::string expected =
            "at dat_class/str_array(" + std::to_string(iLine) + " lines), (new Unallocatable) failed(std::bad_alloc)";
        EXPECT_EQ(e.GetText(), expected);
    }

    // A constructor's own exception passes through unchanged.
    try {
        CString* p = VORANT_NEW("dat_class/cstring", CString(CFormat("%s", "ok")));
        EXPECT_STREQ(p->ToStr(), "ok");
        delete p;
        struct Thrower {
            Thrower() { throw CException("own", 3); }
        };
        delete VORANT_NEW("x", Thrower);
        FAIL() << "no exception";
    } catch (const CException& e) {
        EXPECT_EQ(e.GetCode(), 3);
        EXPECT_STREQ(e.GetText(), "own");
    }
}

}  // namespace
