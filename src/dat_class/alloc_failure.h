// How a failed allocation becomes CException -11.
#ifndef VORANT_DAT_CLASS_ALLOC_FAILURE_H
#define VORANT_DAT_CLASS_ALLOC_FAILURE_H

#include <exception>
#include <new>

namespace vorant {

// Throws CException -11 "at <unit>(<line> lines), (new <expr>) failed(<what>)".
// p_szUnit names the source unit, e.g. "dat_class/cstring", "msg_error".
[[noreturn]] void ThrowAllocFailure(const char* p_szUnit, int p_iLine, const char* p_szExpr,
                                    const std::exception& p_Failure);

}  // namespace vorant

// VORANT_NEW("dat_class/cstring", char[m_iBufferSize]) is `new char[m_iBufferSize]`
// whose std::bad_alloc becomes CException -11 naming the unit, this line and
// the expression as written. Other exceptions of a constructor pass through.
// The spelling is part of the text: where clang-format would respace it
// ("char[iLen+1]"), the line stands between clang-format off and on.
#define VORANT_NEW(unit, ...)                                                                   \
    ([&]() {                                                                                    \
        try {                                                                                   \
            return new __VA_ARGS__;                                                             \
        } catch (const std::bad_alloc& vorant_alloc_failure_) {                                 \
            ::vorant::ThrowAllocFailure((unit), __LINE__, #__VA_ARGS__, vorant_alloc_failure_); \
        }                                                                                       \
    }())

#endif  // VORANT_DAT_CLASS_ALLOC_FAILURE_H
