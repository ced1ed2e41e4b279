// Copies of the library's errors into the flat interface's fixed record.
#ifndef VORANT_API_FLAT_ERROR_H
#define VORANT_API_FLAT_ERROR_H

#include "vorant/exception.hpp"
#include "vorant/vorant.h"
#include "vorant/vorant_error.hpp"

// The record's text keeps at most this many characters and a zero byte.
const int kFlatTextMax = 1022;

// Fills p_pInfo (never null): the text is cut to kFlatTextMax characters and
// the rest of the record's text is zeroed.
void SetErrorInfo(int p_iCode, const char* p_szText, int p_iRefSvcNum, VorantErrorInfo* p_pInfo);
// Fills p_pInfo from the fields of p_Err.
void CopyErrorInfo(const CVorantError& p_Err, VorantErrorInfo* p_pInfo);
// Fills p_pInfo with the code of p_Exception, its text in the library's
// "MSG_Error(%d) : %s {%s}" form, and reference service number 0.
void CopyErrorInfo(const CException& p_Exception, VorantErrorInfo* p_pInfo);

// The result a flat function reports for a caught exception: its code when
// negative, else VORANT_FLAT_FAILED, so that a failure never reads as success.
inline int FailureCode(const CException& p_Exception) {
    return p_Exception.GetCode() < 0 ? p_Exception.GetCode() : VORANT_FLAT_FAILED;
}

#endif  // VORANT_API_FLAT_ERROR_H
