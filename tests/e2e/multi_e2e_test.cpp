// Many calls on one thread through the multi handle, against the bundled
// server and small hostile peers: results and records as the blocking call
// gives them, done exactly once, cancellation, destruction, the hooks and
// descriptor exhaustion.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "e2e_env.h"
#include "transport/fd_leak_check.h"
#include "transport/loopback_listen.h"
#include "transport/never_accepting.h"
#include "transport/scripted_peer.h"
#include "vorant/cvorant.hpp"
#include "vorant/msg.hpp"
#include "vorant/multi.hpp"
#include "vorant/vorant.h"

namespace {

using Clock = std::chrono::steady_clock;

struct MsgFree {
    void operator()(CMsg* msg) const { MA_FreeMsg(msg); }
};
using MsgPtr = std::unique_ptr<CMsg, MsgFree>;

MsgPtr Request(int n) {
    MsgPtr msg(MA_NewMsg(1001));
    msg->SetValue(1, ("A-" + std::to_string(n)).c_str());
    msg->SetValue(2, n);
    return msg;
}

std::string Xml(CMsg* msg) {
    CStream stream;
    msg->ToXml(&stream, false, false, 1);
    return stream.GetData() ? stream.GetData() : "";
}

// What done said for one call; every call must be reported exactly once.
struct Outcome {
    int times = 0;
    int result = 1;
    int code = 0;
    std::string text;
    int refSvcNum = 0;
};

class Recorder {
public:
    CVorantMulti::DoneFn Done() {
        return [this](int id, int result, const CVorantError& err) {
            Outcome& o = outcomes_[id];
            ++o.times;
            o.result = result;
            o.code = err.GetCode();
            o.text = err.GetText().ToStr();
            o.refSvcNum = err.GetRefSvcNum();
        };
    }
    const Outcome& Of(int id) { return outcomes_[id]; }
    size_t Count() const { return outcomes_.size(); }
    bool AllOnce() const {
        for (const auto& o : outcomes_)
            if (o.second.times != 1)
                return false;
        return true;
    }

private:
    std::map<int, Outcome> outcomes_;
};

// No descriptor may stay open; the in-process server closes its side of a
// cancelled call only when it notices, so the count is given time to settle.
class MultiE2e : public ::testing::Test {
protected:
    void SetUp() override { fds_ = CountOpenFds(); }
    void TearDown() override {
        for (int i = 0; i < 300 && CountOpenFds() != fds_; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(CountOpenFds(), fds_) << "descriptor leaked";
    }

private:
    int fds_ = 0;
};

CCallOptions Bounds(int connectMs, int recvMs, int deadlineMs) {
    CCallOptions opts;
    opts.m_iConnectTimeoutMs = connectMs;
    opts.m_iRecvTimeoutMs = recvMs;
    opts.m_iDeadlineMs = deadlineMs;
    return opts;
}

TEST_F(MultiE2e, AnswersRejectsAndFailuresMatchTheBlockingCall) {
    NeverAcceptingListener listener;
    CCallOptions quick = Bounds(0, 300, 0);
    CCallOptions toListener = Bounds(300, 0, 0);
    toListener.m_szHost = "127.0.0.1";
    toListener.m_iPort = listener.Port();
    struct Case {
        int svc;
        const CCallOptions* opts;
    } cases[] = {
        {kEchoService, nullptr}, {kRejectService, nullptr}, {kHeaderOnlyService, &quick}, {kEchoService, &toListener}};

    CVorantMulti multi(2);  // fewer slots than calls: some wait their turn
    Recorder rec;
    MsgPtr in = Request(5);
    std::vector<std::unique_ptr<CMsg>> outs;
    std::vector<int> ids;
    for (const Case& c : cases) {
        outs.emplace_back(new CMsg());
        ids.push_back(multi.Start(c.svc, in.get(), outs.back().get(), c.opts, rec.Done()));
        ASSERT_GT(ids.back(), 0);
    }
    in.reset();  // the requests are written: the caller may free it at once
    EXPECT_EQ(multi.Run(), 0);
    ASSERT_TRUE(rec.AllOnce());

    MsgPtr again = Request(5);
    for (size_t i = 0; i < ids.size(); ++i) {
        CMsg out;
        CVorantError err;
        const int blocking = CVorant::CallServiceByMsg(cases[i].svc, again.get(), &out, cases[i].opts, &err);
        const Outcome& o = rec.Of(ids[i]);
        EXPECT_EQ(o.result, blocking) << i;
        EXPECT_EQ(o.code, err.GetCode()) << i;
        EXPECT_EQ(o.text, err.GetText().ToStr()) << i;
        EXPECT_EQ(o.refSvcNum, err.GetRefSvcNum()) << i;
        EXPECT_EQ(Xml(outs[i].get()), Xml(&out)) << i;
    }
    EXPECT_EQ(rec.Of(ids[0]).result, 0);
    EXPECT_EQ(rec.Of(ids[1]).result, -4);
    EXPECT_EQ(rec.Of(ids[3]).text, "Failed in connect()(-5)((connect to=0.3))");
}

TEST_F(MultiE2e, HostilePeersFailWithTheBlockingCallsTexts) {
    ScriptedPeer closesEarly([](PeerConnection& c) {
        c.ReadPacket();
        c.Send(std::string("QRB-XMP-V1.0") + "0000000200");
        c.Close();
    });
    ScriptedPeer dribbles([](PeerConnection& c) {
        c.ReadPacket();
        for (int i = 0; i < 40 && c.Send("Q"); ++i)
            usleep(50 * 1000);
    });
    ScriptedPeer resets([](PeerConnection& c) { c.Reset(); });
    CVorantMulti multi;
    Recorder rec;
    MsgPtr in = Request(1);
    CMsg out1, out2, out3;
    CCallOptions early = Bounds(0, 1000, 0), slow = Bounds(0, 1000, 400), reset = Bounds(0, 1000, 0);
    early.m_szHost = slow.m_szHost = reset.m_szHost = "127.0.0.1";
    early.m_iPort = closesEarly.Port();
    slow.m_iPort = dribbles.Port();
    reset.m_iPort = resets.Port();
    const int a = multi.Start(7, in.get(), &out1, &early, rec.Done());
    const int b = multi.Start(7, in.get(), &out2, &slow, rec.Done());
    const int c = multi.Start(7, in.get(), &out3, &reset, rec.Done());
    const Clock::time_point t0 = Clock::now();
    EXPECT_EQ(multi.Run(), 0);
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(2));
    ASSERT_TRUE(rec.AllOnce());
    EXPECT_EQ(rec.Of(a).result, -3);
    EXPECT_EQ(rec.Of(a).code, -5);
    EXPECT_EQ(rec.Of(a).text, "Socket closed(-9)(OK)");
    EXPECT_EQ(rec.Of(b).code, -5);
    EXPECT_EQ(rec.Of(b).text, "Socket timeout(-8)((recv deadline=0.4))");
    EXPECT_EQ(rec.Of(c).result, -3);
    EXPECT_NE(rec.Of(c).code, 0);
}

TEST_F(MultiE2e, CancelAndDestroyReportEveryCallOnceAndCloseEverything) {
    Recorder rec;
    MsgPtr in = Request(2);
    std::vector<std::unique_ptr<CMsg>> outs;
    std::vector<int> ids;
    {
        CVorantMulti multi(4);
        for (int i = 0; i < 10; ++i) {
            outs.emplace_back(new CMsg());
            ids.push_back(multi.Start(kSlowEchoService, in.get(), outs.back().get(), nullptr, rec.Done()));
        }
        multi.Poll(20);
        // One under way and one still waiting for a slot: done runs inside Cancel.
        EXPECT_EQ(multi.Cancel(ids[0]), 0);
        EXPECT_EQ(rec.Of(ids[0]).times, 1);
        EXPECT_EQ(multi.Cancel(ids[9]), 0);
        EXPECT_EQ(multi.Cancel(ids[9]), VORANT_MULTI_NOT_IN_FLIGHT);
        EXPECT_EQ(multi.Cancel(12345), VORANT_MULTI_NOT_IN_FLIGHT);
        EXPECT_EQ(multi.Pending(), 8);
    }  // the rest are cancelled by the destructor
    ASSERT_EQ(rec.Count(), 10u);
    ASSERT_TRUE(rec.AllOnce());
    for (int id : ids) {
        EXPECT_EQ(rec.Of(id).result, -3);
        EXPECT_EQ(rec.Of(id).code, VORANT_CALL_CANCELLED);
        EXPECT_EQ(rec.Of(id).text, "Call cancelled");
    }
}

TEST_F(MultiE2e, DoneMayStartAndCancelCalls) {
    CVorantMulti multi;
    MsgPtr in = Request(3);
    CMsg out1, out2, out3;
    std::vector<std::pair<int, int>> seen;  // id, result
    int slow = 0, chained = 0;
    auto record = [&](int id, int result, const CVorantError&) { seen.emplace_back(id, result); };
    slow = multi.Start(kSlowEchoService, in.get(), &out1, nullptr, record);
    multi.Start(kEchoService, in.get(), &out2, nullptr, [&](int id, int result, const CVorantError& err) {
        record(id, result, err);
        EXPECT_EQ(multi.Cancel(slow), 0);  // runs slow's done right here
        chained = multi.Start(kEchoService, in.get(), &out3, nullptr, record);
        EXPECT_GT(chained, 0);
    });
    EXPECT_EQ(multi.Run(), 0);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].second, 0);
    EXPECT_EQ(seen[1], std::make_pair(slow, -3));
    EXPECT_EQ(seen[2], std::make_pair(chained, 0));
    EXPECT_EQ(Xml(&out3), Xml(in.get()));
}

