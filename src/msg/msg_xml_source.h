// Message XML read from a pull source instead of one buffer in memory, so
// that a body can go from its producer (an inflater) straight into the parser.
#ifndef VORANT_MSG_MSG_XML_SOURCE_H
#define VORANT_MSG_MSG_XML_SOURCE_H

#include <cstddef>

class CMsg;
class CSecureSaxReader;

// The bytes of one message XML document, read once from start to end by one
// parse on the caller's thread. A source that fails simply ends early and
// keeps its own error for its owner, who decides what is reported.
class CMsgXmlSource {
public:
    virtual ~CMsgXmlSource() = default;
    // Copies up to p_nMax (> 0) bytes to p_pBuffer; 0 at the end.
    virtual size_t Read(char* p_pBuffer, size_t p_nMax) = 0;
};

// A CMsgXmlSource over any reader with the same Read (a lower layer's
// inflater, say, which cannot know this interface). Does not own the reader.
template <class TReader>
class CMsgXmlReaderSource : public CMsgXmlSource {
public:
    explicit CMsgXmlReaderSource(TReader& p_Reader) : m_Reader(p_Reader) {}
    size_t Read(char* p_pBuffer, size_t p_nMax) override { return m_Reader.Read(p_pBuffer, p_nMax); }

private:
    TReader& m_Reader;
};

// Parses the document p_Source gives on p_Reader (with its handlers), as
// far as the parser reads; the parser's exceptions pass on. The bytes read.
size_t ParseMsgXmlSource(CSecureSaxReader& p_Reader, CMsgXmlSource& p_Source);

// CMsg::LoadXml of the document p_Source gives: the same values, codes and
// texts (the document ends at its first zero byte, as a text does). Raises
// CException as LoadXml does; -12 for a null message.
void LoadMsgXml(CMsg* p_pMsg, CMsgXmlSource& p_Source);

#endif  // VORANT_MSG_MSG_XML_SOURCE_H
