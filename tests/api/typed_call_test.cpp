// CVorant::CallService with application-defined typed messages.
#include <gtest/gtest.h>

#include <string>

#include "service_test_util.h"
#include "vorant/cvorant.hpp"

namespace {

// A typed view of message 1001 holding only acct and qty.
class TestOrder : public CMsgBase {
public:
    TestOrder() {
        m_iMsgNum = 1001;
        m_strName = "Order";
    }
    int LoadMsg(CMsg* msg) override {
        if (throwOnLoad)
            throw CException(-11, "load threw");
        if (failLoad) {
            m_strLastError = "qty missing";
            return -1;
        }
        CString text;
        msg->GetValue(1, &text);
        acct = text.ToStr();
        return msg->GetValue(2, &qty);
    }
    CMsg* MakeMsg() override {
        if (failMake) {
            m_strLastError = "acct is required";
            return nullptr;
        }
        CMsg* msg = MA_NewMsg(1001);
        msg->SetValue(1, acct.c_str());
        msg->SetValue(2, qty);
        return msg;
    }
    void Init() override {
        acct.clear();
        qty = 0;
    }

    std::string acct;
    int qty = 0;
    bool failMake = false, failLoad = false, throwOnLoad = false;
};

class TypedCall : public ::testing::Test {
protected:
    void SetUp() override { Server().SetScript(EchoAnswer); }
    void TearDown() override { Server().SetScript(nullptr); }
    CVorantError err_;
};

TEST_F(TypedCall, RoundTrip) {
    TestOrder in, out;
    in.acct = "A-17";
    in.qty = 5;
    ASSERT_EQ(CVorant::CallService(7, &in, &out, &err_), 0) << err_.GetText().ToStr();
    EXPECT_EQ(out.acct, "A-17");
    EXPECT_EQ(out.qty, 5);
    EXPECT_STREQ(out.Repr(), "M_Order(CMsg1001)");

    // The call's own bounds reach the connection.
    CCallOptions opts;
    opts.m_iMaxAnswer = 128;
    EXPECT_EQ(CVorant::CallService(7, &in, &out, &opts, &err_), -4);
    EXPECT_EQ(err_.GetCode(), -5);
    EXPECT_EQ(std::string(err_.GetText()).rfind("Packet is corrupted(-17)(packet length ", 0), 0u);
}

TEST_F(TypedCall, Failures) {
    TestOrder in, out;
    in.acct = "A-17";
    EXPECT_EQ(CVorant::CallService(7, &in, &out, nullptr), -12);
    EXPECT_EQ(CVorant::CallService(7, nullptr, &out, &err_), -1);
    ExpectError(err_, -12, "Input Msg(p_pIn) is NULL", 0);
    EXPECT_EQ(CVorant::CallService(7, &in, nullptr, &err_), -1);
    ExpectError(err_, -12, "Output Msg(p_pOut) is NULL", 0);
    {
        StateOverride state;
        g_bInitialized.store(false);
        EXPECT_EQ(CVorant::CallService(7, &in, &out, &err_), -1);
        ExpectError(err_, -35, "call CVorant::Initialize() first", 7);
    }

    in.failMake = true;
    EXPECT_EQ(CVorant::CallService(7, &in, &out, &err_), -2);
    ExpectError(err_, -1, "Input Msg is corrupted(acct is required)", 7);
    in.failMake = false;

    out.failLoad = true;
    EXPECT_EQ(CVorant::CallService(7, &in, &out, &err_), -5);
    ExpectError(err_, -1, "qty missing", 7);
    out.failLoad = false;

    Server().SetScript([](const std::string&) {
        return AnswerPacket("<msg no=\"10\" ver=\"\"><t6>501</t6><t7><![CDATA[denied]]></t7><t8>7</t8></msg>");
    });
    EXPECT_EQ(CVorant::CallService(7, &in, &out, &err_), -4);
    ExpectError(err_, 501, "denied", 7);

    StateOverride state;
    g_iServerPort = ClosedPort();
    EXPECT_EQ(CVorant::CallService(7, &in, &out, &err_), -4);
    ExpectError(err_, -3, "Failed in connect()(-5)((connect))", -1);
}

TEST_F(TypedCall, ExceptionsPassThroughAndTheTemporariesAreFreed) {
    TestOrder in, out;
    in.acct = "A-17";
    out.throwOnLoad = true;
    try {
        CVorant::CallService(7, &in, &out, &err_);
        FAIL() << "no exception";
    } catch (const CException& e) {
        EXPECT_EQ(e.GetCode(), -11);
        EXPECT_STREQ(e.GetText(), "load threw");
    }
}

// A typed array of orders, to show the base's texts travel with copies.
class TestOrders : public CMsgBase_Array {
public:
    explicit TestOrders(const char* reason) {
        m_strName = "Orders";
        m_strLastError = reason;
    }
    int GetSize() const override { return 0; }
    CMsgBase* GetAt(int) override { return nullptr; }
    int Add(CMsgBase*) override { return -1; }
    int SetAt(int, CMsgBase*) override { return -1; }
    int RemoveAt(int) override { return -1; }
    void RemoveAll() override {}
    int LoadMsgArray(CMsgArray*) override { return -1; }
    int MakeMsgArray(CMsg*, int) override { return -1; }
    void SetSize(int) override {}
};

TEST(TypedArray, CopiesCarryTheirOwnTexts) {
    TestOrders first("first reason");
    TestOrders copy(first);
    TestOrders assigned("other");
    assigned = first;
    first = TestOrders("changed");
    EXPECT_STREQ(copy.GetLastError(), "first reason");
    EXPECT_STREQ(assigned.GetLastError(), "first reason");
    EXPECT_STREQ(first.GetLastError(), "changed");
}

}  // namespace
