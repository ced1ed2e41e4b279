// check-dic: loads a dictionary the way the library does and lists it, after
// a reading of its own that names message, tag and line of every mistake.
#include <cstdio>

#include "commands.h"
#include "dictionary_scan.h"
#include "protect/file_reader.h"
#include "protect/protected_file.h"
#include "vorant/exception.hpp"
#include "vorant/msg_dic.hpp"
#include "vorant/stream.hpp"

namespace {

bool IsEncryptedPath(const std::string& p_strPath) {
    return p_strPath.size() >= 5 && p_strPath.compare(p_strPath.size() - 5, 5, ".exml") == 0;
}

// The document as the loader would parse it; false when the file cannot be
// read or decrypted (the loader then says why, in its words).
bool ReadDocument(const std::string& p_strPath, std::string* p_pXml) {
    CStream data;
    CString err;
    const int iRead = IsEncryptedPath(p_strPath) ? ReadProtectedFile(p_strPath.c_str(), data, err)
                                                 : ReadWholeFile(p_strPath.c_str(), data, err);
    if (iRead != 0)
        return false;
    *p_pXml = data.GetData() ? std::string(data.GetData(), static_cast<size_t>(data.GetSize())) : "";
    return true;
}

}  // namespace

int CmdCheckDic(const ArgList& p_Args) {
    if (p_Args.size() != 1)
        return UsageError("check-dic takes FILE");
    const std::string& strPath = p_Args[0];
    std::string strXml;
    if (ReadDocument(strPath, &strXml)) {
        const std::vector<std::string> problems = ScanDictionary(strXml, strPath);
        for (const std::string& strProblem : problems)
            fprintf(stderr, "vorant-protect: %s %s\n", strPath.c_str(), strProblem.c_str());
        if (!problems.empty())
            return EXIT_FAILED;
    }
    CMsgDic dic;
    CStream out;
    try {
        dic.InitDictionary(strPath.c_str());
        dic.Dump(&out);
    } catch (const CException& e) {
        fprintf(stderr, "vorant-protect: error %d: %s\n", e.GetCode(), e.GetText());
        return EXIT_FAILED;
    }
    if (out.GetSize() > 0)
        fwrite(out.GetData(), 1, static_cast<size_t>(out.GetSize()), stdout);
    return EXIT_OK;
}
