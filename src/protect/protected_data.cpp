#include "protect/protected_data.h"

#include <climits>
#include <cstring>

#include "protect/protect_cipher.h"
#include "protect/protect_errors.h"

namespace {

constexpr int kBlock = CProtectCipher::BLOCK_SIZE;

}  // namespace

int DecryptProtectedData(const char* p_pIn, int p_iSize, CStream& p_Out, CString& p_strErr) {
    const CProtectCipher cipher;
    p_Out.Clear();
    p_strErr.Empty();
    if (p_iSize < 0 || p_iSize % kBlock != 0 || (p_pIn == nullptr && p_iSize != 0)) {
        p_strErr = "Input data is corrupted";
        return PROTECT_DATA_INVALID;
    }
    // One allocation for the largest result: the output never grows block by
    // block, so it can never end up cut short.
    unsigned char* pOut = reinterpret_cast<unsigned char*>(p_Out.GetBuffer(p_iSize + 1));
    if (pOut == nullptr) {
        p_strErr = "Out of memory";
        return PROTECT_DATA_NO_ROOM;
    }
    const unsigned char* pIn = reinterpret_cast<const unsigned char*>(p_pIn);
    for (int i = 0; i < p_iSize; i += kBlock)
        cipher.DecryptBlock(pIn + i, pOut + i);

    int iLength = p_iSize;
    if (p_iSize > 0) {
        const unsigned char pad = pOut[p_iSize - 1];
        const int iDropped = pad < kBlock ? pad : kBlock;
        iLength -= iDropped;
        memset(pOut + iLength, 0, static_cast<size_t>(iDropped));
    }
    p_Out.ReleaseBuffer(iLength);
    return 0;
}

int DecryptProtectedData(const CStream& p_In, CStream& p_Out, CString& p_strErr) {
    return DecryptProtectedData(p_In.GetData(), p_In.GetSize(), p_Out, p_strErr);
}

int EncryptProtectedData(const char* p_pIn, int p_iSize, CStream& p_Out, CString& p_strErr) {
    p_Out.Clear();
    p_strErr.Empty();
    if (p_iSize < 0 || (p_pIn == nullptr && p_iSize != 0)) {
        p_strErr = "Invalid input";
        return PROTECT_DATA_INVALID;
    }
    if (p_iSize > INT_MAX - 2 * kBlock) {
        p_strErr = "Input too large";
        return PROTECT_DATA_NO_ROOM;
    }
    const int iPad = kBlock - p_iSize % kBlock;
    const int iOutSize = p_iSize + iPad;
    unsigned char* pOut = reinterpret_cast<unsigned char*>(p_Out.GetBuffer(iOutSize + 1));
    if (pOut == nullptr) {
        p_strErr = "Out of memory";
        return PROTECT_DATA_NO_ROOM;
    }
    if (p_iSize > 0)
        memcpy(pOut, p_pIn, static_cast<size_t>(p_iSize));
    memset(pOut + p_iSize, iPad, static_cast<size_t>(iPad));

    const CProtectCipher cipher;
    for (int i = 0; i < iOutSize; i += kBlock)
        cipher.EncryptBlock(pOut + i, pOut + i);
    p_Out.ReleaseBuffer(iOutSize);
    return 0;
}
