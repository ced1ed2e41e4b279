// vorant-call: calls one service of a message server from the command line,
// load-tests it, or tells what the dictionary defines.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "api/init_settings.h"
#include "call_output.h"
#include "dictionary_view.h"
#include "json_message.h"
#include "load_runner.h"
#include "msg/msg_info.h"
#include "request_builder.h"
#include "svg_report.h"
#include "trace_output.h"
#include "vorant/vorant.hpp"

namespace {

// Exit statuses.
const int kAnswered = 0;
const int kCallFailed = 1;
const int kUsage = 2;
const int kInitFailed = 3;
const int kInterrupted = 130;

const char kHelp[] =
    "usage: vorant-call -c CONFIG -s SERVICE REQUEST.xml|REQUEST.json\n"
    "       vorant-call -c CONFIG -s SERVICE --msg MSG [--set NAME=VALUE]...\n"
    "       vorant-call -c CONFIG --list | --describe MSG | --describe-all MSG\n"
    "\n"
    "Sends one request to a numbered service of the message server named in the\n"
    "configuration and prints the answer, or the error record (code, text and\n"
    "reference service number) when the call fails or the server rejects it.\n"
    "\n"
    "options:\n"
    "  -c, --config FILE    configuration file (keys msg_dic, key_file, server,\n"
    "                       timeout); relative paths in it are taken from the\n"
    "                       current directory\n"
    "  -s, --service N      service number to call\n"
    "  REQUEST.xml          the request as message XML, in the numbered form\n"
    "                       (<t1>..</t1>) or the named form (type=\"name\"); '-'\n"
    "                       reads it from standard input\n"
    "  REQUEST.json         the request as JSON, as --json prints a message:\n"
    "                       {\"msg\": 1001, \"fields\": {\"acct\": \"A-17\", ...}}\n"
    "  --input xml|json     how to read the request (default: json for a\n"
    "                       *.json file, else xml)\n"
    "  --msg MSG            build the request from the command line instead: a\n"
    "                       message of number or name MSG, filled by --set\n"
    "  --set NAME=VALUE     one field of the --msg request, checked against the\n"
    "                       dictionary: integer and double need numbers, bool\n"
    "                       true/false/1/0, date a calendar date yyyymmdd;\n"
    "                       repeating a name fills an array tag; NAME may be a\n"
    "                       path into sub-messages: lines.code=X1, or\n"
    "                       lines[1].code=X2 for the second item of an array\n"
    "                       (blanks around typed values are dropped)\n"
    "  --xml                print the answer as named-form message XML instead\n"
    "                       of the field listing\n"
    "  --json               print the answer (or the error, or a load summary)\n"
    "                       as JSON\n"
    "  -v, --verbose        tell on standard error what the call did: the\n"
    "                       address connected, both packet headers field by\n"
    "                       field, body sizes and compression, phase timings\n"
    "  --trace-packet       with -v, also a hex dump of both packets\n"
    "  --connect-timeout S  give up connecting after S seconds (decimals allowed;\n"
    "                       default: the configuration's connect_timeout, 10)\n"
    "  --deadline S         give up the whole call after S seconds, however the\n"
    "                       answer trickles in (default: the configuration's\n"
    "                       deadline, none)\n"
    "\n"
    "dictionary (needs only the configuration's msg_dic, not the server):\n"
    "  --list               every message: number, name, version, tag count\n"
    "  --describe MSG       the tags of message MSG (number or name): number,\n"
    "                       name, type, array, sub-message\n"
    "  --describe-all MSG   the same, then every sub-message it reaches\n"
    "\n"
    "load:\n"
    "  --repeat N           closed loop: make N calls, each one started when an\n"
    "                       earlier one has its answer\n"
    "  --threads T          keep T of the --repeat calls going at once (default\n"
    "                       1); all of them run on one thread\n"
    "  --rate R             open model: start R calls per second on a fixed\n"
    "                       schedule; each latency counts from the call's\n"
    "                       scheduled start, so queueing shows\n"
    "  --duration S         how long the --rate schedule runs (seconds)\n"
    "  --max-in-flight M    calls under way at once in the open model (default\n"
    "                       64, at most what the descriptor limit allows); calls\n"
    "                       wait when all are busy\n"
    "  --report FILE.svg    also write a picture of the run: latency over time\n"
    "                       (p50, p99 per second) and by percentile\n"
    "  A load run prints calls, throughput, latency p50, p90, p99, p99.9 and max\n"
    "  and the failures by error code (--json: as JSON); a progress line shows\n"
    "  on a terminal; Ctrl-C ends the run and prints the summary so far.\n"
    "\n"
    "  -h, --help           this text\n"
    "\n"
    "exit status: 0 an answer arrived (load: every call was answered), 1 the\n"
    "call failed or was rejected, 2 bad usage or request (nothing was sent),\n"
    "3 the library could not be initialised, 130 a load run was interrupted.\n"
    "\n"
    "examples:\n"
    "  vorant-call -c examples/vorant.conf -s 100 examples/order.xml -v\n"
    "  vorant-call -c examples/vorant.conf -s 100 --msg 1001 --set acct=A-17 \\\n"
    "      --set qty=5 --set lines.code=X1 --set lines[1].code=X2 --json\n"
    "  vorant-call -c examples/vorant.conf --describe-all AccountRequest\n"
    "  vorant-call -c examples/vorant.conf -s 100 examples/order.xml \\\n"
    "      --rate 2000 --duration 10 --report run.svg\n";

struct Options {
    std::string config;
    int service = -1;
    std::string requestFile;
    std::string input;  // "xml", "json" or "" (by the file's name)
    std::string msg;
    std::vector<std::string> sets;
    bool xml = false;
    bool json = false;
    bool verbose = false;
    bool tracePacket = false;
    bool list = false;
    std::string describe;
    bool describeAll = false;
    int repeat = 0;
    int threads = 1;
    double rate = 0;
    double duration = 0;
    int maxInFlight = 64;
    std::string report;
    CCallOptions bounds;
};

std::atomic<bool> g_bStop{false};

void OnInterrupt(int) { g_bStop.store(true); }

int Usage(const std::string& problem) {
    std::fprintf(stderr, "vorant-call: %s\n(vorant-call --help explains the options)\n", problem.c_str());
    return kUsage;
}

bool ParseNumber(const char* text, int min, int* out) {
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < min || value > 1000000000)
        return false;
    *out = static_cast<int>(value);
    return true;
}

