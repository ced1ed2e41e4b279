#include <gtest/gtest.h>

#include <string>

#include "alloc_fault.h"
#include "counted_item.h"
#include "expect_raises.h"
#include "vorant/hashes.hpp"
#include "vorant/stream.hpp"

namespace {

std::string DumpOf(const CHashBag<CIntArray, int, int>& p_Hash) {
    CStream s;
    p_Hash.Dump(&s);
    return s.GetData() ? s.GetData() : "";
}

std::string Keys(const CStrHash& p_Hash) {
    CStrArray keys;
    p_Hash.GetKeys(keys);
    return keys.Join(",").ToStr();
}

}  // namespace

TEST(HashFunc, KeepsTheSignExtendingShift) {
    EXPECT_EQ(CStrHash::HashFunc("abc", 0), 0);
    EXPECT_EQ(CStrHash::HashFunc(nullptr, 3), 0);
    EXPECT_EQ(CStrHash::HashFunc("a", 1), 97);
    EXPECT_EQ(CStrHash::HashFunc("ab", 2), 1650);
    EXPECT_EQ(CStrHash::HashFunc("abc", 3), 26499);
    EXPECT_EQ(CStrHash::HashFunc("msg_dic", 7), 77421187);
    // The running hash reaches bit 31 (and bytes above 127 count negative).
    EXPECT_EQ(CStrHash::HashFunc("zzzzzzzz", 8), 841098698);
    EXPECT_EQ(CStrHash::HashFunc("\xff", 1), 805306383);
    EXPECT_EQ(CIntHash::HashFunc("\xc7\xd1\xb1\xdb", 4), 211947);
}

TEST(Hash, SetAppendsOrReplacesAndCountsValues) {
    CStrHash h;
    EXPECT_EQ(h.Set("k", "x", false), 0);
    EXPECT_EQ(h.Set("k", "x", false), 0);
    CStrArray list;
    EXPECT_EQ(h.Get("k", &list), 0);
    EXPECT_STREQ(list.Join(","), "x,x");
    EXPECT_EQ(h.GetDataCount(), 2);
    h.Set("k", "y", true);
    h.Get("k", &list);
    EXPECT_EQ(h.GetDataCount(), 1);

    CString first("untouched");
    EXPECT_EQ(h.Get("absent", &first), -1);
    EXPECT_STREQ(first, "untouched");
    EXPECT_STREQ(list.Join(","), "y");
    EXPECT_EQ(h.Get("k", &first), 0);
    EXPECT_STREQ(first, "y");

    h.Set("k", "z", false);
    h.Set("m", "1", false);
    EXPECT_EQ(h.Remove("k"), 0);  // both of its values go
    EXPECT_EQ(h.GetDataCount(), 1);
    EXPECT_EQ(h.Remove("k"), -1);
    EXPECT_EQ(h.GetDataCount(), 1);

    CDblHash d(7);
    d.Set("pi", 3.25, false);
    double v = 0;
    EXPECT_EQ(d.Get("pi", &v), 0);
    EXPECT_EQ(v, 3.25);
}

TEST(Hash, KeysInOneBucketKeepTheirOrder) {
    CStrHash h(1);
    h.Set("b", "1", false);
    h.Set("a", "2", false);
    h.Set("c", "3", false);
    EXPECT_EQ(Keys(h), "b,a,c");
    h.Remove("a");
    EXPECT_EQ(Keys(h), "b,c");

    CStrHash spread(16);  // 'a'..'c' are 97..99: buckets 1..3
    spread.Set("c", "", false);
    spread.Set("a", "", false);
    spread.Set("q", "", false);  // 113: bucket 1, after "a"
    EXPECT_EQ(Keys(spread), "a,q,c");
}

