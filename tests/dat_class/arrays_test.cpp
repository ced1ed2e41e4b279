#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

#include "alloc_fault.h"
#include "counted_item.h"
#include "expect_raises.h"
#include "vorant/arrays.hpp"

TEST(ValueArray, GrowsByAnEighthBetweenFourAnd1024) {
    CIntArray a;
    std::string caps;
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(a.Add(i), i);
        caps += std::to_string(a.GetCapacity()) + " ";
    }
    EXPECT_EQ(caps, "4 4 4 4 8 8 8 8 12 12 ");

    CIntArray b(8000, 1);
    b.Add(2);
    EXPECT_EQ(b.GetCapacity(), 9000);
    CIntArray c(9000, 1);
    c.InsertAt(0, 2);
    EXPECT_EQ(c.GetCapacity(), 10024);
    EXPECT_EQ(c.GetAt(0), 2);
    EXPECT_EQ(c.GetAtLast(), 1);

    // Long arrays grow by an eighth, uncapped, so appends stay linear.
    CIntArray d(65535, 1);
    d.Add(2);
    EXPECT_EQ(d.GetCapacity(), 65535 + 1024);
    CIntArray e(65536, 1);
    e.Add(2);
    EXPECT_EQ(e.GetCapacity(), 65536 + 8192);
}

TEST(ValueArray, IndexErrorsNameClassMethodLastIndexAndIndex) {
    CIntArray a(3, 7);
    EXPECT_EQ(a.InsertAt(3, 8), 3);  // at the size it appends
    EXPECT_RAISES(a.InsertAt(5, 1), 0, "CIntArray::InsertAt : Invalid Index(3:5)");
    EXPECT_RAISES(a.InsertAt(-1, 1), 0, "CIntArray::InsertAt : Invalid Index(3:-1)");
    EXPECT_RAISES(a.RemoveAt(4), 0, "CIntArray::RemoveAt : Invalid Index(3:4)");
    EXPECT_RAISES(a.GetAt(4), 0, "CIntArray::GetAt : Invalid Index(3:4)");
    EXPECT_RAISES(a.SetAt(-2, 0), 0, "CIntArray::SetAt : Invalid Index(3:-2)");
    EXPECT_RAISES(a[4], 0, "CIntArray::operator[] : Invalid Index(3:4)");
    EXPECT_RAISES(CIntArray().GetAtLast(), 0, "CIntArray::GetAtLast : Empty");
    EXPECT_RAISES(CDblArray().GetAt(0), 0, "CDblArray::GetAt : Invalid Index(-1:0)");
    EXPECT_RAISES(CBoolArray().RemoveAt(0), 0, "CBoolArray::RemoveAt : Invalid Index(-1:0)");
    EXPECT_RAISES(CDateArray().GetAtLast(), 0, "CDateArray::GetAtLast : Empty");
}

TEST(ValueArray, ReprOfEachElementKind) {
    CIntArray a;
    EXPECT_STREQ(a.Repr(",", true), "<CIntArr: unset>");
    for (int v : {1, 2, 3})
        a.Add(v);
    EXPECT_STREQ(a.Repr(",", true), "CIntArr:(3/4),1,2,3");
    EXPECT_STREQ(a.Repr(",", false), "1,2,3");
    EXPECT_STREQ(CIntArray(1, INT_MIN).Repr(nullptr, true), "CIntArr:(1/1)-2147483648");

    CBoolArray b;
    b.Add(true);
    b.Add(false);
    EXPECT_STREQ(b.Repr(", ", true), "CBoolArr:(2/4), Y, N");
    CDblArray d(2, 1.5);
    d[1] = -0.25;
    EXPECT_STREQ(d.Repr("|", true), "CDblArr:(2/2)|1.500000|-0.250000");
    CDateArray t;
    t.Add(CDate(20240131));
    t.Add(CDate());
    EXPECT_STREQ(t.Repr(";", false), "20240131;");
}

TEST(ValueArray, InsertRemoveFindClearAndDeepCopies) {
    CIntArray a(1, 1);
    a.Add(3);
    EXPECT_EQ(a.InsertAt(1, 2), 1);
    EXPECT_STREQ(a.Repr(",", false), "1,2,3");
    EXPECT_EQ(a.RemoveAt(0), 0);
    EXPECT_STREQ(a.Repr(",", false), "2,3");
    EXPECT_EQ(a.Find(3), 1);

    CDblArray d(1, 0.1 + 0.2);
    EXPECT_EQ(d.Find(0.3), -1);  // exact comparison
    EXPECT_EQ(d.Find(0.1 + 0.2), 0);
    CDateArray t(2, CDate("20240101"));
    EXPECT_EQ(t.Find(CDate(20240101)), 0);

    d.Clear();
    EXPECT_EQ(d.GetSize(), 0);
    EXPECT_EQ(d.GetCapacity(), 1);
    EXPECT_EQ(CIntArray(-3, 1).GetCapacity(), 0);

    CIntArray b(a);
    b[0] = 9;
    CIntArray c;
    c = a;
    c.Add(5);
    a = a;
    EXPECT_STREQ(a.Repr(",", true), "CIntArr:(2/5),2,3");
    EXPECT_STREQ(b.Repr(",", true), "CIntArr:(2/5),9,3");
    EXPECT_STREQ(c.Repr(",", true), "CIntArr:(3/5),2,3,5");
    c = CIntArray();
    EXPECT_EQ(c.GetCapacity(), 0);
}

