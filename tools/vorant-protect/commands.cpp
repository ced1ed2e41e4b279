#include "commands.h"

#include <cstdio>

#include "output_file.h"
#include "protect/file_reader.h"
#include "protect/key_file.h"
#include "protect/key_file_writer.h"
#include "protect/protected_data.h"
#include "protect/protected_file.h"

namespace {

int WriteStream(const std::string& p_strPath, const CStream& p_Data, int p_iMode) {
    std::string err;
    if (!WriteOutputFile(p_strPath, p_Data.GetData(), static_cast<size_t>(p_Data.GetSize()), p_iMode, err))
        return Failure(err);
    return EXIT_OK;
}

// Reader texts name the file already; decoder texts do not.
int FileFailure(const std::string& p_strPath, const CString& p_strErr) {
    const std::string text = p_strErr.ToStr();
    return Failure(text.find(p_strPath) != std::string::npos ? text : p_strPath + ": " + text);
}

}  // namespace

int Failure(const std::string& p_strText) {
    fprintf(stderr, "vorant-protect: %s\n", p_strText.c_str());
    return EXIT_FAILED;
}

int CmdEncrypt(const ArgList& p_Args) {
    if (p_Args.size() != 2)
        return UsageError("encrypt takes IN and OUT");
    CStream plain, cipher;
    CString err;
    if (ReadWholeFile(p_Args[0].c_str(), plain, err) < 0)
        return FileFailure(p_Args[0], err);
    if (EncryptProtectedData(plain.GetData(), plain.GetSize(), cipher, err) < 0)
        return FileFailure(p_Args[0], err);
    return WriteStream(p_Args[1], cipher, 0666);
}

int CmdDecrypt(const ArgList& p_Args) {
    if (p_Args.size() != 2)
        return UsageError("decrypt takes IN and OUT");
    CStream plain;
    CString err;
    if (ReadProtectedFile(p_Args[0].c_str(), plain, err) < 0)
        return FileFailure(p_Args[0], err);
    return WriteStream(p_Args[1], plain, 0666);
}

int CmdKeyFile(const ArgList& p_Args) {
    std::string key, out;
    bool haveKey = false;
    for (size_t i = 0; i < p_Args.size(); ++i) {
        if (p_Args[i] == "--key") {
            if (haveKey || i + 1 == p_Args.size())
                return UsageError("keyfile takes one --key USERKEY");
            key = p_Args[++i];
            haveKey = true;
        } else if (out.empty() && !p_Args[i].empty()) {
            out = p_Args[i];
        } else {
            return UsageError("keyfile takes --key USERKEY and OUT");
        }
    }
    if (!haveKey || out.empty())
        return UsageError("keyfile takes --key USERKEY and OUT");
    // The library refuses an empty key, so a file holding one is of no use.
    if (key.empty() || key.size() > KEY_FILE_MAX_KEY_LENGTH)
        return Failure("the user key must have 1 to 31 characters");

    CStream file;
    CString err;
    if (BuildKeyFile(key.c_str(), file, err) < 0)
        return Failure(err.ToStr());
    return WriteStream(out, file, 0600);
}

int CmdShowKey(const ArgList& p_Args) {
    if (p_Args.size() != 1)
        return UsageError("showkey takes FILE");
    CStream data;
    CString key, err;
    if (ReadWholeFile(p_Args[0].c_str(), data, err) < 0)
        return FileFailure(p_Args[0], err);
    if (DecodeUserKey(data, key, err) < 0)
        return FileFailure(p_Args[0], err);
    if (key.IsEmpty())
        return Failure(p_Args[0] + ": Invalid UserKey");
    printf("%s\n", key.ToStr());
    return EXIT_OK;
}
