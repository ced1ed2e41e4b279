// Fuzz target: decryption of protected data (whole blocks, pad count in the
// last byte), and encryption followed by decryption of the same bytes.
#include <cstring>

#include "fuzz_targets.h"
#include "protect/protected_data.h"

namespace {

const size_t kMaxInput = 1 << 20;
const int kBlock = 16;

void CheckDecrypt(const char* p_pIn, int p_iSize) {
    CStream plain;
    CString err;
    const int iResult = DecryptProtectedData(p_pIn, p_iSize, plain, err);
    if (p_iSize % kBlock != 0) {
        FUZZ_CHECK(iResult == -1 && err == "Input data is corrupted" && plain.GetSize() == 0);
        return;
    }
    FUZZ_CHECK(iResult == 0 && err.GetLength() == 0);
    // Only the last block loses bytes, at most all of its own.
    FUZZ_CHECK(plain.GetSize() <= p_iSize && plain.GetSize() >= p_iSize - kBlock);
    FUZZ_CHECK(plain.GetSize() == 0 || plain.GetData()[plain.GetSize()] == '\0');
}

void CheckRoundTrip(const char* p_pIn, int p_iSize) {
    CStream cipher;
    CString err;
    FUZZ_CHECK(EncryptProtectedData(p_pIn, p_iSize, cipher, err) == 0);
    FUZZ_CHECK(cipher.GetSize() % kBlock == 0 && cipher.GetSize() > p_iSize);
    CStream plain;
    FUZZ_CHECK(DecryptProtectedData(cipher, plain, err) == 0);
    FUZZ_CHECK(plain.GetSize() == p_iSize);
    FUZZ_CHECK(p_iSize == 0 || std::memcmp(plain.GetData(), p_pIn, static_cast<size_t>(p_iSize)) == 0);
}

}  // namespace

int FuzzProtectedData(const uint8_t* p_pData, size_t p_nSize) {
    if (p_nSize > kMaxInput)
        return 0;
    const char* pIn = reinterpret_cast<const char*>(p_pData);
    const int iSize = static_cast<int>(p_nSize);
    CheckDecrypt(pIn, iSize);
    CheckRoundTrip(pIn, iSize);
    return 0;
}

VORANT_FUZZ_ENTRY(FuzzProtectedData)
