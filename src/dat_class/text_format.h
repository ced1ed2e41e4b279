// printf-style texts of any length: the one loop that formats into a buffer
// grown until the text fits. CString::Format, CFormat, the last-error texts
// of messages and the transport's error texts all format through it.
#ifndef VORANT_DAT_CLASS_TEXT_FORMAT_H
#define VORANT_DAT_CLASS_TEXT_FORMAT_H

#include <cstdarg>
#include <exception>

#include "vorant/cstring.hpp"

namespace vorant {
namespace text_format {

// How a text's buffer grows and what a failed allocation is called: buffers
// hold the first multiple of m_iStep bytes that fits the text and its zero
// byte (plus m_iSpare bytes that stay zero), and a failed allocation raises
// CException -11 "at <m_szUnit>(<line> lines), (new <m_szExpr>) failed(...)".
struct CSteps {
    int m_iStep;
    const char* m_szUnit;
    const char* m_szExpr;
    int m_iSpare;
};

// Formats into a fresh, zeroed buffer of m_iStep + m_iSpare bytes, or, when
// the text does not fit, straight into the first larger step that holds it.
// Returns the buffer (the caller's, delete[]) with its size in
// *p_piBufferSize and the text's length in *p_piLength; or null with a
// negative *p_piLength when p_szFormat is null or vsnprintf fails. p_Args is
// read through copies: the caller still ends it. Raises as CSteps says.
char* FormatToNewBuffer(const CSteps& p_Steps, const char* p_szFormat, va_list p_Args, int* p_piLength,
                        int* p_piBufferSize);

// The text as a CString. A text shorter than m_iStep (and than 1024) bytes
// is formatted on the stack and takes no buffer of its own; a longer one
// goes through one buffer of the step that holds it. "" when p_szFormat is
// null or vsnprintf fails.
CString FormatText(const CSteps& p_Steps, const char* p_szFormat, va_list p_Args);

// FormatText for a variadic function, which must end its va_list before
// anything is raised:
//     va_start(args, p_szFormat);
//     CFormatted text(kSteps, p_szFormat, args);
//     va_end(args);
//     CString strText = text.Take();
// Owns the text (or the failure) until Take; one thread.
class CFormatted {
public:
    CFormatted(const CSteps& p_Steps, const char* p_szFormat, va_list p_Args);
    // The text; raises what formatting raised.
    CString Take();

private:
    CString m_strText;
    std::exception_ptr m_pFailure;
};

}  // namespace text_format
}  // namespace vorant

#endif  // VORANT_DAT_CLASS_TEXT_FORMAT_H
