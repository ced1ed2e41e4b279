// Appends the pieces of message XML and dumps to a stream: raw text, numbers
// in their locale-free forms, CDATA sections and quoted attribute values.
#ifndef VORANT_MSG_MSG_TEXT_OUT_H
#define VORANT_MSG_MSG_TEXT_OUT_H

#include <cstddef>
#include <cstring>

#include "vorant/stream.hpp"

// Writes to a stream it does not own, gathering small pieces into chunks so
// that the stream grows once per chunk rather than once per piece; the
// destructor appends what is left. A piece the stream cannot take is lost
// and writing goes on, as the writers' callers expect.
class CMsgTextOut {
public:
    explicit CMsgTextOut(CStream* p_pStream) : m_pStream(p_pStream), m_iUsed(0) {}
    ~CMsgTextOut() { Flush(); }
    CMsgTextOut(const CMsgTextOut&) = delete;
    CMsgTextOut& operator=(const CMsgTextOut&) = delete;

    void Put(const char* p_pText, size_t p_iLength) {
        if (p_iLength <= kChunkSize - m_iUsed) {
            std::memcpy(m_szChunk + m_iUsed, p_pText, p_iLength);
            m_iUsed += p_iLength;
        } else {
            PutLong(p_pText, p_iLength);
        }
    }
    void Put(const char* p_szText) { Put(p_szText, std::strlen(p_szText)); }
    void Put(char p_cChar) {
        if (m_iUsed == kChunkSize)
            Flush();
        m_szChunk[m_iUsed++] = p_cChar;
    }
    void PutInt(int p_iValue);
    // "%.15e" with an exponent of at least three digits.
    void PutDbl(double p_dValue);
    void PutBool(bool p_bValue) { p_bValue ? Put("true", 4) : Put("false", 5); }
    // The indentation of dumps: what "%*s" prints for width 2 * depth and
    // the argument "  ".
    void PutIndent(int p_iDepth);
    // A CDATA section holding the bytes exactly: "]]>" is split across two
    // sections and a carriage return goes between sections as "&#13;", which
    // a parser would otherwise turn into a line feed.
    void PutCData(const char* p_pText, size_t p_iLength);
    // Character data with '&', '<', '>' and a carriage return written as
    // references: a date holds whatever 8 characters it was given.
    void PutText(const char* p_szText) { PutEscaped(p_szText, 0); }
    // An attribute value between p_cQuote characters, with the characters
    // that would end or change it written as references.
    void PutAttr(const char* p_szText, char p_cQuote);

    // Appends the gathered pieces to the stream.
    void Flush();

private:
    static const size_t kChunkSize = 4096;

    void PutLong(const char* p_pText, size_t p_iLength);
    // p_szText with references for what would end or change it in
    // character data (p_cQuote 0) or in an attribute value quoted by p_cQuote.
    void PutEscaped(const char* p_szText, char p_cQuote);

    CStream* m_pStream;
    size_t m_iUsed;
    char m_szChunk[kChunkSize];
};

#endif  // VORANT_MSG_MSG_TEXT_OUT_H
