// vorant-call for operators: the dictionary listing, JSON in and out, the
// verbose trace, the open-model load; and its histogram.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "e2e_env.h"
#include "histogram.h"

namespace {

using nlohmann::json;

// Runs vorant-call with args; standard output and error apart.
ProcessRun Tool(const std::string& args) { return RunCommand(std::string(VORANT_CALL) + " " + args, true); }

std::string WriteFile(const std::string& name, const std::string& text) {
    const std::string path = ScratchDir() + "/" + name;
    std::ofstream(path) << text;
    return path;
}

std::string Call(const std::string& args) { return "-c " + ConfigPath() + " " + args; }

TEST(CallTool, ListAndDescribeNeedOnlyTheDictionary) {
    std::string outputs[2];
    int i = 0;
    for (const char* dic : {"msg_dic.xml", "msg_dic.exml"}) {
        const std::string config = WriteFile(std::string("dic-only-") + dic + ".conf",
                                             std::string("msg_dic=" VORANT_SOURCE_DIR "/examples/") + dic +
                                                 "\nkey_file=/nonexistent/user.key\nserver=127.0.0.1 1\n");
        ProcessRun list = Tool("-c " + config + " --list");
        ASSERT_EQ(list.status, 0) << list.err;
        EXPECT_TRUE(Contains(list.out, " 1001  AccountRequest")) << list.out;
        ProcessRun all = Tool("-c " + config + " --describe-all AccountRequest");
        ASSERT_EQ(all.status, 0) << all.err;
        EXPECT_TRUE(Contains(all.out, "message 1001 AccountRequest, version '1.0', 7 tags")) << all.out;
        EXPECT_TRUE(Contains(all.out, "lines                m2001    Y     2001 AccountLine")) << all.out;
        EXPECT_TRUE(Contains(all.out, "message 2001 AccountLine")) << all.out;
        ProcessRun one = Tool("-c " + config + " --describe 1001");
        EXPECT_FALSE(Contains(one.out, "message 2001")) << one.out;
        outputs[i++] = list.out + all.out;
        EXPECT_EQ(Tool("-c " + config + " --describe 4242").status, 2);
    }
    EXPECT_EQ(outputs[0], outputs[1]);
}

TEST(CallTool, JsonAnswersAndRequestsRoundTrip) {
    ProcessRun run = Tool(Call("-s 100 " VORANT_SOURCE_DIR "/examples/order.xml --json"));
    ASSERT_EQ(run.status, 0) << run.err;
    const json answer = json::parse(run.out);
    EXPECT_EQ(answer["msg"], 1001);
    EXPECT_EQ(answer["name"], "AccountRequest");
    const json& f = answer["fields"];
    EXPECT_EQ(f["acct"], "A-17");
    EXPECT_TRUE(f["qty"].is_number_integer());
    EXPECT_EQ(f["qty"], 5);
    EXPECT_EQ(f["price"], 1.25);
    EXPECT_EQ(f["urgent"], true);
    EXPECT_EQ(f["due"], "20240131");
    EXPECT_EQ(f["lines"], json::parse(R"([{"code":"X1","count":2},{"code":"X2"}])"));
    EXPECT_EQ(f["memo"], json::parse(R"(["a","b"])"));

    ProcessRun again = Tool(Call("-s 100 " + WriteFile("answer.json", run.out) + " --json"));
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, run.out);
    ProcessRun piped = Tool(Call("-s 100 - --input json --json < " + ScratchDir() + "/answer.json"));
    EXPECT_EQ(piped.out, run.out);

    ProcessRun rejected = Tool(Call("-s 300 --msg 1001 --json"));
    EXPECT_EQ(rejected.status, 1);
    EXPECT_EQ(json::parse(rejected.out)["error"]["code"], 501) << rejected.out;
}

TEST(CallTool, VerboseShowsTheCallFromTheTraceHook) {
    ProcessRun run = Tool(Call("-s 100 --msg 1001 --set acct=V -v --trace-packet"));
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* part : {"* connected to 127.0.0.1 port ", "> SvcNum        @22  [0100]",
                             "> Compressed    @88  [N]", "< MsgNum        @26  [1001]", "> body ",
                             "* timings: ", "* result 0, code 0, answer message 1001", "|QRB-XMP-V1.0"})
        EXPECT_TRUE(Contains(run.err, part)) << part << "\n" << run.err;
    EXPECT_TRUE(Contains(run.out, "(acct) V")) << run.out;
}

TEST(CallTool, OpenModelShowsQueueingAtARateTheServerCannotServe) {
    // One call at a time to a server that takes a second: the second call,
    // scheduled at 0.1 s, starts only at 1 s, so its latency is near 1.9 s
    // where a closed loop would report 1 s.
    const std::string svg = ScratchDir() + "/run.svg";
    ProcessRun run = Tool(Call("-s " + std::to_string(kSlowEchoService) +
                               " --msg 1001 --rate 10 --duration 1.5 --max-in-flight 1 --json --report " + svg));
    EXPECT_EQ(run.status, 1) << run.err;  // not every scheduled call was made
    const json summary = json::parse(run.out);
    EXPECT_EQ(summary["mode"], "open");
    EXPECT_EQ(summary["scheduled"], 15);
    EXPECT_GE(summary["started"].get<int>(), 2);
    EXPECT_EQ(summary["answered"], summary["started"]);
    EXPECT_EQ(summary["failed"], 0);
    EXPECT_GE(summary["latencyMs"]["p50"].get<double>(), 990.0);
    EXPECT_GE(summary["latencyMs"]["max"].get<double>(), 1700.0);
    std::ifstream file(svg);
    const std::string picture((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(Contains(picture, "<svg")) << picture.substr(0, 200);
    EXPECT_TRUE(Contains(picture, "<polyline")) << picture.substr(0, 200);

    ProcessRun closed = Tool(Call("-s 300 --msg 1001 --repeat 6 --threads 2 --json"));
    EXPECT_EQ(closed.status, 1);
    const json c = json::parse(closed.out);
    EXPECT_EQ(c["mode"], "closed");
    EXPECT_EQ(c["failed"], 6);
    EXPECT_EQ(c["errors"]["501"], 6);
}

TEST(CallToolHistogram, PercentilesWithinTheRelativeError) {
    LatencyHistogram h(7);
    for (int64_t v = 1; v <= 100000; ++v)
        h.Record(v * 37);  // 37 us .. 3.7 s
    EXPECT_EQ(h.Count(), 100000u);
    EXPECT_EQ(h.Max(), 3700000);
    EXPECT_EQ(h.Min(), 37);
    for (double p : {1.0, 50.0, 90.0, 99.0, 99.9}) {
        const double exact = p / 100.0 * 100000 * 37;
        EXPECT_NEAR(static_cast<double>(h.Percentile(p)), exact, exact / 128.0) << p;
    }
    EXPECT_EQ(h.Percentile(100), 3700000);
    LatencyHistogram small(7);
    for (int64_t v : {0, 5, 127})
        small.Record(v);
    EXPECT_EQ(small.Percentile(50), 5);  // exact below 128
    small.Add(h);
    EXPECT_EQ(small.Count(), 100003u);
    EXPECT_EQ(small.Min(), 0);
}

}  // namespace
