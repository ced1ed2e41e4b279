// The process-wide set-up of the end-to-end tests: the bundled server in
// this process and the library initialised against it.
#ifndef VORANT_TESTS_E2E_E2E_ENV_H
#define VORANT_TESTS_E2E_E2E_ENV_H

#include <string>

// Services of the test server's rules.
enum {
    kEchoService = 100,
    kRejectService = 300,
    kHeaderOnlyService = 402,
    kSlowEchoService = 901,  // answers after a second
};

// The receive time-out the library is initialised with (seconds).
const int kE2eTimeout = 2;

std::string DictionaryPath();
std::string KeyFilePath();
// A configuration file naming the server, dictionary and key (timeout 60).
std::string ConfigPath();
const std::string& ScratchDir();

struct ProcessRun {
    int status = -1;
    std::string out, err;
};

// Runs a shell command; standard error joins out unless p_bSplit.
ProcessRun RunCommand(const std::string& p_strCommand, bool p_bSplit = false);
bool Contains(const std::string& p_strText, const std::string& p_strPart);

#endif  // VORANT_TESTS_E2E_E2E_ENV_H