TEST_F(MultiE2e, RefusedStartsNeverCallDone) {
    CVorantMulti multi;
    MsgPtr in = Request(4);
    CMsg out;
    int calls = 0;
    auto done = [&](int, int, const CVorantError&) { ++calls; };
    CCallOptions bad;
    bad.m_iConnectTimeoutMs = -1;
    EXPECT_EQ(multi.Start(1, nullptr, &out, nullptr, done), VORANT_MULTI_BAD_ARGUMENT);
    EXPECT_EQ(multi.Start(1, in.get(), nullptr, nullptr, done), VORANT_MULTI_BAD_ARGUMENT);
    EXPECT_EQ(multi.Start(1, in.get(), &out, nullptr, nullptr), VORANT_MULTI_BAD_ARGUMENT);
    EXPECT_EQ(multi.Start(1, in.get(), &out, &bad, done), VORANT_MULTI_BAD_OPTIONS);
    bad.m_iConnectTimeoutMs = 0;
    bad.m_iPort = 70000;
    EXPECT_EQ(multi.Start(1, in.get(), &out, &bad, done), VORANT_MULTI_BAD_OPTIONS);
    EXPECT_EQ(multi.Poll(0), 0);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(Vorant_MultiStart(nullptr, 1, in.get(), &out, nullptr, nullptr, nullptr), VORANT_MULTI_BAD_ARGUMENT);
    EXPECT_EQ(Vorant_MultiCreate(-1), nullptr);
    Vorant_MultiDestroy(nullptr);
}