TEST(Hash, BadArgumentsRaise) {
    EXPECT_RAISES(CIntHash(0), 0, "CIntHash() Invalid size(0)");
    EXPECT_RAISES(CDblHash(-4), 0, "CDblHash() Invalid size(-4)");
    EXPECT_RAISES(CStrHash(0), 0, "CStrHash() Invalid size(0)");
    EXPECT_RAISES(CPtrHash(true, 0), 0, "CPtrHash() Invalid size(0)");

    CIntHash h;
    int i = 0;
    EXPECT_RAISES(h.Set(nullptr, 1, false), 0, "CString::Compare - invalid string");
    EXPECT_RAISES(h.Get(nullptr, &i), 0, "CString::Compare - invalid string");
    EXPECT_RAISES(h.Remove(nullptr), 0, "CString::Compare - invalid string");
    EXPECT_RAISES(CPtrHash().Get(nullptr), 0, "CString::Compare - invalid string");
}

TEST(Hash, DumpListsBucketsKeysAndValues) {
    CIntHash h(4);
    h.Set("a", 1, false);  // 97: bucket 1
    h.Set("e", 2, false);  // 101: bucket 1
    h.Set("e", 3, false);
    h.Set("b", -4, false);  // bucket 2
    EXPECT_EQ(DumpOf(h),
              "Total HashBag size : 4, DataCnt : 4\n"
              "Hash : 1\n"
              "  Key : [a](1)\n"
              "      : [1]\n"
              "  Key : [e](1)\n"
              "      : [2, 3]\n"
              "      (Hash(1) Cnt : 2)\n"
              "Hash : 2\n"
              "  Key : [b](2)\n"
              "      : [-4]\n"
              "      (Hash(2) Cnt : 1)\n");
    EXPECT_EQ(DumpOf(CIntHash(2)), "Total HashBag size : 2, DataCnt : 0\n");
    h.Dump(nullptr);
}

TEST(Hash, CopiesAreDeep) {
    CIntHash h(4);
    h.Set("a", 1, false);
    h.Set("e", 2, false);
    CIntHash copy(h);
    CIntHash assigned(9);
    assigned.Set("x", 1, false);
    assigned = h;
    h.Set("a", 7, true);
    h.Remove("e");
    h = h;
    EXPECT_EQ(DumpOf(copy), DumpOf(assigned));
    int v = 0;
    assigned.Get("a", &v);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(assigned.Get("x", &v), -1);
    EXPECT_EQ(DumpOf(h),
              "Total HashBag size : 4, DataCnt : 1\nHash : 1\n  Key : [a](1)\n      : [7]\n"
              "      (Hash(1) Cnt : 1)\n");

    // A failed copy names its allocation and leaves the target as it was.
    alloc_fault::FailArrayNew(1);
    EXPECT_ALLOC_FAILURE(assigned = h, "dat_class/hash_bag", "CNode*[iCount]()");
    alloc_fault::FailArrayNew(0);
    EXPECT_EQ(DumpOf(assigned), DumpOf(copy));
}

TEST(PtrHash, AdoptingHashDeletesItsItems) {
    {
        CPtrHash h(true, 8);
        CountedItem* kept = new CountedItem;
        h.Set("a", kept, false);
        h.Set("a", new CountedItem, false);
        h.Set("b", new CountedItem, false);
        h.Set("c", new CountedItem, false);
        h.Set("a", kept, true);  // replaced by an item it held: that one stays
        EXPECT_EQ(CountedItem::s_iLive, 3);
        EXPECT_EQ(h.Get("a"), kept);
        EXPECT_EQ(h.Get("zz"), nullptr);

        CPtrArray view;
        EXPECT_EQ(h.Get("a", &view), 0);
        EXPECT_FALSE(view.GetAdoptFlag());
        h.Remove("b");
        EXPECT_EQ(CountedItem::s_iLive, 2);
        h.Clear();
        EXPECT_EQ(CountedItem::s_iLive, 0);
        h.Set("d", new CountedItem, false);
    }
    EXPECT_EQ(CountedItem::s_iLive, 0);

    CountedItem a, b;
    {
        CPtrHash h(false, 8);
        h.Set("a", &a, false);
        h.Set("b", &b, false);
        h.Remove("a");
        CPtrHash owning;
        owning.Set("b", &b, false);
        owning.SetAdoptFlag(false);
    }
    EXPECT_EQ(CountedItem::s_iLive, 2);
}