bool ParsePositive(const char* text, double max, double* out) {
    char* end = nullptr;
    double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(value > 0) || value > max)
        return false;
    *out = value;
    return true;
}

// Seconds with decimals ("2", "0.25") as milliseconds: at least 1 ms, at
// most what an int of milliseconds holds.
bool ParseSeconds(const char* text, int* millis) {
    char* end = nullptr;
    double seconds = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(seconds >= 0.0005) || seconds > 2147483.0)
        return false;
    *millis = static_cast<int>(seconds * 1000 + 0.5);
    return true;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool IsJsonRequest(const Options& opt) {
    return opt.input.empty() ? EndsWith(opt.requestFile, ".json") : opt.input == "json";
}

// 0 when the options are usable, else the exit status to end with (-1: help).
int ParseOptions(int argc, char** argv, Options* opt) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](const char** out) {
            if (i + 1 >= argc)
                return false;
            *out = argv[++i];
            return true;
        };
        const char* v = nullptr;
        if (arg == "-h" || arg == "--help")
            return -1;
        if (arg == "--xml") {
            opt->xml = true;
        } else if (arg == "--json") {
            opt->json = true;
        } else if (arg == "-v" || arg == "--verbose") {
            opt->verbose = true;
        } else if (arg == "--trace-packet") {
            opt->tracePacket = true;
        } else if (arg == "--list") {
            opt->list = true;
        } else if (arg == "--describe" || arg == "--describe-all") {
            if (!value(&v))
                return Usage(arg + " needs a message number or name");
            opt->describe = v;
            opt->describeAll = arg == "--describe-all";
        } else if (arg == "-c" || arg == "--config") {
            if (!value(&v))
                return Usage(arg + " needs a file");
            opt->config = v;
        } else if (arg == "-s" || arg == "--service") {
            if (!value(&v) || !ParseNumber(v, 0, &opt->service))
                return Usage(arg + " needs a service number");
        } else if (arg == "--input") {
            if (!value(&v) || (std::strcmp(v, "xml") != 0 && std::strcmp(v, "json") != 0))
                return Usage("--input needs xml or json");
            opt->input = v;
        } else if (arg == "--msg") {
            if (!value(&v) || *v == '\0')
                return Usage("--msg needs a message number or name");
            opt->msg = v;
        } else if (arg == "--set") {
            if (!value(&v))
                return Usage("--set needs NAME=VALUE");
            opt->sets.push_back(v);
        } else if (arg == "--repeat") {
            if (!value(&v) || !ParseNumber(v, 1, &opt->repeat))
                return Usage("--repeat needs a count of at least 1");
        } else if (arg == "--threads") {
            if (!value(&v) || !ParseNumber(v, 1, &opt->threads) || opt->threads > LoadConcurrencyLimit())
                return Usage("--threads needs a count from 1 to " + std::to_string(LoadConcurrencyLimit()) +
                             " (the descriptor limit)");
        } else if (arg == "--rate") {
            if (!value(&v) || !ParsePositive(v, 1e6, &opt->rate))
                return Usage("--rate needs calls per second, above 0 and at most 1000000");
        } else if (arg == "--duration") {
            if (!value(&v) || !ParsePositive(v, kMaxLoadSeconds, &opt->duration))
                return Usage("--duration needs seconds, above 0 and at most 3600");
        } else if (arg == "--max-in-flight") {
            if (!value(&v) || !ParseNumber(v, 1, &opt->maxInFlight) || opt->maxInFlight > LoadConcurrencyLimit())
                return Usage("--max-in-flight needs a count from 1 to " + std::to_string(LoadConcurrencyLimit()) +
                             " (the descriptor limit)");
        } else if (arg == "--report") {
            if (!value(&v) || *v == '\0')
                return Usage("--report needs a file name");
            opt->report = v;
        } else if (arg == "--connect-timeout") {
            if (!value(&v) || !ParseSeconds(v, &opt->bounds.m_iConnectTimeoutMs))
                return Usage("--connect-timeout needs seconds above 0");
        } else if (arg == "--deadline") {
            if (!value(&v) || !ParseSeconds(v, &opt->bounds.m_iDeadlineMs))
                return Usage("--deadline needs seconds above 0");
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage("unknown option " + arg);
        } else if (opt->requestFile.empty()) {
            opt->requestFile = arg;
        } else {
            return Usage("more than one request file");
        }
    }
    if (opt->config.empty())
        return Usage("no configuration (-c CONFIG)");
    if (opt->list || !opt->describe.empty()) {
        if (opt->list && !opt->describe.empty())
            return Usage("give either --list or --describe");
        if (opt->service >= 0 || !opt->requestFile.empty() || !opt->msg.empty())
            return Usage("--list and --describe read only the dictionary: no service or request");
        return 0;
    }
    if (opt->service < 0)
        return Usage("no service number (-s SERVICE)");
    if (opt->requestFile.empty() && opt->msg.empty())
        return Usage("give either a request file or --msg MSG");
    if (!opt->requestFile.empty() && !opt->msg.empty() && !IsJsonRequest(*opt))
        return Usage("give either a request file or --msg MSG (--msg goes with a JSON request only)");
    if (!opt->sets.empty() && !opt->requestFile.empty())
        return Usage("--set belongs to --msg, not to a request file");
    if (opt->xml && opt->json)
        return Usage("give either --xml or --json");
    const bool load = opt->repeat > 0 || opt->rate > 0;
    if (opt->repeat > 0 && opt->rate > 0)
        return Usage("give either --repeat (closed loop) or --rate (open model)");
    if ((opt->rate > 0) != (opt->duration > 0))
        return Usage("--rate and --duration go together");
    if (load && (opt->verbose || opt->tracePacket))
        return Usage("-v and --trace-packet belong to a single call");
    if (!load && !opt->report.empty())
        return Usage("--report belongs to a load run (--repeat or --rate)");
    if (opt->tracePacket)
        opt->verbose = true;
    return 0;
}

