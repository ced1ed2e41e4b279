#include "dat_class/alloc_failure.h"

#include "vorant/codes.h"
#include "vorant/exception.hpp"

namespace vorant {

void ThrowAllocFailure(const char* p_szUnit, int p_iLine, const char* p_szExpr, const std::exception& p_Failure) {
    throw CException(MA_ERR_MEMORY, "at %s(%d lines), (new %s) failed(%s)", p_szUnit, p_iLine, p_szExpr,
                     p_Failure.what());
}

}  // namespace vorant