TEST_F(MultiE2e, DeadlinesFireOnTimeWhileCallsWaitForASlot) {
    // Two slots, both held by slow calls: the others' deadlines run while
    // they wait, and each fails close to its own time.
    CVorantMulti multi(2);
    Recorder rec;
    MsgPtr in = Request(6);
    std::vector<std::unique_ptr<CMsg>> outs;
    std::vector<int> ids;
    std::vector<Clock::time_point> ends(8);
    const Clock::time_point t0 = Clock::now();
    for (int i = 0; i < 8; ++i) {
        CCallOptions opts = Bounds(0, 0, 100 + 50 * i);
        outs.emplace_back(new CMsg());
        ids.push_back(multi.Start(kSlowEchoService, in.get(), outs.back().get(), &opts,
                                  [&, i](int, int result, const CVorantError& err) {
                                      ends[static_cast<size_t>(i)] = Clock::now();
                                      EXPECT_EQ(result, -3);
                                      EXPECT_NE(std::string(err.GetText()).find("deadline="), std::string::npos);
                                  }));
    }
    EXPECT_EQ(multi.Run(), 0);
    for (int i = 0; i < 8; ++i) {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(ends[static_cast<size_t>(i)] - t0).count();
        EXPECT_GE(ms, 100 + 50 * i - 1) << i;    // deadlines count in whole milliseconds
        EXPECT_LT(ms, 100 + 50 * i + 250) << i;  // long before the slow calls end
    }
}

