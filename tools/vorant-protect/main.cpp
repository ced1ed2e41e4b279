// vorant-protect: makes and reads the protected files of the vorant library
// (encrypted dictionaries and key files).
#include <cstdio>
#include <cstring>
#include <string>

#include "commands.h"

namespace {

const char kUsage[] =
    "usage: vorant-protect COMMAND [ARGUMENTS]\n"
    "\n"
    "commands:\n"
    "  encrypt IN OUT              protect any file (a dictionary becomes an \".exml\")\n"
    "  decrypt IN OUT              decrypt a protected file as the library does\n"
    "  keyfile --key USERKEY OUT   write a key file holding USERKEY (1 to 31 characters)\n"
    "  showkey FILE                print the user key held in a key file\n"
    "  check-dic FILE              load a dictionary (plain or \".exml\") and print its definitions\n"
    "  help                        print this text\n"
    "\n"
    "Exit status: 0 on success, 1 when the operation fails, 2 for a usage error.\n";

struct Command {
    const char* name;
    int (*run)(const ArgList&);
};

const Command kCommands[] = {
    {"encrypt", CmdEncrypt}, {"decrypt", CmdDecrypt},    {"keyfile", CmdKeyFile},
    {"showkey", CmdShowKey}, {"check-dic", CmdCheckDic},
};

}  // namespace

int UsageError(const std::string& p_strText) {
    fprintf(stderr, "vorant-protect: %s\n\n%s", p_strText.c_str(), kUsage);
    return EXIT_USAGE;
}

int main(int argc, char** argv) {
    if (argc < 2)
        return UsageError("no command given");
    const std::string name = argv[1];
    if (name == "help" || name == "--help" || name == "-h") {
        fputs(kUsage, stdout);
        return EXIT_OK;
    }
    const ArgList args(argv + 2, argv + argc);
    for (const Command& c : kCommands) {
        if (name == c.name) {
            const int status = c.run(args);
            if (fflush(stdout) != 0 && status == EXIT_OK)
                return Failure("cannot write the output");
            return status;
        }
    }
    return UsageError("unknown command '" + name + "'");
}
