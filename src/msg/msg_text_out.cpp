// CMsgTextOut: the piece writers shared by the XML writer and the dumps.
#include "msg/msg_text_out.h"

#include <climits>
#include <cstdlib>

#include "dat_class/num_text.h"

void CMsgTextOut::Flush() {
    if (m_iUsed > 0)
        m_pStream->AppendData(m_szChunk, static_cast<int>(m_iUsed));
    m_iUsed = 0;
}

void CMsgTextOut::PutLong(const char* p_pText, size_t p_iLength) {
    Flush();
    if (p_iLength < kChunkSize) {
        std::memcpy(m_szChunk, p_pText, p_iLength);
        m_iUsed = p_iLength;
        return;
    }
    while (p_iLength > 0) {
        int iPiece = p_iLength > static_cast<size_t>(INT_MAX / 2) ? INT_MAX / 2 : static_cast<int>(p_iLength);
        if (m_pStream->AppendData(p_pText, iPiece) < 0)
            return;
        p_pText += iPiece;
        p_iLength -= static_cast<size_t>(iPiece);
    }
}

void CMsgTextOut::PutInt(int p_iValue) {
    char szText[vorant::num_text::kIntSize];
    Put(szText, static_cast<size_t>(vorant::num_text::WriteInt(szText, p_iValue)));
}

void CMsgTextOut::PutDbl(double p_dValue) {
    char szText[vorant::num_text::kDblSize];
    int iLength = vorant::num_text::WriteDbl(szText, p_dValue);
    if (iLength > 0)
        Put(szText, static_cast<size_t>(iLength));
}

void CMsgTextOut::PutIndent(int p_iDepth) {
    // printf pads "  " to the width; a negative width pads on the right.
    long long lWidth = std::llabs(2LL * p_iDepth);
    if (lWidth < 2)
        lWidth = 2;
    // Bounded: a caller's absurd depth must not ask for gigabytes of blanks.
    if (lWidth > 4096)
        lWidth = 4096;
    static const char kBlanks[] = "                                                                ";
    const size_t kChunk = sizeof(kBlanks) - 1;
    size_t iLeft = static_cast<size_t>(lWidth);
    while (iLeft > 0) {
        size_t iPiece = iLeft < kChunk ? iLeft : kChunk;
        Put(kBlanks, iPiece);
        iLeft -= iPiece;
    }
}

void CMsgTextOut::PutCData(const char* p_pText, size_t p_iLength) {
    Put("<![CDATA[", 9);
    const char* pEnd = p_pText + p_iLength;
    const char* pRun = p_pText;
    const char* pScan = p_pText;
    while (pScan < pEnd) {
        const char* pGt = static_cast<const char*>(std::memchr(pScan, '>', static_cast<size_t>(pEnd - pScan)));
        const char* pCr = static_cast<const char*>(std::memchr(pScan, '\r', static_cast<size_t>(pEnd - pScan)));
        const char* pHit = !pGt ? pCr : (!pCr ? pGt : (pGt < pCr ? pGt : pCr));
        if (!pHit)
            break;
        if (*pHit == '\r') {
            Put(pRun, static_cast<size_t>(pHit - pRun));
            Put("]]>&#13;<![CDATA[", 17);
            pRun = pScan = pHit + 1;
        } else if (pHit - p_pText >= 2 && pHit[-1] == ']' && pHit[-2] == ']') {
            // "]]" ends this section, ">" opens the next one.
            Put(pRun, static_cast<size_t>(pHit - pRun));
            Put("]]><![CDATA[", 12);
            pRun = pHit;
            pScan = pHit + 1;
        } else {
            pScan = pHit + 1;
        }
    }
    Put(pRun, static_cast<size_t>(pEnd - pRun));
    Put("]]>", 3);
}

namespace {

// The reference that stands for p_cChar in character data (p_cQuote 0) or
// in an attribute value between p_cQuote characters; null when it stands
// for itself.
const char* Reference(char p_cChar, char p_cQuote) {
    switch (p_cChar) {
        case '&': return "&amp;";
        case '<': return "&lt;";
        case '>': return p_cQuote ? nullptr : "&gt;";
        case '"': return p_cQuote == '"' ? "&quot;" : nullptr;
        case '\'': return p_cQuote == '\'' ? "&apos;" : nullptr;
        // A parser turns these into blanks inside attribute values.
        case '\t': return p_cQuote ? "&#9;" : nullptr;
        case '\n': return p_cQuote ? "&#10;" : nullptr;
        // And a carriage return into a line feed anywhere.
        case '\r': return "&#13;";
        default: return nullptr;
    }
}

}  // namespace

void CMsgTextOut::PutEscaped(const char* p_szText, char p_cQuote) {
    const char* pRun = p_szText;
    for (const char* p = p_szText; *p; ++p) {
        const char* pRef = Reference(*p, p_cQuote);
        if (pRef) {
            Put(pRun, static_cast<size_t>(p - pRun));
            Put(pRef);
            pRun = p + 1;
        }
    }
    Put(pRun, std::strlen(pRun));
}

void CMsgTextOut::PutAttr(const char* p_szText, char p_cQuote) {
    Put(p_cQuote);
    PutEscaped(p_szText, p_cQuote);
    Put(p_cQuote);
}
