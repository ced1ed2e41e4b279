#include "protect/key_file_writer.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "protect/key_file.h"
#include "protect/md5.h"
#include "protect/protected_data.h"

namespace {

// Fills p_p with p_n bytes from the kernel's random source.
bool RandomBytes(void* p_p, size_t p_n) {
    unsigned char* p = static_cast<unsigned char*>(p_p);
    while (p_n > 0) {
        const ssize_t n = getrandom(p, p_n, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        p_n -= static_cast<size_t>(n);
    }
    return true;
}

// A random permutation of 0..255 whose first entry is none of the cipher
// bytes, so that no cipher byte is encoded as the terminating zero.
bool MakeTable(const unsigned char* p_pCipher, int p_iCipherSize, unsigned char p_aTable[256]) {
    uint32_t r[256];
    if (!RandomBytes(r, sizeof r))
        return false;
    for (int i = 0; i < 256; ++i)
        p_aTable[i] = static_cast<unsigned char>(i);
    for (int i = 255; i > 0; --i) {
        const int j = static_cast<int>(r[i] % static_cast<uint32_t>(i + 1));
        const unsigned char t = p_aTable[i];
        p_aTable[i] = p_aTable[j];
        p_aTable[j] = t;
    }
    bool used[256] = {};
    for (int i = 0; i < p_iCipherSize; ++i)
        used[p_pCipher[i]] = true;
    for (int k = 0; k < 256; ++k) {
        if (!used[p_aTable[k]]) {
            const unsigned char t = p_aTable[0];
            p_aTable[0] = p_aTable[k];
            p_aTable[k] = t;
            break;
        }
    }
    return true;
}

}  // namespace

int BuildKeyFile(const char* p_szUserKey, CStream& p_Out, CString& p_strErr) {
    p_Out.Clear();
    p_strErr.Empty();
    const size_t nKey = p_szUserKey == nullptr ? 0 : strlen(p_szUserKey);
    if (p_szUserKey == nullptr || nKey > KEY_FILE_MAX_KEY_LENGTH) {
        p_strErr = "Invalid user key";
        return KEY_FILE_INVALID_KEY;
    }

    // Padding to whole blocks gives one block for up to 15 characters and two
    // for up to 31, the pad count in the last byte.
    CStream cipher;
    if (EncryptProtectedData(p_szUserKey, static_cast<int>(nKey), cipher, p_strErr) < 0)
        return KEY_FILE_NOT_MADE;
    const unsigned char* pCipher = reinterpret_cast<const unsigned char*>(cipher.GetData());
    const int iCipherSize = cipher.GetSize();

    unsigned char* pFile = reinterpret_cast<unsigned char*>(p_Out.GetBuffer(KEY_FILE_SIZE + 1));
    if (pFile == nullptr) {
        p_strErr = "Out of memory";
        return KEY_FILE_NOT_MADE;
    }
    unsigned char* pTable = pFile + KEY_FILE_TABLE_OFFSET;
    unsigned char* pBlock = pFile + KEY_FILE_BLOCK_OFFSET;
    if (!RandomBytes(pTable, KEY_FILE_TABLE_SIZE + KEY_FILE_BLOCK_SIZE) || !MakeTable(pCipher, iCipherSize, pTable)) {
        p_Out.Clear();
        p_strErr = "Random source failed";
        return KEY_FILE_NOT_MADE;
    }

    unsigned char inverse[256];
    for (int i = 0; i < 256; ++i)
        inverse[pTable[i]] = static_cast<unsigned char>(i);
    for (int i = 0; i < iCipherSize; ++i)
        pBlock[i] = inverse[pCipher[i]];
    // One block is marked by a zero right after it; the rest stays random.
    if (iCipherSize == 16)
        pBlock[16] = 0;

    CMd5::Digest(pTable, KEY_FILE_SIZE - KEY_FILE_TABLE_OFFSET, pFile + KEY_FILE_DIGEST_OFFSET);
    p_Out.ReleaseBuffer(KEY_FILE_SIZE);
    return 0;
}
