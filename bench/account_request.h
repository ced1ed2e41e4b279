// The account request (message 1001 of the example dictionary) that the
// benchmarks send, built to a given size.
#ifndef VORANT_BENCH_ACCOUNT_REQUEST_H
#define VORANT_BENCH_ACCOUNT_REQUEST_H

#include <cstdio>
#include <memory>

#include "vorant/date.hpp"
#include "vorant/msg.hpp"
#include "vorant/stream.hpp"

namespace bench {

const int kAccountRequest = 1001;
const int kAccountLine = 2001;

struct MsgFree {
    void operator()(CMsg* p_pMsg) const { MA_FreeMsg(p_pMsg); }
};
using MsgPtr = std::unique_ptr<CMsg, MsgFree>;

// An account request whose numbered XML is at least p_iBytes (lines are
// added until it is, and then a sixteenth more at most); the XML's size goes
// to p_pXmlSize when given.
inline MsgPtr MakeRequest(int p_iBytes, int* p_pXmlSize = nullptr) {
    MsgPtr pMsg(MA_NewMsg(kAccountRequest));
    pMsg->SetValue(1, "ACCT-0000123456");
    pMsg->SetValue(2, 42);
    pMsg->SetValue(3, 123456.789);
    pMsg->SetValue(4, true);
    pMsg->SetValue(5, CDate(20240131));
    pMsg->SetValue(7, "deliver before noon");
    CStream xml;
    char szCode[32];
    for (int i = 0, iNextCheck = 0;; ++i) {
        if (i == iNextCheck) {
            pMsg->ToXml(&xml, false, false, 1);
            if (xml.GetSize() >= p_iBytes)
                break;
            iNextCheck = i + i / 16 + 1;
        }
        CMsg* pLine = MA_NewMsg(kAccountLine);
        std::snprintf(szCode, sizeof szCode, "LN-%07d", i * 7919 % 10000000);
        pLine->SetValue(1, szCode);
        pLine->SetValue(2, i * 37 % 1000);
        pMsg->SetValue(6, pLine);  // the request owns the line from here
    }
    if (p_pXmlSize)
        *p_pXmlSize = xml.GetSize();
    return pMsg;
}

}  // namespace bench

#endif  // VORANT_BENCH_ACCOUNT_REQUEST_H
