// The trace hook: one record per call, whose packets and sizes are the bytes
// that crossed the wire, and failures traced with the step they reached.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "service_test_util.h"
#include "vorant/cvorant.hpp"
#include "vorant/vorant.h"

namespace {

// A copy of each record and its packets, taken inside the hook.
struct Traced {
    VorantTrace record;
    std::string request, answer;
};

void Collect(const VorantTrace* p_pTrace, void* p_pUser) {
    Traced t;
    t.record = *p_pTrace;
    if (p_pTrace->requestPacket)
        t.request.assign(reinterpret_cast<const char*>(p_pTrace->requestPacket), p_pTrace->requestPacketSize);
    if (p_pTrace->answerPacket)
        t.answer.assign(reinterpret_cast<const char*>(p_pTrace->answerPacket), p_pTrace->answerPacketSize);
    static_cast<std::vector<Traced>*>(p_pUser)->push_back(t);
}

class TraceHook : public ::testing::Test {
protected:
    void SetUp() override {
        Server().ClearRequests();
        CVorant::SetTraceHook(Collect, &traced_);
    }
    void TearDown() override {
        CVorant::SetTraceHook(nullptr, nullptr);
        Server().SetScript(nullptr);
    }
    int Call(const std::string& rawAnswer) {
        Server().SetScript([rawAnswer](const std::string&) { return rawAnswer; });
        MsgPtr in(NewExampleOrder());
        CMsg out;
        return CVorant::CallServiceByMsg(7, in.get(), &out, &err_);
    }

    std::vector<Traced> traced_;
    CVorantError err_;
};

TEST_F(TraceHook, RecordHoldsThePacketsAsTheyTravelled) {
    const std::string body = kExampleOrderXml;
    for (bool compressed : {false, true}) {
        traced_.clear();
        Server().ClearRequests();
        const std::string answer = AnswerPacket(body, compressed);
        ASSERT_EQ(Call(answer), 0) << err_.GetText().ToStr();
        ASSERT_EQ(traced_.size(), 1u);
        ASSERT_EQ(Server().Requests().size(), 1u);
        const VorantTrace& r = traced_[0].record;
        EXPECT_EQ(r.size, sizeof(VorantTrace));
        EXPECT_EQ(r.svcNum, 7);
        EXPECT_EQ(r.msgNum, 1001);
        EXPECT_EQ(r.answerMsgNum, 1001);
        EXPECT_STREQ(r.address, "127.0.0.1");
        EXPECT_EQ(r.port, Server().Port());
        EXPECT_EQ(r.result, 0);
        EXPECT_EQ(r.code, 0);

        EXPECT_EQ(traced_[0].request, Server().Requests()[0]);
        EXPECT_EQ(traced_[0].answer, answer);
        EXPECT_EQ(r.requestWireBytes, static_cast<long long>(traced_[0].request.size()) - 131);
        EXPECT_EQ(r.requestBodyBytes, static_cast<long long>(body.size()));
        EXPECT_EQ(r.requestCompressed, 0);
        EXPECT_EQ(r.answerWireBytes, static_cast<long long>(answer.size()) - 131);
        EXPECT_EQ(r.answerBodyBytes, static_cast<long long>(body.size()));
        EXPECT_EQ(r.answerCompressed, compressed ? 1 : 0);

        const long long phases[] = {r.serializeUs, r.resolveUs, r.connectUs, r.sendUs,
                                    r.firstByteUs, r.receiveUs, r.parseUs};
        long long sum = 0;
        for (long long phase : phases) {
            EXPECT_GE(phase, 0);
            sum += phase;
        }
        EXPECT_LE(sum, r.totalUs + 8);  // disjoint phases, each rounded down
    }
}

TEST_F(TraceHook, FailedCallsAreTracedWithTheStepReached) {
    ASSERT_EQ(Call(AnswerPacket("<msg no=\"10\" ver=\"\"><t6>501</t6><t7><![CDATA[denied]]></t7></msg>")), -4);
    ASSERT_EQ(traced_.size(), 1u);
    EXPECT_EQ(traced_[0].record.result, -4);
    EXPECT_EQ(traced_[0].record.code, 501);
    EXPECT_EQ(traced_[0].record.answerMsgNum, 10);

    StateOverride state;
    g_iServerPort = ClosedPort();
    ASSERT_EQ(Call(kExampleOrderXml), -3);
    ASSERT_EQ(traced_.size(), 2u);
    const VorantTrace& r = traced_[1].record;
    EXPECT_EQ(r.result, -3);
    EXPECT_EQ(r.code, -3);
    EXPECT_STREQ(r.address, "");
    EXPECT_GE(r.connectUs, 0);
    EXPECT_EQ(r.sendUs, -1);
    EXPECT_EQ(r.firstByteUs, -1);
    EXPECT_EQ(r.requestPacket, nullptr);
    EXPECT_EQ(r.answerPacket, nullptr);
    EXPECT_EQ(r.answerBodyBytes, -1);
    EXPECT_EQ(r.requestBodyBytes, static_cast<long long>(std::string(kExampleOrderXml).size()));
}

TEST_F(TraceHook, FlatInterfaceSetsAndClearsTheHook) {
    std::vector<Traced> flat;
    ASSERT_EQ(Vorant_SetTraceHook(Collect, &flat), 0);
    Server().SetScript(EchoAnswer);
    MsgPtr in(NewExampleOrder());
    CMsg out;
    VorantErrorInfo info;
    ASSERT_EQ(Vorant_CallService(7, in.get(), &out, &info), 0);
    ASSERT_EQ(Vorant_SetTraceHook(nullptr, nullptr), 0);
    ASSERT_EQ(Vorant_CallService(7, in.get(), &out, &info), 0);
    EXPECT_EQ(flat.size(), 1u);
    EXPECT_TRUE(traced_.empty());
}

}  // namespace
