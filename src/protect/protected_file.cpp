#include "protect/protected_file.h"

#include "protect/file_reader.h"
#include "protect/protect_errors.h"
#include "protect/protected_data.h"

int ReadProtectedFile(const char* p_szFileName, CStream& p_Out, CString& p_strErr) {
    CStream cipher;
    const int iRead = ReadWholeFile(p_szFileName, cipher, p_strErr);
    if (iRead < 0) {
        p_Out.Clear();
        return iRead;
    }
    if (cipher.GetSize() % 16 != 0) {
        p_Out.Clear();
        p_strErr = "File may be corrupted";
        return PROTECT_FILE_CORRUPTED;
    }
    const int iDecrypted = DecryptProtectedData(cipher, p_Out, p_strErr);
    if (iDecrypted == PROTECT_DATA_NO_ROOM)
        return PROTECT_FILE_TOO_LARGE;
    if (iDecrypted < 0)
        return PROTECT_FILE_DATA_CORRUPTED;
    return 0;
}
