#include "file_check.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vorant_server {

std::string UnreadableReason(const std::string& p_strPath) {
    FILE* pFile = std::fopen(p_strPath.c_str(), "rb");
    if (pFile == nullptr) {
        return std::strerror(errno);
    }
    // A directory opens; reading it fails.
    std::string strReason;
    if (std::fgetc(pFile) == EOF && std::ferror(pFile)) {
        strReason = std::strerror(errno);
    }
    std::fclose(pFile);
    return strReason;
}

}  // namespace vorant_server
