// Vorant_Initialize, Vorant_InitializeEx and Vorant_CallService.
#include <new>

#include "api/flat_error.h"
#include "vorant/cvorant.hpp"
#include "vorant/vorant.h"

namespace {

// Runs one facade operation for a C caller: its record is copied into p_pInfo
// on failure, and no exception crosses into C.
template <typename Operation>
int RunForC(VorantErrorInfo* p_pInfo, Operation p_Operation) {
    if (p_pInfo == nullptr)
        return -12;
    try {
        CVorantError err;
        int iResult = p_Operation(&err);
        if (iResult < 0)
            CopyErrorInfo(err, p_pInfo);
        return iResult;
    } catch (const CException& e) {
        CopyErrorInfo(e, p_pInfo);
        return FailureCode(e);
    } catch (const std::bad_alloc&) {
        CopyErrorInfo(CException("Out of memory", -11), p_pInfo);
        return -11;
    } catch (...) {
        CopyErrorInfo(CException("Unexpected exception", 0), p_pInfo);
        return -1;
    }
}

}  // namespace

extern "C" {

int Vorant_Initialize(const char* configPath, VorantErrorInfo* err) {
    return RunForC(err, [&](CVorantError* e) { return CVorant::Initialize(configPath, e); });
}

int Vorant_InitializeEx(const char* keyFile, const char* msgDic, const char* host, int port, int timeout,
                        VorantErrorInfo* err) {
    return RunForC(err, [&](CVorantError* e) { return CVorant::Initialize(keyFile, msgDic, host, port, timeout, e); });
}

int Vorant_CallService(int svcnum, CMsg* in, CMsg* out, VorantErrorInfo* err) {
    return RunForC(err, [&](CVorantError* e) { return CVorant::CallServiceByMsg(svcnum, in, out, e); });
}

}  // extern "C"
