// Replays the stored inputs of every fuzz target: the seed corpus, and the
// inputs that once crashed, hung, leaked or failed a target's own checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_targets.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VORANT_REPLAY_ASAN 1
#endif
#endif
#if (defined(__SANITIZE_ADDRESS__) || defined(VORANT_REPLAY_ASAN)) && __has_include(<sanitizer/common_interface_defs.h>)
#include <sanitizer/common_interface_defs.h>
#define VORANT_REPLAY_DEATH_CALLBACK 1
#endif

namespace {

namespace fs = std::filesystem;

using Target = int (*)(const uint8_t*, size_t);

#ifdef VORANT_REPLAY_DEATH_CALLBACK
// A sanitizer report names the stack, not the input: add it.
void NameInputOnDeath() {
    if (FuzzCurrentInput())
        std::fprintf(stderr, "while replaying %s\n", FuzzCurrentInput());
}
struct CDeathCallback {
    CDeathCallback() { __sanitizer_set_death_callback(NameInputOnDeath); }
} g_DeathCallback;
#endif

std::vector<fs::path> InputsIn(const fs::path& p_Dir) {
    std::vector<fs::path> inputs;
    std::error_code ec;
    if (!fs::is_directory(p_Dir, ec))
        return inputs;
    for (const fs::directory_entry& entry : fs::directory_iterator(p_Dir)) {
        if (entry.is_regular_file())
            inputs.push_back(entry.path());
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

std::vector<uint8_t> ReadBytes(const fs::path& p_Path) {
    std::ifstream in(p_Path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs every input of one target; the target aborts on a failure. Returns
// the number of seed inputs, which must not silently drop to none.
size_t Replay(const char* p_szTarget, Target p_Target) {
    size_t nSeeds = 0;
    for (const char* szKind : {"corpus", "regressions"}) {
        const fs::path dir = fs::path(VORANT_FUZZ_DIR) / szKind / p_szTarget;
        for (const fs::path& input : InputsIn(dir)) {
            const std::string name = input.string();
            SCOPED_TRACE(name);
            const std::vector<uint8_t> bytes = ReadBytes(input);
            FuzzCurrentInput() = name.c_str();
            // Like the fuzzer, never hand over a null pointer, even for no bytes.
            static const uint8_t kNothing = 0;
            EXPECT_EQ(0, p_Target(bytes.empty() ? &kNothing : bytes.data(), bytes.size()));
            FuzzCurrentInput() = nullptr;
            if (std::string(szKind) == "corpus")
                ++nSeeds;
        }
    }
    return nSeeds;
}

}  // namespace

TEST(FuzzReplay, ProtectedData) { EXPECT_GT(Replay("protected_data", FuzzProtectedData), 0u); }

TEST(FuzzReplay, KeyFile) { EXPECT_GT(Replay("key_file", FuzzKeyFile), 0u); }

TEST(FuzzReplay, Dictionary) { EXPECT_GT(Replay("dictionary", FuzzDictionary), 0u); }

TEST(FuzzReplay, MsgXml) { EXPECT_GT(Replay("msg_xml", FuzzMsgXml), 0u); }

TEST(FuzzReplay, AnswerPacket) { EXPECT_GT(Replay("answer_packet", FuzzAnswerPacket), 0u); }
