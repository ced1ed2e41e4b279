// The MSG_* functions: messages through an opaque handle for C callers.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "api/flat_error.h"
#include "vorant/date.hpp"
#include "vorant/msg.hpp"
#include "vorant/stream.hpp"
#include "vorant/vorant.h"

namespace {

const char kNullMsgText[] = "p_pMsg Parameter is NULL";

// Runs one message operation; an exception becomes a negative result, since
// none may cross into C.
template <typename Operation>
int Guarded(Operation p_Operation) {
    try {
        return p_Operation();
    } catch (const CException& e) {
        return FailureCode(e);
    } catch (const std::bad_alloc&) {
        return MA_ERR_MEMORY;
    } catch (...) {
        return VORANT_FLAT_FAILED;
    }
}

int ToCBool(bool p_bValue) { return p_bValue ? 255 : 0; }

// Text outputs: the length, a copy into a caller's buffer, a malloc'ed copy.
template <typename Read>
int StrLen(CMsg* p_pMsg, Read p_Read) {
    if (p_pMsg == nullptr)
        return MA_ERR_NULL_PARAM;
    return Guarded([&] {
        CString strValue;
        int iResult = p_Read(&strValue);
        return iResult < 0 ? iResult : strValue.GetLength();
    });
}

template <typename Read>
int StrCopy(CMsg* p_pMsg, char* p_pBuffer, Read p_Read) {
    if (p_pMsg == nullptr || p_pBuffer == nullptr)
        return MA_ERR_NULL_PARAM;
    return Guarded([&] {
        CString strValue;
        int iResult = p_Read(&strValue);
        if (iResult >= 0)
            memcpy(p_pBuffer, strValue.ToStr(), static_cast<size_t>(strValue.GetLength()) + 1);
        return iResult;
    });
}

template <typename Read>
char* StrDup(CMsg* p_pMsg, int* p_piResult, Read p_Read) {
    char* pCopy = nullptr;
    int iResult = MA_ERR_NULL_PARAM;
    if (p_pMsg != nullptr) {
        iResult = Guarded([&] {
            CString strValue;
            int iRead = p_Read(&strValue);
            if (iRead < 0)
                return iRead;
            pCopy = strdup(strValue.ToStr());
            return pCopy ? 0 : -11;
        });
    }
    if (p_piResult)
        *p_piResult = iResult;
    return pCopy;
}

template <typename Read>
int BoolRead(CMsg* p_pMsg, int* p_piValue, Read p_Read) {
    if (p_pMsg == nullptr || p_piValue == nullptr)
        return MA_ERR_NULL_PARAM;
    bool bValue = false;
    int iResult = Guarded([&] { return p_Read(&bValue); });
    *p_piValue = ToCBool(bValue);
    return iResult;
}

template <typename Read>
int DateRead(CMsg* p_pMsg, char* p_pDate, Read p_Read) {
    if (p_pMsg == nullptr || p_pDate == nullptr)
        return MA_ERR_NULL_PARAM;
    return Guarded([&] {
        CDate date;
        int iResult = p_Read(&date);
        if (iResult >= 0) {
            size_t nLength = strnlen(date.ToStr(), 8);
            memcpy(p_pDate, date.ToStr(), nLength);
            memset(p_pDate + nLength, 0, 9 - nLength);
        }
        return iResult;
    });
}

template <typename Read>
CMsg* SubRead(CMsg* p_pMsg, int* p_piResult, Read p_Read) {
    CMsg* pSub = nullptr;
    int iResult = MA_ERR_NULL_PARAM;
    if (p_pMsg != nullptr)
        iResult = Guarded([&] { return p_Read(&pSub); });
    if (p_piResult)
        *p_piResult = iResult;
    return iResult < 0 ? nullptr : pSub;
}

}  // namespace

