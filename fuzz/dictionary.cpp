// Fuzz target: the dictionary loader. Each input is written as a plain
// dictionary file and, encrypted, as an ".exml" file, and each is loaded into
// a fresh dictionary, which is then listed and destroyed.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz_targets.h"
#include "msg/xml_support.h"
#include "protect/protected_data.h"
#include "vorant/exception.hpp"
#include "vorant/msg_dic.hpp"
#include "vorant/stream.hpp"

namespace {

const size_t kMaxInput = 256 * 1024;

// A private directory for this process's input files, removed at exit.
class CTempFiles {
public:
    CTempFiles() {
        char szDir[] = "/tmp/vorant-fuzz-dic-XXXXXX";
        FUZZ_CHECK(mkdtemp(szDir) != nullptr);
        m_strDir = szDir;
        m_strPlain = m_strDir + "/dic.xml";
        m_strEncrypted = m_strDir + "/dic.exml";
    }
    ~CTempFiles() {
        unlink(m_strPlain.c_str());
        unlink(m_strEncrypted.c_str());
        rmdir(m_strDir.c_str());
    }
    CTempFiles(const CTempFiles&) = delete;
    CTempFiles& operator=(const CTempFiles&) = delete;

    const char* Plain() const { return m_strPlain.c_str(); }
    const char* Encrypted() const { return m_strEncrypted.c_str(); }

private:
    std::string m_strDir;
    std::string m_strPlain;
    std::string m_strEncrypted;
};

void WriteFile(const char* p_szPath, const char* p_pData, size_t p_nSize) {
    FILE* pFile = std::fopen(p_szPath, "wb");
    FUZZ_CHECK(pFile != nullptr);
    FUZZ_CHECK(p_nSize == 0 || std::fwrite(p_pData, 1, p_nSize, pFile) == p_nSize);
    FUZZ_CHECK(std::fclose(pFile) == 0);
}

bool IsLoaderCode(int p_iCode) {
    switch (p_iCode) {
        case -11:
        case -12:
        case -14:
        case -15:
        case -16:
        case -17:
        case -19:
        case -21:
        case -22:
        case -26:
        case -36: return true;
        default: return false;
    }
}

void Load(const char* p_szPath) {
    std::unique_ptr<CMsgDic> pDic(new CMsgDic());
    try {
        pDic->InitDictionary(p_szPath);
    } catch (const CException& e) {
        FUZZ_CHECK(IsLoaderCode(e.GetCode()));
        FUZZ_CHECK(std::string(e.GetText()).compare(0, 15, "InitDictionary(") == 0);
    }
    // What a failed load kept must be as usable as a full load.
    CStream listing;
    pDic->Dump(&listing);
}

}  // namespace

int FuzzDictionary(const uint8_t* p_pData, size_t p_nSize) {
    if (p_nSize > kMaxInput)
        return 0;
    // Held for the whole run, so that dictionaries do not start and stop
    // the parser platform for every input.
    static CXmlPlatformUse s_Platform;
    static CTempFiles s_Files;
    const char* pIn = reinterpret_cast<const char*>(p_pData);

    WriteFile(s_Files.Plain(), pIn, p_nSize);
    Load(s_Files.Plain());

    CStream cipher;
    CString err;
    FUZZ_CHECK(EncryptProtectedData(pIn, static_cast<int>(p_nSize), cipher, err) == 0);
    WriteFile(s_Files.Encrypted(), cipher.GetData(), static_cast<size_t>(cipher.GetSize()));
    Load(s_Files.Encrypted());
    return 0;
}

VORANT_FUZZ_ENTRY(FuzzDictionary)