TEST(ValueArray, SortsAscending) {
    CIntArray a;
    for (int v : {3, INT_MIN, INT_MAX, -1, 0})
        a.Add(v);
    a.Sort();
    EXPECT_STREQ(a.Repr(",", false), "-2147483648,-1,0,3,2147483647");

    CDblArray d;
    for (double v : {2.0, double(NAN), -1.0, double(NAN), 0.5})
        d.Add(v);
    d.Sort();  // NaNs go last instead of breaking the sort
    EXPECT_EQ(d[0], -1.0);
    EXPECT_EQ(d[2], 2.0);
    EXPECT_TRUE(std::isnan(d[3]) && std::isnan(d[4]));

    CBoolArray b(2, true);
    b.Add(false);
    b.Sort();
    EXPECT_STREQ(b.Repr("", false), "NYY");
    CDateArray t;
    t.Add(CDate(20240102));
    t.Add(CDate());
    t.Add(CDate(19991231));
    t.Sort();
    EXPECT_STREQ(t.Repr(",", false), ",19991231,20240102");
}

TEST(ValueArray, FailedAllocationLeavesTheArrayAsItWas) {
    CIntArray a(4, 7);
    alloc_fault::FailArrayNew(1);
    EXPECT_ALLOC_FAILURE(a.Add(8), "dat_class/value_array", "int[iNewMax]");
    EXPECT_STREQ(a.Repr(",", true), "CIntArr:(4/4),7,7,7,7");

    alloc_fault::FailArrayNew(1);
    EXPECT_ALLOC_FAILURE(a.Reset(9, 1), "dat_class/value_array", "int[p_iCount]");
    CDateArray copy;
    alloc_fault::FailArrayNew(1);
    EXPECT_ALLOC_FAILURE(copy = CDateArray(3, CDate(1)), "dat_class/value_array", "CDate[p_iCount]");
    EXPECT_EQ(a.GetSize(), 4);

    CDblArray d;
    alloc_fault::FailArrayNew(1);
    EXPECT_RAISES(d.Add(1.0), 0, "CDblArray - Out of memory");
    alloc_fault::FailArrayNew(0);
    EXPECT_EQ(d.GetCapacity(), 0);
}

TEST(StrArray, SetSizeGrowsAndEmptiesSlots) {
    CStrArray s;
    std::string caps;
    for (int i = 0; i < 6; ++i) {
        s.Add("x");
        caps += std::to_string(s.GetCapacity()) + " ";
    }
    EXPECT_EQ(caps, "1 5 5 5 5 9 ");

    EXPECT_EQ(s.SetSize(-1), -1);
    EXPECT_EQ(s.SetSize(2), 0);
    EXPECT_EQ(s.SetSize(5), 0);
    EXPECT_STREQ(s.Join("|"), "x|x|||");
    EXPECT_EQ(s.SetSize(20), 0);
    EXPECT_EQ(s.GetCapacity(), 20);
    s.FreeExtra();
    EXPECT_EQ(s.GetCapacity(), 20);
    s.SetSize(3);
    s.FreeExtra();
    EXPECT_STREQ(s.Repr(",", true), "CStrArr:(3/3),x,x,");
    s.Clear();
    EXPECT_EQ(s.GetCapacity(), 3);
    s.FreeExtra();
    EXPECT_STREQ(s.Repr(",", true), "<CStrArr: unset>");
    EXPECT_STREQ(s.Join(","), "");
}

TEST(StrArray, LenientIndexesExceptOperatorBracket) {
    CStrArray s;
    s.Add("b");
    EXPECT_EQ(s.InsertAt(0, "a"), 0);
    EXPECT_EQ(s.InsertAt(99, "d"), 2);
    EXPECT_EQ(s.InsertAt(2, "c"), 2);
    EXPECT_EQ(s.InsertAt(-1, "z"), -1);
    EXPECT_STREQ(s.Join(""), "abcd");
    EXPECT_EQ(s.RemoveAt(-1), -1);
    EXPECT_EQ(s.RemoveAt(4), -1);
    EXPECT_EQ(s.RemoveAt(1), 1);
    EXPECT_STREQ(s.Join(""), "acd");
    EXPECT_STREQ(s.GetAt(99), "");
    s.SetAt(99, "q");
    s.SetAt(0, nullptr);
    EXPECT_STREQ(s.Join(","), ",c,d");
    EXPECT_EQ(s.Find("d"), 2);
    EXPECT_EQ(s.Find(nullptr), -1);
    EXPECT_STREQ(s.GetAtLast(), "d");
    s[1] = "C";
    EXPECT_STREQ(s[1], "C");
    EXPECT_RAISES(s[3], 0, "CStrArray::operator[] : Invalid index(2:3)");
    EXPECT_RAISES(CStrArray().GetAtLast(), 0, "CStrArray::GetAtLast : Empty");
}

