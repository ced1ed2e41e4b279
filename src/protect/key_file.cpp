#include "protect/key_file.h"

#include <cstring>

#include "protect/md5.h"
#include "protect/protected_data.h"

int DecodeUserKey(const CStream& p_Data, CString& p_strKey, CString& p_strErr) {
    p_strErr.Empty();
    const unsigned char* pData = reinterpret_cast<const unsigned char*>(p_Data.GetData());
    if (pData == nullptr || p_Data.GetSize() < KEY_FILE_SIZE) {
        p_strErr = "Corrupted UserKey data";
        return -1;
    }

    uint8_t digest[CMd5::DIGEST_SIZE];
    CMd5::Digest(pData + KEY_FILE_TABLE_OFFSET, KEY_FILE_SIZE - KEY_FILE_TABLE_OFFSET, digest);
    if (memcmp(digest, pData + KEY_FILE_DIGEST_OFFSET, sizeof digest) != 0) {
        p_strErr = "Corrupted UserKey data(checksum)";
        return -1;
    }

    const unsigned char* pTable = pData + KEY_FILE_TABLE_OFFSET;
    const unsigned char* pBlock = pData + KEY_FILE_BLOCK_OFFSET;
    const int iCipherSize = pBlock[16] == 0 ? 16 : 32;
    char cipher[KEY_FILE_BLOCK_SIZE];
    for (int i = 0; i < iCipherSize; ++i) {
        // Cipher bytes after an early zero would be undefined.
        if (pBlock[i] == 0) {
            p_strErr = "Corrupted UserKey data";
            return -1;
        }
        cipher[i] = static_cast<char>(pTable[pBlock[i]]);
    }

    CStream plain;
    if (DecryptProtectedData(cipher, iCipherSize, plain, p_strErr) < 0)
        return -1;
    // The plain bytes are zero-terminated, so the key ends at the first zero.
    p_strKey = plain.GetData();
    return 0;
}
