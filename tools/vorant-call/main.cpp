// vorant-call: calls one service of a message server from the command line,
// or load-tests it.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "call_output.h"
#include "load_runner.h"
#include "request_builder.h"
#include "vorant/vorant.hpp"

namespace {

// Exit statuses.
const int kAnswered = 0;
const int kCallFailed = 1;
const int kUsage = 2;
const int kInitFailed = 3;

const char kHelp[] =
    "usage: vorant-call -c CONFIG -s SERVICE REQUEST.xml\n"
    "       vorant-call -c CONFIG -s SERVICE --msg N [--set NAME=VALUE]...\n"
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
    "  --msg N              build the request from the command line instead: a\n"
    "                       message of number N, filled by --set\n"
    "  --set NAME=VALUE     one field of the --msg request, typed by the\n"
    "                       dictionary; repeating a name fills an array; NAME may\n"
    "                       be a path into sub-messages: lines.code=X1, or\n"
    "                       lines[1].code=X2 for the second item of an array\n"
    "                       (leading and trailing blanks of VALUE are dropped)\n"
    "  --xml                print the answer as named-form message XML instead\n"
    "                       of the field listing\n"
    "  --repeat N           make N calls and print calls per second and the\n"
    "                       latency percentiles p50, p90, p99 and max instead of\n"
    "                       the answer; a progress line shows on a terminal\n"
    "  --threads T          spread the --repeat calls over T threads (default 1)\n"
    "  --connect-timeout S  give up connecting after S seconds (decimals allowed;\n"
    "                       default: the configuration's connect_timeout, 10)\n"
    "  --deadline S         give up the whole call after S seconds, however the\n"
    "                       answer trickles in (default: the configuration's\n"
    "                       deadline, none)\n"
    "  -h, --help           this text\n"
    "\n"
    "exit status: 0 an answer arrived (with --repeat: every call was answered),\n"
    "1 the call failed or was rejected, 2 bad usage or request, 3 the library\n"
    "could not be initialised.\n"
    "\n"
    "examples:\n"
    "  vorant-call -c examples/vorant.conf -s 100 examples/order.xml\n"
    "  vorant-call -c examples/vorant.conf -s 100 --msg 1001 --set acct=A-17 \\\n"
    "      --set qty=5 --set lines.code=X1 --set lines[1].code=X2 --xml\n"
    "  vorant-call -c examples/vorant.conf -s 100 examples/order.xml \\\n"
    "      --repeat 10000 --threads 8\n";

struct Options {
    std::string config;
    int service = -1;
    std::string requestFile;
    int msgNum = -1;
    std::vector<std::string> sets;
    bool xml = false;
    int repeat = 0;
    int threads = 1;
    CCallOptions bounds;
};

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
        } else if (arg == "-c" || arg == "--config") {
            if (!value(&v))
                return Usage(arg + " needs a file");
            opt->config = v;
        } else if (arg == "-s" || arg == "--service") {
            if (!value(&v) || !ParseNumber(v, 0, &opt->service))
                return Usage(arg + " needs a service number");
        } else if (arg == "--msg") {
            if (!value(&v) || !ParseNumber(v, 1, &opt->msgNum))
                return Usage("--msg needs a message number");
        } else if (arg == "--set") {
            if (!value(&v))
                return Usage("--set needs NAME=VALUE");
            opt->sets.push_back(v);
        } else if (arg == "--repeat") {
            if (!value(&v) || !ParseNumber(v, 1, &opt->repeat))
                return Usage("--repeat needs a count of at least 1");
        } else if (arg == "--threads") {
            if (!value(&v) || !ParseNumber(v, 1, &opt->threads) || opt->threads > 1024)
                return Usage("--threads needs a count from 1 to 1024");
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
    if (opt->service < 0)
        return Usage("no service number (-s SERVICE)");
    if (opt->requestFile.empty() == (opt->msgNum < 0))
        return Usage("give either a request file or --msg N");
    if (!opt->sets.empty() && opt->msgNum < 0)
        return Usage("--set belongs to --msg");
    return 0;
}

bool ReadRequest(const Options& opt, std::string* xml, std::string* error) {
    if (opt.msgNum >= 0) {
        RequestBuilder builder(opt.msgNum);
        for (const auto& set : opt.sets) {
            if (!builder.Set(set, error))
                return false;
        }
        *xml = builder.ToXml();
        return true;
    }
    std::stringstream text;
    if (opt.requestFile == "-") {
        text << std::cin.rdbuf();
    } else {
        std::ifstream file(opt.requestFile, std::ios::binary);
        if (!file) {
            *error = "cannot read " + opt.requestFile;
            return false;
        }
        text << file.rdbuf();
    }
    *xml = text.str();
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

int CallOnce(const Options& opt, const std::string& xml) {
    std::vector<char> text(xml.begin(), xml.end());
    text.push_back('\0');
    CMsg in(0, 0, 0, MA_GetMsgDic());
    CMsg out(0, 0, 0, MA_GetMsgDic());
    in.LoadXml(text.data());
    CVorantError err;
    int result = CVorant::CallServiceByMsg(opt.service, &in, &out, &opt.bounds, &err);
    if (result != 0) {
        std::fputs(FormatError(opt.service, result, err).c_str(), stderr);
        return kCallFailed;
    }
    std::fputs(FormatAnswer(out, opt.xml).c_str(), stdout);
    return kAnswered;
}

int CallRepeated(const Options& opt, const std::string& xml) {
    LoadResult r = RunLoad(opt.service, xml, opt.repeat, opt.threads, isatty(STDOUT_FILENO) != 0, &opt.bounds);
    std::printf("calls      : %d over %d thread%s: %d answered, %d failed\n", opt.repeat, opt.threads,
                opt.threads == 1 ? "" : "s", r.answered, r.failed);
    std::printf("elapsed    : %.3f s\n", r.seconds);
    std::printf("throughput : %.1f calls/s\n", r.seconds > 0 ? opt.repeat / r.seconds : 0.0);
    std::printf("latency    : p50 %.3f ms, p90 %.3f ms, p99 %.3f ms, max %.3f ms\n", r.p50, r.p90, r.p99, r.max);
    if (r.failed > 0) {
        std::fprintf(stderr, "first failure:\n%s", r.firstError.c_str());
        return kCallFailed;
    }
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
        CVorantError err;
        int result = CVorant::Initialize(opt.config.c_str(), &err);
        if (result != 0) {
            std::fputs(FormatError(-1, result, err).c_str(), stderr);
            return kInitFailed;
        }
        std::string xml, error;
        if (!ReadRequest(opt, &xml, &error) || !CheckRequest(xml, &error))
            return Usage(error);
        return opt.repeat > 0 ? CallRepeated(opt, xml) : CallOnce(opt, xml);
    } catch (const CException& e) {
        std::fprintf(stderr, "vorant-call: error %d: %s\n", e.GetCode(), e.GetText());
        return kCallFailed;
    }
}