extern "C" {

CMsg* MSG_GetNewMsg(int msgnum, VorantErrorInfo*) { return MA_NewMsg(msgnum); }

void MSG_Destroy(CMsg* msg) { MA_FreeMsg(msg); }

int MSG_GetSelfNum(CMsg* msg) { return msg ? msg->GetSelfNum() : MA_ERR_NULL_PARAM; }

int MSG_SetInt(CMsg* msg, int tag, int value) {
    return msg ? Guarded([&] { return msg->SetValue(tag, value); }) : MA_ERR_NULL_PARAM;
}

int MSG_SetDbl(CMsg* msg, int tag, double value) {
    return msg ? Guarded([&] { return msg->SetValue(tag, value); }) : MA_ERR_NULL_PARAM;
}

int MSG_SetStr(CMsg* msg, int tag, const char* value) {
    if (msg == nullptr)
        return MA_ERR_NULL_PARAM;
    try {
        return msg->SetValue(tag, value);
    } catch (...) {
        return VORANT_FLAT_FAILED;
    }
}

int MSG_SetBool(CMsg* msg, int tag, int value) {
    return msg ? Guarded([&] { return msg->SetValue(tag, value != 0); }) : MA_ERR_NULL_PARAM;
}

int MSG_SetDate(CMsg* msg, int tag, const char* date) {
    if (msg == nullptr)
        return MA_ERR_NULL_PARAM;
    return Guarded([&] {
        // At most 8 characters are read, and none past a zero byte.
        char szText[9] = {0};
        if (date)
            memcpy(szText, date, strnlen(date, 8));
        CDate value;
        value.Set(date ? szText : nullptr);
        return msg->SetValue(tag, value);
    });
}

int MSG_SetSub(CMsg* msg, int tag, CMsg* sub) {
    return msg ? Guarded([&] { return msg->SetValue(tag, sub); }) : MA_ERR_NULL_PARAM;
}

int MSG_GetStrLen(CMsg* msg, int tag) {
    return StrLen(msg, [&](CString* s) { return msg->GetValue(tag, s); });
}

int MSG_GetStr(CMsg* msg, int tag, char* buffer) {
    return StrCopy(msg, buffer, [&](CString* s) { return msg->GetValue(tag, s); });
}

char* MSG_GetStrEx(CMsg* msg, int tag, int* result) {
    return StrDup(msg, result, [&](CString* s) { return msg->GetValue(tag, s); });
}

int MSG_GetInt(CMsg* msg, int tag, int* value) {
    return msg ? Guarded([&] { return msg->GetValue(tag, value); }) : MA_ERR_NULL_PARAM;
}

int MSG_GetDbl(CMsg* msg, int tag, double* value) {
    return msg ? Guarded([&] { return msg->GetValue(tag, value); }) : MA_ERR_NULL_PARAM;
}

int MSG_GetBool(CMsg* msg, int tag, int* value) {
    return BoolRead(msg, value, [&](bool* b) { return msg->GetValue(tag, b); });
}

int MSG_GetDate(CMsg* msg, int tag, char* date) {
    return DateRead(msg, date, [&](CDate* d) { return msg->GetValue(tag, d); });
}

CMsg* MSG_GetSub(CMsg* msg, int tag, int* result) {
    return SubRead(msg, result, [&](CMsg** m) { return msg->GetValue(tag, m); });
}

int MSG_GetArrSize(CMsg* msg, int tag) {
    return msg ? Guarded([&] { return msg->GetArrSize(tag); }) : MA_ERR_NULL_PARAM;
}

int MSG_GetAtStrLen(CMsg* msg, int tag, int idx) {
    return StrLen(msg, [&](CString* s) { return msg->GetValueAt(tag, idx, s); });
}

int MSG_GetAtStrArr(CMsg* msg, int tag, int idx, char* buffer) {
    return StrCopy(msg, buffer, [&](CString* s) { return msg->GetValueAt(tag, idx, s); });
}

char* MSG_GetAtStrArrEx(CMsg* msg, int tag, int idx, int* result) {
    return StrDup(msg, result, [&](CString* s) { return msg->GetValueAt(tag, idx, s); });
}

int MSG_GetAtIntArr(CMsg* msg, int tag, int idx, int* value) {
    return msg ? Guarded([&] { return msg->GetValueAt(tag, idx, value); }) : MA_ERR_NULL_PARAM;
}

int MSG_GetAtDblArr(CMsg* msg, int tag, int idx, double* value) {
    return msg ? Guarded([&] { return msg->GetValueAt(tag, idx, value); }) : MA_ERR_NULL_PARAM;
}

int MSG_GetAtBoolArr(CMsg* msg, int tag, int idx, int* value) {
    return BoolRead(msg, value, [&](bool* b) { return msg->GetValueAt(tag, idx, b); });
}

int MSG_GetAtDateArr(CMsg* msg, int tag, int idx, char* date) {
    return DateRead(msg, date, [&](CDate* d) { return msg->GetValueAt(tag, idx, d); });
}

CMsg* MSG_GetAtSubArr(CMsg* msg, int tag, int idx, int* result) {
    return SubRead(msg, result, [&](CMsg** m) { return msg->GetValueAt(tag, idx, m); });
}

const char* MSG_GetLastError(CMsg* msg) { return msg ? msg->GetLastError() : kNullMsgText; }

int MSG_Dump(CMsg* msg, const char* path, VorantErrorInfo* err) {
    if (msg == nullptr) {
        if (err)
            SetErrorInfo(MA_ERR_NULL_PARAM, kNullMsgText, 0, err);
        return MA_ERR_NULL_PARAM;
    }
    FILE* pFile = stdout;
    if (path) {
        pFile = fopen(path, "a");
        if (pFile == nullptr) {
            if (err)
                SetErrorInfo(MA_ERR_FILE_NOT_FOUND, "cannot open file", 0, err);
            return VORANT_FLAT_FAILED;
        }
    }
    int iResult = Guarded([&] {
        CStream stream;
        msg->Dump(&stream, false, 1);
        if (stream.GetData())
            fputs(stream.GetData(), pFile);
        return 0;
    });
    if (path)
        fclose(pFile);
    else
        fflush(pFile);
    return iResult;
}

}  // extern "C"
