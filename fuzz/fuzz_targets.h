// The fuzz targets' entry points, shared by the libFuzzer programs and the
// replay test (tests/fuzz_replay), which feeds them the stored corpora and
// the inputs that once failed. Each takes any bytes and returns 0; a wrong
// result that the target can check aborts through FUZZ_CHECK.
#ifndef VORANT_FUZZ_FUZZ_TARGETS_H
#define VORANT_FUZZ_FUZZ_TARGETS_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Decryption of protected data, and encryption round trips.
int FuzzProtectedData(const uint8_t* p_pData, size_t p_nSize);
// The key-file decoder, as given and with its digest made to match.
int FuzzKeyFile(const uint8_t* p_pData, size_t p_nSize);
// The dictionary loader on a plain and on an encrypted file.
int FuzzDictionary(const uint8_t* p_pData, size_t p_nSize);
// The message XML reader against the example dictionary; whatever loads
// must write and load back to the same text.
int FuzzMsgXml(const uint8_t* p_pData, size_t p_nSize);
// An answer packet as a server's bytes on a connection.
int FuzzAnswerPacket(const uint8_t* p_pData, size_t p_nSize);

// The name of the input being replayed, printed when a check fails (the
// fuzzer saves its own crashing inputs).
inline const char*& FuzzCurrentInput() {
    static const char* s_szInput = nullptr;
    return s_szInput;
}

[[noreturn]] inline void FuzzCheckFailed(const char* p_szExpr, const char* p_szFile, int p_iLine) {
    std::fprintf(stderr, "%s:%d: check failed: %s%s%s\n", p_szFile, p_iLine, p_szExpr,
                 FuzzCurrentInput() ? " on input " : "", FuzzCurrentInput() ? FuzzCurrentInput() : "");
    std::abort();
}

#define FUZZ_CHECK(expr) ((expr) ? (void)0 : FuzzCheckFailed(#expr, __FILE__, __LINE__))

// The libFuzzer entry point of a program built from one target; the replay
// test compiles the targets with VORANT_FUZZ_REPLAY and calls them directly.
#ifdef VORANT_FUZZ_REPLAY
#define VORANT_FUZZ_ENTRY(fn)
#else
#define VORANT_FUZZ_ENTRY(fn) \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* p_pData, size_t p_nSize) { return fn(p_pData, p_nSize); }
#endif

#endif  // VORANT_FUZZ_FUZZ_TARGETS_H
