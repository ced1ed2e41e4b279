// The process-wide set-up of the facade's tests: a fake server, a key file
// and one successful initialisation against both.
#ifndef VORANT_TESTS_API_API_ENV_H
#define VORANT_TESTS_API_API_ENV_H

#include <string>

#include "fake_server.h"

// The user key written into the test key file.
extern const char kTestUserKey[];
// The time-out the library is initialised with (seconds).
const int kTestTimeout = 2;

FakeServer& Server();
// A scratch directory removed after the run.
const std::string& ScratchDir();
std::string TestDictionary();
std::string TestKeyFile();
// Writes text to a file in the scratch directory; returns its path.
std::string WriteScratch(const std::string& name, const std::string& text);
// Writes a key file holding userKey; returns its path.
std::string WriteKeyFile(const std::string& name, const char* userKey);

#endif  // VORANT_TESTS_API_API_ENV_H
