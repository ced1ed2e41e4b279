// A scratch directory for one test, removed with everything in it.
#ifndef VORANT_TESTS_PROTECT_TEMP_DIR_H
#define VORANT_TESTS_PROTECT_TEMP_DIR_H

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class CTempDir {
public:
    CTempDir() {
        char templ[] = "/tmp/vorant-protect-XXXXXX";
        const char* p = mkdtemp(templ);
        m_strPath = p ? p : "";
    }
    ~CTempDir() {
        std::error_code ec;
        if (!m_strPath.empty())
            std::filesystem::remove_all(m_strPath, ec);
    }
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    std::string Path(const std::string& p_strName) const { return m_strPath + "/" + p_strName; }

    std::string Write(const std::string& p_strName, const std::string& p_strBytes) const {
        const std::string path = Path(p_strName);
        std::ofstream(path, std::ios::binary) << p_strBytes;
        return path;
    }

    static std::string Read(const std::string& p_strPath) {
        std::ifstream in(p_strPath, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::string m_strPath;
};

#endif  // VORANT_TESTS_PROTECT_TEMP_DIR_H
