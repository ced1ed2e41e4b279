// check-dic: loads a dictionary the way the library does and lists it.
#include <cstdio>

#include "commands.h"
#include "vorant/exception.hpp"
#include "vorant/msg_dic.hpp"
#include "vorant/stream.hpp"

int CmdCheckDic(const ArgList& p_Args) {
    if (p_Args.size() != 1)
        return UsageError("check-dic takes FILE");
    CMsgDic dic;
    CStream out;
    try {
        dic.InitDictionary(p_Args[0].c_str());
        dic.Dump(&out);
    } catch (const CException& e) {
        fprintf(stderr, "vorant-protect: error %d: %s\n", e.GetCode(), e.GetText());
        return EXIT_FAILED;
    }
    if (out.GetSize() > 0)
        fwrite(out.GetData(), 1, static_cast<size_t>(out.GetSize()), stdout);
    return EXIT_OK;
}
