#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

std::string ErrnoText(const std::string& p_strWhat, int p_iErrno) {
    char buf[256];
    return p_strWhat + ": " + strerror_r(p_iErrno, buf, sizeof buf);
}

}  // namespace

bool WriteOutputFile(const std::string& p_strPath, const char* p_pData, size_t p_nSize, int p_iMode,
                     std::string& p_strErr) {
    std::string temp = p_strPath + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        p_strErr = ErrnoText("cannot create " + p_strPath, errno);
        return false;
    }
    temp = name.data();

    const mode_t mask = umask(0);
    umask(mask);
    bool ok = fchmod(fd, static_cast<mode_t>(p_iMode) & ~mask) == 0;
    int err = ok ? 0 : errno;
    for (size_t done = 0; ok && done < p_nSize;) {
        const ssize_t n = write(fd, p_pData + done, p_nSize - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            err = n < 0 ? errno : EIO;
        } else {
            done += static_cast<size_t>(n);
        }
    }
    if (close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && rename(temp.c_str(), p_strPath.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        unlink(temp.c_str());
        p_strErr = ErrnoText("cannot write " + p_strPath, err);
    }
    return ok;
}