std::string ReadAll(const std::string& path, std::string* error) {
    std::stringstream text;
    if (path == "-") {
        text << std::cin.rdbuf();
    } else {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            *error = "cannot read " + path;
            return "";
        }
        text << file.rdbuf();
    }
    return text.str();
}

bool ReadRequest(const Options& opt, std::string* xml, std::string* error) {
    if (!opt.msg.empty() && opt.requestFile.empty()) {
        const CMsgInfo* info = FindMessage(opt.msg);
        if (info == nullptr) {
            *error = "message " + opt.msg + " is not in the dictionary (vorant-call --list shows them)";
            return false;
        }
        RequestBuilder builder(info);
        for (const auto& set : opt.sets) {
            if (!builder.Set(set, error)) {
                *error = "--set " + set + ": " + *error;
                return false;
            }
        }
        *xml = builder.ToXml();
        return true;
    }
    error->clear();
    std::string text = ReadAll(opt.requestFile, error);
    if (!error->empty())
        return false;
    if (IsJsonRequest(opt))
        return JsonToRequestXml(text, opt.msg, xml, error);
    *xml = text;
    return true;
}

// Parses the request once before any call, so that a bad request is reported
// as such and not as a failed call.
bool CheckRequest(const std::string& xml, std::string* error) {
    std::vector<char> text(xml.begin(), xml.end());
    text.push_back('\0');
    CMsg msg(0, 0, 0, MA_GetMsgDic());
    try {
        if (msg.LoadXml(text.data()) < 0) {
            *error = "the request is empty";
            return false;
        }
    } catch (const CException& e) {
        *error = std::string("the request cannot be read: ") + e.GetText();
        return false;
    }
    return true;
}

struct VerboseSink {
    bool packets = false;
};

void PrintTrace(const VorantTrace* trace, void* user) {
    const VerboseSink* sink = static_cast<const VerboseSink*>(user);
    std::fputs(FormatTrace(*trace, sink->packets).c_str(), stderr);
}

