// The message model: construction and definition, the value table, the
// message array, and ownership of the tree.
#include <gtest/gtest.h>

#include <memory>

#include "msg_test_support.h"

namespace {

using msgtest::Outcome;

class ModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        msgtest::DefineExample(m_Dic);
        msgtest::DefineMsg(m_Dic, 5, 10,
                           {{3, "a", "integer", false},
                            {13, "b", "integer", false},
                            {23, "c", "integer", false},
                            {4, "s", "m2001", false}});
    }

    CMsgDic m_Dic;
};

TEST_F(ModelTest, ConstructionAndInit) {
    CMsg five(5, 0, 0, &m_Dic);
    EXPECT_EQ(five.GetMsgNum(), 5);
    EXPECT_TRUE(five.IsEmpty());
    CMsg sub(5, 7, 3, &m_Dic);
    EXPECT_EQ(sub.GetMsgNum(), 7);
    EXPECT_EQ(sub.GetSelfNum(), 5);
    EXPECT_EQ(sub.GetSelfTagNum(), 3);

    EXPECT_EQ(Outcome([&] { CMsg bad(5, 10000, 0, &m_Dic); }), "-15|2.msgnum=10000");
    EXPECT_EQ(Outcome([&] { CMsg bad(10000, 0, 0, &m_Dic); }), "-15|1.msgnum=10000");
    EXPECT_EQ(Outcome([&] { CMsg bad(6, 0, 0, &m_Dic); }), "-19|3.msgnum=6");
    EXPECT_EQ(Outcome([&] { CMsg bad(5, 0, 0, nullptr); }), "-12|CMsg: Parameter is NULL");

    CMsg undefined(-5, 0, 0, &m_Dic);
    EXPECT_EQ(undefined.GetMsgNum(), 0);
    EXPECT_EQ(undefined.GetSelfNum(), 0);
    EXPECT_EQ(undefined.GetSelfTagNum(), 0);
    EXPECT_TRUE(undefined.IsEmpty());
    EXPECT_EQ(undefined.SetValue(3, 1), -19);
    EXPECT_STREQ(undefined.GetLastError(), "MSG_Error(-19) : Not defined msg in dictionary {msgnum=0, tagnum=3}");
    undefined.Init(5, 0, 0);
    EXPECT_EQ(undefined.SetValue(3, 1), 0);
}

TEST_F(ModelTest, NewMsgUsesTheProcessDictionaryAndNeverRaises) {
    CMsgDic* pDic = MA_GetMsgDic();
    if (!pDic->GetMsgInfo(9101))
        msgtest::DefineMsg(*pDic, 9101, 0, {{1, "x", "integer", false}});
    CMsg* pMsg = MA_NewMsg(9101);
    ASSERT_NE(pMsg, nullptr);
    EXPECT_EQ(pMsg->GetMsgNum(), 9101);
    EXPECT_EQ(pMsg->GetMsgDic(), pDic);
    MA_FreeMsg(pMsg);
    EXPECT_EQ(MA_NewMsg(10000), nullptr);
    EXPECT_EQ(MA_NewMsg(9102), nullptr);
    for (int n : {0, -5}) {
        pMsg = MA_NewMsg(n);
        ASSERT_NE(pMsg, nullptr);
        EXPECT_EQ(pMsg->GetMsgNum(), 0);
        EXPECT_TRUE(pMsg->IsEmpty());
        MA_FreeMsg(pMsg);
    }
    MA_FreeMsg(nullptr);
}

TEST_F(ModelTest, TagsSharingAChainAreEachFound) {
    // Bucket count 10: tags 3, 13 and 23 share one chain.
    CMsg msg(5, 0, 0, &m_Dic);
    EXPECT_EQ(msg.SetValue(23, 230), 0);
    EXPECT_EQ(msg.SetValue(3, 30), 0);
    EXPECT_EQ(msg.SetValue(13, 130), 0);
    int v = 0;
    EXPECT_EQ(msg.GetValue(3, &v), 0);
    EXPECT_EQ(v, 30);
    EXPECT_EQ(msg.GetValue(13, &v), 0);
    EXPECT_EQ(v, 130);
    EXPECT_EQ(msg.GetValue(23, &v), 0);
    EXPECT_EQ(v, 230);
}

