// Fuzz target: the key-file decoder. Each input is decoded as it stands and,
// when it is long enough, once more with a digest that matches, so that the
// substitution and decryption behind the digest check are reached.
#include <cstring>
#include <vector>

#include "fuzz_targets.h"
#include "protect/key_file.h"
#include "protect/md5.h"

namespace {

const size_t kMaxInput = 64 * 1024;

void Decode(const char* p_pData, size_t p_nSize, bool p_bDigestMatches) {
    CStream data;
    FUZZ_CHECK(data.AppendData(p_pData, static_cast<int>(p_nSize)) == 0);
    CString key("unchanged");
    CString err;
    const int iResult = DecodeUserKey(data, key, err);
    if (iResult != 0) {
        FUZZ_CHECK(iResult == -1 && err.GetLength() > 0 && key == "unchanged");
        return;
    }
    FUZZ_CHECK(err.GetLength() == 0);
    // One block holds at most 16 characters, two at most 32.
    FUZZ_CHECK(key.GetLength() <= 32);
    FUZZ_CHECK(static_cast<int>(std::strlen(key.ToStr())) == key.GetLength());
    FUZZ_CHECK(p_bDigestMatches);
}

}  // namespace

int FuzzKeyFile(const uint8_t* p_pData, size_t p_nSize) {
    if (p_nSize > kMaxInput)
        return 0;
    const char* pIn = reinterpret_cast<const char*>(p_pData);
    std::vector<uint8_t> fixed(p_pData, p_pData + p_nSize);
    const bool bLongEnough = p_nSize >= KEY_FILE_SIZE;
    bool bDigestMatches = false;
    if (bLongEnough) {
        CMd5::Digest(fixed.data() + KEY_FILE_TABLE_OFFSET, KEY_FILE_SIZE - KEY_FILE_TABLE_OFFSET,
                     fixed.data() + KEY_FILE_DIGEST_OFFSET);
        bDigestMatches = std::memcmp(fixed.data(), p_pData, CMd5::DIGEST_SIZE) == 0;
    }
    Decode(pIn, p_nSize, bDigestMatches);
    if (bLongEnough && !bDigestMatches)
        Decode(reinterpret_cast<const char*>(fixed.data()), p_nSize, true);
    return 0;
}

VORANT_FUZZ_ENTRY(FuzzKeyFile)
