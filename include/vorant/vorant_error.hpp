// vorant: the caller's error record of the service facade.
//
// Threads: a record serves one call, and so one thread, at a time; records
// of different calls are independent.
#ifndef VORANT_VORANT_ERROR_HPP
#define VORANT_VORANT_ERROR_HPP

#include "vorant/cstring.hpp"
#include "vorant/export.h"

// Code, text and the service number an error refers to. Owns its text;
// copies are deep. What the code means depends on the result of the call
// that filled the record: see vorant/codes.h. Setting a text raises
// CException MA_ERR_MEMORY when memory runs out.
class VORANT_API CVorantError {
public:
    CVorantError();
    CVorantError(const CVorantError& p_Other);
    CVorantError& operator=(const CVorantError& p_Other);
    ~CVorantError();

    // Replaces all three fields with a copy of p_szText (null gives "").
    void SetError(int p_iCode, const char* p_szText, int p_iRefSvcNum);
    // Code 0 and reference service number 0.
    void SetError(const char* p_szText);
    // Code 0, "" and 0: no error.
    void Clear();

    int GetCode() const { return m_iCode; }
    CString GetText() const { return m_strText; }
    int GetRefSvcNum() const { return m_iRefSvcNum; }

    // With a server code (above 0) all three fields,
    // "CVorantError: Code=<code>, Text=<text>, RefSvcNum=<number>"; otherwise
    // "CVorantError: <text>".
    CString Repr() const;

private:
    int m_iCode;
    CString m_strText;
    int m_iRefSvcNum;
};

#endif  // VORANT_VORANT_ERROR_HPP