// A loop of the test's own: poll(2) on what the socket hook asked for.
TEST_F(MultiE2e, HooksDriveCallsFromAnOutsideLoop) {
    VorantMulti* multi = Vorant_MultiCreate(0);
    ASSERT_NE(multi, nullptr);
    struct Loop {
        std::map<int, int> watched;
        long timerMs = -1;
        int dones = 0;
        int results = 0;
    } loop;
    ASSERT_EQ(Vorant_MultiSetHooks(
                  multi,
                  [](void* u, int fd, int what) {
                      Loop& l = *static_cast<Loop*>(u);
                      if (what == VORANT_POLL_REMOVE)
                          l.watched.erase(fd);
                      else
                          l.watched[fd] = what;
                  },
                  [](void* u, long ms) { static_cast<Loop*>(u)->timerMs = ms; }, &loop),
              0);
    EXPECT_EQ(Vorant_MultiPoll(multi, 0), VORANT_MULTI_BAD_ARGUMENT);
    MsgPtr in = Request(8);
    CMsg outs[3];
    auto done = [](void* u, int, int result, const VorantErrorInfo*) {
        ++static_cast<Loop*>(u)->dones;
        static_cast<Loop*>(u)->results += result;
    };
    for (CMsg& out : outs)
        ASSERT_GT(Vorant_MultiStart(multi, kEchoService, in.get(), &out, nullptr, done, &loop), 0);
    int pending = 3;
    for (int round = 0; pending > 0 && round < 1000; ++round) {
        std::vector<pollfd> pfds;
        for (const auto& w : loop.watched)
            pfds.push_back({w.first,
                            static_cast<short>(((w.second & VORANT_POLL_IN) ? POLLIN : 0) |
                                               ((w.second & VORANT_POLL_OUT) ? POLLOUT : 0)),
                            0});
        const int n = poll(pfds.data(), pfds.size(), loop.timerMs < 0 ? 100 : static_cast<int>(loop.timerMs));
        if (n == 0) {
            pending = Vorant_MultiSocketAction(multi, VORANT_SOCKET_TIMEOUT, 0);
            continue;
        }
        for (const pollfd& p : pfds)
            if (p.revents != 0)
                pending = Vorant_MultiSocketAction(
                    multi, p.fd,
                    ((p.revents & POLLIN) ? VORANT_POLL_IN : 0) | ((p.revents & POLLOUT) ? VORANT_POLL_OUT : 0));
    }
    EXPECT_EQ(pending, 0);
    EXPECT_EQ(loop.dones, 3);
    EXPECT_EQ(loop.results, 0);
    EXPECT_TRUE(loop.watched.empty());
    for (CMsg& out : outs)
        EXPECT_EQ(Xml(&out), Xml(in.get()));
    Vorant_MultiDestroy(multi);
}