TEST(MsgArray, GrowthIndexErrorsAndOwnership) {
    CMsgDic dic;
    msgtest::DefineExample(dic);
    CMsgArray arr(true);
    // Capacities 1, 5, 9, ..., 41 (steps of 4 while size / 8 is below 4), then 46.
    for (int i = 0; i < 42; ++i) {
        EXPECT_EQ(arr.Add(new CMsg(2001, 0, 0, &dic)), i);
        int expected = i == 41 ? 46 : 1 + (i + 3) / 4 * 4;
        EXPECT_EQ(arr.GetBufferSize(), expected) << i;
    }
    EXPECT_EQ(arr.Add(nullptr), -12);

    EXPECT_EQ(arr.GetAt(-1), nullptr);
    EXPECT_STREQ(arr.GetLastError(),
                 "MSG_Error(-27) : Out of index boundary in array {<CMsgArray::GetAt:(0 <= -1 < 42)>}");
    EXPECT_EQ(arr.GetAt(42), nullptr);
    EXPECT_STREQ(arr.GetLastError(),
                 "MSG_Error(-27) : Out of index boundary in array {<CMsgArray::GetAt:(0 <= 42 < 42)>}");
    EXPECT_EQ(arr.SetAt(42, nullptr), -27);
    EXPECT_STREQ(arr.GetLastError(),
                 "MSG_Error(-27) : Out of index boundary in array {<CMsgArray::SetAt:(0 <= 42 < 42)>}");

    // Replacing deletes the old message (ASan sees a leak otherwise);
    // storing the same pointer again must not delete it.
    CMsg* pKept = new CMsg(2001, 0, 0, &dic);
    EXPECT_EQ(arr.SetAt(0, pKept), 0);
    EXPECT_EQ(arr.SetAt(0, pKept), 0);
    EXPECT_EQ(arr.GetAt(0), pKept);

    // Shrinking an owning array releases what it drops; a negative size is ignored.
    arr.SetSize(2);
    EXPECT_EQ(arr.GetSize(), 2);
    arr.SetSize(-1);
    EXPECT_EQ(arr.GetSize(), 2);
    arr.SetSize(5);
    EXPECT_EQ(arr.GetAt(4), nullptr);

    // A non-owning array frees nothing it replaces or drops: arr still owns them.
    // SetBufferSize grows by the requested count beyond the capacity.
    CMsgArray small(false);
    small.Add(pKept);
    EXPECT_EQ(small.SetAt(0, arr.GetAt(1)), 0);
    small.SetBufferSize(10);
    EXPECT_EQ(small.GetBufferSize(), 11);
    small.SetBufferSize(5);
    EXPECT_EQ(small.GetBufferSize(), 11);
    small.SetSize(0);
    EXPECT_EQ(arr.GetAt(0), pKept);
}

TEST_F(ModelTest, TreeOwnershipAcrossReplaceReloadAndFree) {
    // Sanitizers check that every sub-message is freed exactly once.
    std::unique_ptr<CMsg> pRoot(msgtest::BuildExample(m_Dic));
    CMsg* pLine = pRoot->GetValue(6);
    ASSERT_NE(pLine, nullptr);
    EXPECT_EQ(pLine->GetParentMsg(), pRoot.get());
    EXPECT_EQ(pLine->GetMsgNum(), 1001);
    EXPECT_EQ(pLine->GetSelfNum(), 2001);

    // A single sub-message replaced: the earlier one is released.
    CMsg holder(5, 0, 0, &m_Dic);
    for (int i = 0; i < 3; ++i) {
        CMsg* pSub = new CMsg(2001, 0, 0, &m_Dic);
        pSub->SetValue(2, i);
        EXPECT_EQ(holder.SetValue(4, pSub), 0);
        EXPECT_EQ(holder.SetValue(4, pSub), 0);  // the one it holds: no change
    }
    int count = -1;
    EXPECT_EQ(holder.GetValue(4)->GetValue(2, &count), 0);
    EXPECT_EQ(count, 2);

    // A message that already belongs to a tree cannot get a second owner,
    // and a message cannot hold itself or its ancestor.
    EXPECT_EQ(holder.SetValue(4, pLine), -28);
    EXPECT_EQ(holder.GetValue(4)->SetValue(1, "z"), 0);
    EXPECT_EQ(pRoot->GetValue(6)->GetParentMsg(), pRoot.get());
    EXPECT_EQ(pLine->SetValue(6, pRoot.get()), -28);  // its own ancestor, refused before any other check
    CMsg lone(5, 0, 0, &m_Dic);
    lone.SetValue(3, 1);
    EXPECT_EQ(lone.SetValue(4, &lone), -28);

    // Reloading and re-initialising release everything held before.
    CStream xml;
    pRoot->ToXml(&xml, false, false, 1);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(pRoot->LoadXml(xml.GetData()), 0);
    pRoot->Init(2001, 0, 0);
    EXPECT_EQ(pRoot->GetArrSize(1), -1);

    // Replacing a date releases the earlier one.
    CMsg dated(1001, 0, 0, &m_Dic);
    dated.SetValue(5, CDate(20240101));
    dated.SetValue(5, CDate(20240102));
    CDate d;
    EXPECT_EQ(dated.GetValue(5, &d), 0);
    EXPECT_STREQ(d.ToStr(), "20240102");
}

}  // namespace
