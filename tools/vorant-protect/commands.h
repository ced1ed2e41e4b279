// The sub-commands of vorant-protect. Each takes the arguments after its
// name, prints its result, reports failures on stderr and returns the exit
// status.
#ifndef VORANT_TOOLS_PROTECT_COMMANDS_H
#define VORANT_TOOLS_PROTECT_COMMANDS_H

#include <string>
#include <vector>

typedef std::vector<std::string> ArgList;

enum { EXIT_OK = 0, EXIT_FAILED = 1, EXIT_USAGE = 2 };

int CmdEncrypt(const ArgList& p_Args);
int CmdDecrypt(const ArgList& p_Args);
int CmdKeyFile(const ArgList& p_Args);
int CmdShowKey(const ArgList& p_Args);
int CmdCheckDic(const ArgList& p_Args);

// Prints "vorant-protect: <text>" on stderr and returns EXIT_FAILED.
int Failure(const std::string& p_strText);
// Prints the usage error and the usage text on stderr; returns EXIT_USAGE.
int UsageError(const std::string& p_strText);

#endif  // VORANT_TOOLS_PROTECT_COMMANDS_H