TEST_F(MultiE2e, RunningOutOfDescriptorsFailsOnlyTheCallsThatNeedOne) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // The child fills every descriptor it may have and frees two, so two
        // calls get a socket and the others find none. The fillers go before
        // the answers come: the sanitizers' checks need descriptors too.
        CVorantMulti multi;
        MsgPtr in = Request(9);
        CMsg outs[8];
        int highest = 0;
        for (int fd = 0; fd < 4096; ++fd)
            if (fcntl(fd, F_GETFD) != -1)
                highest = fd;
        rlimit lim = {static_cast<rlim_t>(highest + 17), static_cast<rlim_t>(highest + 17)};
        if (setrlimit(RLIMIT_NOFILE, &lim) != 0)
            _exit(2);
        std::vector<int> fillers;
        fillers.reserve(16);
        for (int fd = dup(0); fd >= 0; fd = dup(0))
            fillers.push_back(fd);
        if (errno != EMFILE || fillers.size() < 2)
            _exit(3);
        close(fillers[0]);
        close(fillers[1]);
        int ok = 0, refused = 0;
        for (CMsg& out : outs)
            multi.Start(kEchoService, in.get(), &out, nullptr, [&](int, int result, const CVorantError& err) {
                if (result == 0)
                    ++ok;
                else if (std::string(err.GetText()).find("Too many open files") != std::string::npos)
                    ++refused;
            });
        for (size_t i = 2; i < fillers.size(); ++i)
            close(fillers[i]);
        multi.Run();
        _exit(ok == 2 && refused == 6 ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// 10 000 calls to a peer that never answers, ended three ways: cancelled,
// timed out by their deadline, or destroyed with the handle. Every done runs
// once, no descriptor stays open and the heap is back where it started.
TEST_F(MultiE2e, TenThousandCallsEndedInFlightLeaveNothingBehind) {
    int port = 0;
    const int listener = ListenOnLoopback("127.0.0.1", 4096, &port);
    ASSERT_GE(listener, 0);
    MsgPtr in = Request(11);
    const size_t heapBefore = mallinfo2().uordblks;
    std::vector<CMsg> outs(10000);
    std::vector<int> times(outs.size(), 0);
    {
        CVorantMulti multi(1000);
        CCallOptions opts;
        opts.m_szHost = "127.0.0.1";
        opts.m_iPort = port;
        std::vector<int> ids;
        for (size_t i = 0; i < outs.size(); ++i) {
            opts.m_iDeadlineMs = i % 3 == 1 ? 50 : 0;
            ids.push_back(
                multi.Start(7, in.get(), &outs[i], &opts, [&times, i](int, int, const CVorantError&) { ++times[i]; }));
        }
        for (int round = 0; round < 20; ++round)
            multi.Poll(10);
        for (size_t i = 0; i < ids.size(); i += 3)
            multi.Cancel(ids[i]);
        while (multi.Pending() > static_cast<int>(outs.size() / 3) + 1)
            ASSERT_GE(multi.Poll(100), 0);
    }
    close(listener);
    for (size_t i = 0; i < times.size(); ++i)
        ASSERT_EQ(times[i], 1) << i;
    outs.clear();
    outs.shrink_to_fit();
    // The answer messages were the test's; what the engine held is freed.
    EXPECT_LT(mallinfo2().uordblks, heapBefore + 64 * 1024);
}

// The server of one call: blocking and engine calls alike, and a caller
// built against the first 20-byte options record never sends its host.
TEST_F(MultiE2e, OneCallsServerOverridesTheConfiguredOne) {
    int port = 0;
    const int listener = ListenOnLoopback("127.0.0.1", 1, &port);
    close(listener);  // nothing listens there any more
    MsgPtr in = Request(12);
    CMsg out;
    VorantCallOptions flat = {};
    flat.size = sizeof flat;
    flat.host = "127.0.0.1";
    flat.port = port;
    VorantErrorInfo info;
    EXPECT_EQ(Vorant_CallServiceEx(kEchoService, in.get(), &out, &flat, &info), -3);
    EXPECT_EQ(info.code, -3);
    EXPECT_STREQ(info.text, "Failed in connect()(-5)((connect))");
    flat.size = VORANT_CALL_OPTIONS_V1_SIZE;
    EXPECT_EQ(Vorant_CallServiceEx(kEchoService, in.get(), &out, &flat, &info), 0) << info.text;
    flat.size = sizeof flat;
    flat.port = 65536;
    EXPECT_EQ(Vorant_CallServiceEx(kEchoService, in.get(), &out, &flat, &info), -2);
    EXPECT_STREQ(info.text, "Invalid call options(port=65536)");

    CVorantMulti multi(1);  // the second call waits: its host is read after Start
    Recorder rec;
    CCallOptions opts;
    char host[] = "[127.0.0.1]";
    opts.m_szHost = host;
    opts.m_iPort = port;
    CMsg first;
    multi.Start(kEchoService, in.get(), &first, nullptr, rec.Done());
    const int id = multi.Start(kEchoService, in.get(), &out, &opts, rec.Done());
    std::memset(host, 'x', sizeof host - 1);  // the caller's text may go at once
    opts.m_szHost = "";                       // empty: the configured server
    opts.m_iPort = 0;
    const int configured = multi.Start(kEchoService, in.get(), &out, &opts, rec.Done());
    EXPECT_EQ(multi.Run(), 0);
    EXPECT_EQ(rec.Of(id).text, "Failed in connect()(-5)((connect))");
    EXPECT_EQ(rec.Of(configured).result, 0);
}

// The trace hook sees engine calls as it sees blocking ones, with the time a
// call waited for a slot at the end of the record.
TEST_F(MultiE2e, EngineCallsAreTracedLikeBlockingOnes) {
    struct Seen {
        VorantTrace record;
        std::string request, answer;
    };
    static std::vector<Seen> seen;
    seen.clear();
    CVorant::SetTraceHook(
        [](const VorantTrace* t, void*) {
            Seen s{*t, std::string(reinterpret_cast<const char*>(t->requestPacket), t->requestPacketSize),
                   std::string(reinterpret_cast<const char*>(t->answerPacket), t->answerPacketSize)};
            seen.push_back(s);
        },
        nullptr);
    MsgPtr in = Request(13);
    CMsg out1, out2, out3;
    CVorantError err;
    ASSERT_EQ(CVorant::CallServiceByMsg(kEchoService, in.get(), &out1, &err), 0);
    CVorantMulti multi(1);  // the second engine call waits for the first
    multi.Start(kSlowEchoService, in.get(), &out2, nullptr, [](int, int, const CVorantError&) {});
    multi.Start(kEchoService, in.get(), &out3, nullptr, [](int, int, const CVorantError&) {});
    EXPECT_EQ(multi.Run(), 0);
    CVorant::SetTraceHook(nullptr, nullptr);
    ASSERT_EQ(seen.size(), 3u);
    const VorantTrace& blocking = seen[0].record;
    const VorantTrace& queued = seen[2].record;
    EXPECT_EQ(blocking.queueUs, 0);
    EXPECT_GT(queued.queueUs, 900000);  // behind a call of a second
    EXPECT_LT(queued.totalUs - queued.queueUs, 900000);
    EXPECT_EQ(queued.size, sizeof(VorantTrace));
    EXPECT_EQ(queued.result, 0);
    EXPECT_EQ(queued.svcNum, kEchoService);
    EXPECT_STREQ(queued.address, blocking.address);
    EXPECT_EQ(queued.requestWireBytes, blocking.requestWireBytes);
    EXPECT_EQ(queued.answerBodyBytes, blocking.answerBodyBytes);
    EXPECT_EQ(queued.sysErrno, 0);
    // The packets as they travelled: only the time stamp (and so the
    // checksum digits) may differ.
    const std::string& a = seen[2].request;
    const std::string& b = seen[0].request;
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(a.substr(0, 40), b.substr(0, 40));
    EXPECT_EQ(a.substr(55, a.size() - 58), b.substr(55, b.size() - 58));
    EXPECT_EQ(seen[2].answer.size(), seen[0].answer.size());
    for (const long long phase :
         {queued.connectUs, queued.sendUs, queued.firstByteUs, queued.receiveUs, queued.parseUs})
        EXPECT_GE(phase, 0);
}

TEST_F(MultiE2e, WakeupEndsAPollFromAnotherThread) {
    VorantMulti* multi = Vorant_MultiCreate(0);
    MsgPtr in = Request(10);
    CMsg out;
    ASSERT_GT(
        Vorant_MultiStart(
            multi, kSlowEchoService, in.get(), &out, nullptr, [](void*, int, int, const VorantErrorInfo*) {}, nullptr),
        0);
    std::thread waker([multi] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        Vorant_MultiWakeup(multi);
    });
    const Clock::time_point t0 = Clock::now();
    EXPECT_EQ(Vorant_MultiPoll(multi, 5000), 1);
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(800));
    waker.join();
    Vorant_MultiDestroy(multi);
}

}  // namespace
