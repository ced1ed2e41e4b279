// Counting this process's open descriptors, and a fixture that fails a test
// which leaves one open.
#ifndef VORANT_TESTS_TRANSPORT_FD_LEAK_CHECK_H
#define VORANT_TESTS_TRANSPORT_FD_LEAK_CHECK_H

#include <dirent.h>
#include <gtest/gtest.h>

inline int CountOpenFds() {
    int iCount = 0;
    DIR* pDir = opendir("/proc/self/fd");
    if (pDir == nullptr) {
        return -1;
    }
    while (dirent* pEntry = readdir(pDir)) {
        if (pEntry->d_name[0] != '.') {
            ++iCount;
        }
    }
    closedir(pDir);
    return iCount - 1;  // the directory stream itself
}

class FdLeakCheck : public ::testing::Test {
protected:
    void SetUp() override { m_iFds = CountOpenFds(); }
    void TearDown() override { EXPECT_EQ(m_iFds, CountOpenFds()) << "descriptor leaked"; }

private:
    int m_iFds = 0;
};

#endif  // VORANT_TESTS_TRANSPORT_FD_LEAK_CHECK_H