int CallOnce(const Options& opt, const std::string& xml) {
    std::vector<char> text(xml.begin(), xml.end());
    text.push_back('\0');
    CMsg in(0, 0, 0, MA_GetMsgDic());
    CMsg out(0, 0, 0, MA_GetMsgDic());
    in.LoadXml(text.data());
    VerboseSink sink;
    sink.packets = opt.tracePacket;
    if (opt.verbose)
        CVorant::SetTraceHook(PrintTrace, &sink);
    CVorantError err;
    int result = CVorant::CallServiceByMsg(opt.service, &in, &out, &opt.bounds, &err);
    CVorant::SetTraceHook(nullptr, nullptr);
    if (result != 0) {
        if (opt.json)
            std::fputs(JsonText(ErrorToJson(result, err)).c_str(), stdout);
        std::fputs(FormatError(opt.service, result, err).c_str(), stderr);
        return kCallFailed;
    }
    if (opt.json)
        std::fputs(JsonText(MessageToJson(out)).c_str(), stdout);
    else
        std::fputs(FormatAnswer(out, opt.xml).c_str(), stdout);
    return kAnswered;
}

int RunLoadTest(const Options& opt, const std::string& xml) {
    LoadPlan plan;
    plan.svcNum = opt.service;
    plan.requestXml = xml;
    plan.calls = opt.repeat;
    plan.threads = opt.threads;
    plan.rate = opt.rate;
    plan.seconds = opt.duration;
    plan.maxInFlight = opt.maxInFlight;
    plan.bounds = opt.bounds;
    plan.progress = isatty(STDOUT_FILENO) != 0;

    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESETHAND;  // a second Ctrl-C ends the process at once
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);

    bool abandoned = false;
    LoadResult r = RunLoad(plan, &g_bStop, 2000, &abandoned);
    std::fputs((opt.json ? LoadSummaryJson(plan, r) : LoadSummaryText(plan, r)).c_str(), stdout);
    int status = r.interrupted ? kInterrupted : r.failed > 0 || r.answered < r.scheduled ? kCallFailed : kAnswered;
    if (r.failed > 0)
        std::fprintf(stderr, "first failure:\n%s", r.firstError.c_str());
    if (!opt.report.empty()) {
        std::ofstream file(opt.report, std::ios::binary | std::ios::trunc);
        file << LoadReportSvg(plan, r);
        if (!file) {
            std::fprintf(stderr, "vorant-call: cannot write %s\n", opt.report.c_str());
            status = status == kAnswered ? kCallFailed : status;
        }
    }
    if (abandoned) {
        // Calls still under way cannot be cut short: leave without running
        // the destructors they would race with.
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(status);
    }
    return status;
}

// Loads only the dictionary the configuration names.
int LoadDictionary(const Options& opt) {
    CInitSettings settings;
    CVorantError err;
    if (ReadInitSettings(opt.config.c_str(), &settings, &err) < 0) {
        std::fputs(FormatError(-1, -1, err).c_str(), stderr);
        return kInitFailed;
    }
    try {
        MA_GetMsgDic()->InitDictionary(settings.m_strMsgDic);
    } catch (const CException& e) {
        std::fprintf(stderr, "vorant-call: the dictionary cannot be loaded: %s\n", e.GetText());
        return kInitFailed;
    }
    return 0;
}

int ShowDictionary(const Options& opt) {
    int status = LoadDictionary(opt);
    if (status != 0)
        return status;
    if (opt.list) {
        std::fputs(ListMessages().c_str(), stdout);
        return kAnswered;
    }
    const CMsgInfo* info = FindMessage(opt.describe);
    if (info == nullptr)
        return Usage("message " + opt.describe + " is not in the dictionary (vorant-call --list shows them)");
    std::fputs(DescribeMessage(*info, opt.describeAll).c_str(), stdout);
    return kAnswered;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    int status = ParseOptions(argc, argv, &opt);
    if (status == -1) {
        std::fputs(kHelp, stdout);
        return kAnswered;
    }
    if (status != 0)
        return status;

    try {
        if (opt.list || !opt.describe.empty())
            return ShowDictionary(opt);
        CVorantError err;
        int result = CVorant::Initialize(opt.config.c_str(), &err);
        if (result != 0) {
            std::fputs(FormatError(-1, result, err).c_str(), stderr);
            return kInitFailed;
        }
        std::string xml, error;
        if (!ReadRequest(opt, &xml, &error) || !CheckRequest(xml, &error))
            return Usage(error);
        return opt.repeat > 0 || opt.rate > 0 ? RunLoadTest(opt, xml) : CallOnce(opt, xml);
    } catch (const CException& e) {
        std::fprintf(stderr, "vorant-call: error %d: %s\n", e.GetCode(), e.GetText());
        return kCallFailed;
    }
}