TEST(StrArray, CopiesSortAndAllocationFailure) {
    CStrArray s;
    for (const char* t : {"b", "\xe9", "B", "a", ""})
        s.Add(t);
    CStrArray copy(s);
    s.Sort();
    EXPECT_STREQ(s.Join(","), ",B,a,b,\xe9");  // unsigned bytes
    EXPECT_STREQ(copy.Join(","), "b,\xe9,B,a,");
    copy = copy;
    copy = s;
    s[0] = "changed";
    EXPECT_STREQ(copy.Join(","), ",B,a,b,\xe9");

    CStrArray full(5);
    alloc_fault::FailArrayNew(1);
    EXPECT_ALLOC_FAILURE(full.Add("x"), "dat_class/str_array", "CString*[iNewMax]");
    EXPECT_STREQ(full.Repr(",", true), "CStrArr:(5/5),,,,,");
    CStrArray none;
    alloc_fault::FailArrayNew(1);
    EXPECT_ALLOC_FAILURE(none.Add("x"), "dat_class/str_array", "CString*[m_iBufferSize]");
    alloc_fault::FailArrayNew(0);
    EXPECT_EQ(none.GetCapacity(), 0);
}

TEST(PtrArray, GrowthAndIndexErrors) {
    CPtrArray a(false);
    for (int i = 0; i < 16; ++i)
        a.Add(nullptr);
    EXPECT_EQ(a.GetCapacity(), 16);
    a.Add(nullptr);
    EXPECT_EQ(a.GetCapacity(), 20);
    CPtrArray b(false);
    for (int i = 0; i < 17; ++i)
        b.InsertAt(0, nullptr);
    EXPECT_EQ(b.GetCapacity(), 32);
    EXPECT_EQ(b.InsertAt(-1, nullptr), -1);
    EXPECT_RAISES(b.SetAt(17, nullptr), 0, "CPtrArray::SetAt : Invalid Index(16:17)");
    EXPECT_RAISES(b.GetAt(-1), 0, "CPtrArray::GetAt : Invalid Index(16:-1)");
    EXPECT_RAISES(b[20], 0, "CPtrArray::operator[] : Invalid Index(16:20)");
    EXPECT_RAISES(CPtrArray().GetAtLast(), 0, "CPtrArray::GetAtLast : Empty");
    EXPECT_STREQ(CPtrArray(2, nullptr, false).Repr(",", true), "CPtrArr:(2/2),(nil),(nil)");
}

TEST(PtrArray, AdoptingArrayDeletesWhatItLetsGo) {
    {
        CPtrArray a;
        for (int i = 0; i < 4; ++i)
            a.Add(new CountedItem);
        a.RemoveAt(0);
        a.RemoveLast();
        a.SetAt(0, new CountedItem);
        EXPECT_EQ(CountedItem::s_iLive, 2);
        a.SetAt(0, a[0]);  // the same item again is kept
        EXPECT_EQ(CountedItem::s_iLive, 2);
        a.Clear();
        EXPECT_EQ(CountedItem::s_iLive, 0);
        a.Add(new CountedItem);
    }
    EXPECT_EQ(CountedItem::s_iLive, 0);

    CountedItem kept;
    {
        CPtrArray b(false);
        b.Add(&kept);
        b.RemoveAll();
        b.Add(&kept);
    }
    EXPECT_EQ(CountedItem::s_iLive, 1);
}

TEST(PtrArray, AnItemHeldTwiceIsDeletedOnce) {
    {
        CPtrArray a(3, new CountedItem, true);
        a.RemoveLast();
        a.RemoveAt(0);
        EXPECT_EQ(CountedItem::s_iLive, 1);
        a.Reset(4, a[0]);
        a.Add(a[0]);
        EXPECT_EQ(CountedItem::s_iLive, 1);
    }
    EXPECT_EQ(CountedItem::s_iLive, 0);
}

TEST(PtrArray, AssignmentGivesANonOwningCopy) {
    {
        CPtrArray owner;
        owner.Add(new CountedItem);
        owner.Add(new CountedItem);
        {
            CPtrArray view;
            view.Add(new CountedItem);
            view = owner;  // lets go of its own item
            EXPECT_EQ(CountedItem::s_iLive, 2);
            EXPECT_FALSE(view.GetAdoptFlag());
            EXPECT_EQ(view.GetAt(1), owner.GetAt(1));
        }
        EXPECT_EQ(CountedItem::s_iLive, 2);
        CPtrArray view(false);
        view = owner;
        owner = view;  // items the other holds survive
        EXPECT_EQ(CountedItem::s_iLive, 2);
        owner.SetAdoptFlag(true);
    }
    EXPECT_EQ(CountedItem::s_iLive, 0);
}
