#include "protect/file_reader.h"

#include <sys/stat.h>

#include <climits>
#include <cstdio>

#include "protect/protect_errors.h"

namespace {

// Closes the file on every path out.
class CFileCloser {
public:
    explicit CFileCloser(FILE* p_pFile) : m_pFile(p_pFile) {}
    ~CFileCloser() { fclose(m_pFile); }
    CFileCloser(const CFileCloser&) = delete;
    CFileCloser& operator=(const CFileCloser&) = delete;

private:
    FILE* m_pFile;
};

int Fail(CStream& p_Out, CString& p_strErr, int p_iCode, const char* p_szText) {
    p_Out.Clear();
    p_strErr = p_szText;
    return p_iCode;
}

}  // namespace

int ReadWholeFile(const char* p_szFileName, CStream& p_Out, CString& p_strErr) {
    p_Out.Clear();
    p_strErr.Empty();
    if (p_szFileName == nullptr)
        return Fail(p_Out, p_strErr, PROTECT_FILE_NULL_NAME, "p_szFileName is NULL");

    struct stat st;
    if (stat(p_szFileName, &st) != 0)
        return Fail(p_Out, p_strErr, PROTECT_FILE_NOT_FOUND, CFormat("File not found(%s)", p_szFileName));
    if (!S_ISREG(st.st_mode))
        return Fail(p_Out, p_strErr, PROTECT_FILE_CANNOT_OPEN, CFormat("File cannot be open(%s)", p_szFileName));
    // The whole file and a terminator must fit an int-sized stream.
    if (st.st_size >= INT_MAX)
        return Fail(p_Out, p_strErr, PROTECT_FILE_TOO_LARGE, CFormat("File too large(%s)", p_szFileName));
    const int iSize = static_cast<int>(st.st_size);

    FILE* pFile = fopen(p_szFileName, "rbe");
    if (pFile == nullptr)
        return Fail(p_Out, p_strErr, PROTECT_FILE_CANNOT_OPEN, CFormat("File cannot be open(%s)", p_szFileName));
    CFileCloser closer(pFile);

    char* pBuffer = p_Out.GetBuffer(iSize + 1);
    if (pBuffer == nullptr)
        return Fail(p_Out, p_strErr, PROTECT_FILE_TOO_LARGE, "Out of memory");

    int iRead = 0;
    while (iRead < iSize) {
        const size_t n = fread(pBuffer + iRead, 1, static_cast<size_t>(iSize - iRead), pFile);
        if (n == 0)
            break;
        iRead += static_cast<int>(n);
    }
    // A file cut or extended since stat would give bytes that are not the
    // file: refuse rather than hand on zeros or a prefix.
    if (ferror(pFile) || iRead != iSize || fgetc(pFile) != EOF || ferror(pFile))
        return Fail(p_Out, p_strErr, PROTECT_FILE_READ_FAILED, "(fread) failed");
    p_Out.ReleaseBuffer(iSize);
    return 0;
}
