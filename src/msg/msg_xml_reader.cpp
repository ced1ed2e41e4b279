// CMsg::LoadXml, ParseMsgXml and LoadMsgXml: message XML from memory or from a
// pull source into a message, on a hardened SAX2 reader that each thread
// keeps for its own parses.
#include <cstring>
#include <memory>
#include <new>

#include <xercesc/sax/InputSource.hpp>
#include <xercesc/sax/SAXException.hpp>
#include <xercesc/util/BinInputStream.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "msg/msg_handler.h"
#include "msg/msg_xml_source.h"
#include "msg/xml_support.h"

XERCES_CPP_NAMESPACE_USE

namespace {

// One thread's reader and the platform start it needs. Threads share
// nothing: each parses on its own reader.
struct CThreadReader {
    std::unique_ptr<CXmlPlatformUse> m_pPlatform;
    std::unique_ptr<CSecureSaxReader> m_pReader;  // released before the platform
    bool m_bBusy = false;

    ~CThreadReader() { m_pReader.reset(); }
};

thread_local CThreadReader t_Reader;

// Documents up to this size leave the thread's reader for the next parse.
const size_t kKeptReaderDocument = 256 * 1024;

// Lends this thread's reader to one parse (a nested parse gets a reader of
// its own). A reader that saw an exception is dropped, not reused.
class CReaderLease {
public:
    CReaderLease() : m_pOwner(t_Reader.m_bBusy ? nullptr : &t_Reader) {
        if (m_pOwner)
            m_pOwner->m_bBusy = true;
    }
    ~CReaderLease() {
        if (!m_pOwner)
            return;
        if (m_pOwner->m_pReader) {
            m_pOwner->m_pReader->SetHandler(nullptr);
            m_pOwner->m_pReader->GetReader()->setLexicalHandler(nullptr);
        }
        m_pOwner->m_bBusy = false;
    }
    CReaderLease(const CReaderLease&) = delete;
    CReaderLease& operator=(const CReaderLease&) = delete;

    CSecureSaxReader& Get() {
        CThreadReader& holder = m_pOwner ? *m_pOwner : m_Private;
        if (!holder.m_pPlatform)
            holder.m_pPlatform.reset(new CXmlPlatformUse());
        if (!holder.m_pReader) {
            std::unique_ptr<CSecureSaxReader> pReader(new CSecureSaxReader());
            // Message XML never needs namespaces; elements and attributes are
            // known by their qualified names. The default scanner stays: the
            // well-formedness one checks duplicate attributes pairwise, so a
            // hostile tag with 200 000 attributes took minutes.
            pReader->GetReader()->setFeature(XMLUni::fgSAX2CoreNameSpaces, false);
            holder.m_pReader = std::move(pReader);
        }
        return *holder.m_pReader;
    }

    void Discard() {
        CThreadReader& holder = m_pOwner ? *m_pOwner : m_Private;
        holder.m_pReader.reset();
    }

private:
    CThreadReader* m_pOwner;  // null when this thread's reader is in use
    CThreadReader m_Private;
};

// The document of a CMsgXmlSource as the parser reads its input: up to the
// source's end or the first zero byte, whichever comes first.
class CSourceStream : public BinInputStream {
public:
    // p_nRead counts the bytes the parser took; it outlives this stream,
    // which the parser deletes when it is done.
    CSourceStream(CMsgXmlSource& p_Source, XMLFilePos& p_nRead) : m_Source(p_Source), m_nPos(p_nRead) {}

    XMLFilePos curPos() const override { return m_nPos; }
    XMLSize_t readBytes(XMLByte* const p_pTo, const XMLSize_t p_nMax) override {
        if (m_bEnded || p_nMax == 0)
            return 0;
        size_t n = m_Source.Read(reinterpret_cast<char*>(p_pTo), p_nMax);
        const void* pZero = n ? std::memchr(p_pTo, 0, n) : nullptr;
        if (n == 0 || pZero) {
            m_bEnded = true;
            n = pZero ? static_cast<size_t>(static_cast<const XMLByte*>(pZero) - p_pTo) : 0;
        }
        m_nPos += n;
        return n;
    }
    const XMLCh* getContentType() const override { return nullptr; }

private:
    CMsgXmlSource& m_Source;
    XMLFilePos& m_nPos;
    bool m_bEnded = false;
};

// Hands the parser one CSourceStream; errors name "MemData", as those of a
// document in memory do.
class CSourceInput : public InputSource {
public:
    explicit CSourceInput(CMsgXmlSource& p_Source) : InputSource("MemData"), m_Source(p_Source) {}
    BinInputStream* makeStream() const override { return new CSourceStream(m_Source, m_nRead); }
    // Bytes the parser took.
    XMLFilePos BytesRead() const { return m_nRead; }

private:
    CMsgXmlSource& m_Source;
    mutable XMLFilePos m_nRead = 0;
};

// One parse of p_pHandler's document on this thread's reader: p_fnParse
// parses on the reader and returns the document's size. Maps every failure
// to the reader's CException.
template <class Parse>
void ParseWith(MsgHandler* p_pHandler, Parse p_fnParse) {
    CReaderLease lease;
    XMLSize_t iErrors = 0;
    try {
        CSecureSaxReader& reader = lease.Get();
        reader.SetHandler(p_pHandler);
        reader.GetReader()->setLexicalHandler(p_pHandler);
        const size_t iLength = p_fnParse(reader);
        iErrors = reader.GetErrorCount();
        // The parser keeps the buffers it grew (a long text costs it twice
        // the text, or more) for the reader's life: a large document's
        // reader is not kept.
        if (iLength > kKeptReaderDocument)
            lease.Discard();
    } catch (const OutOfMemoryException&) {
        lease.Discard();
        throw CException("XMLParser out of memory", MA_ERR_MEMORY);
    } catch (const std::bad_alloc&) {
        lease.Discard();
        throw CException("XMLParser out of memory", MA_ERR_MEMORY);
    } catch (const XMLException& e) {
        lease.Discard();
        throw CException(MA_ERR_XML_PARSE, "XMLParser internal error: %s\n", NarrowXmlString(e.getMessage()).ToStr());
    } catch (const SAXException& e) {
        lease.Discard();
        throw CException(MA_ERR_XML_PARSE, "XMLParser internal error: %s\n", NarrowXmlString(e.getMessage()).ToStr());
    } catch (const CException& e) {
        lease.Discard();
        throw CException(e.GetCode(), "Handler error : %s", e.GetText());
    }
    if (iErrors > 0)
        throw CException(MA_ERR_XML_PARSE, "XMLParser internal error : %d", static_cast<int>(iErrors));
}

}  // namespace

void ParseMsgXml(const char* p_szXml, MsgHandler* p_pHandler) {
    if (!p_szXml)
        throw CException("Parameter is NULL", MA_ERR_NULL_PARAM);
    ParseWith(p_pHandler, [p_szXml](CSecureSaxReader& p_Reader) {
        const size_t iLength = std::strlen(p_szXml);
        p_Reader.ParseMemory(p_szXml, iLength, "MemData");
        return iLength;
    });
}

void LoadMsgXml(CMsg* p_pMsg, CMsgXmlSource& p_Source) {
    if (!p_pMsg)
        throw CException("Parameter is NULL", MA_ERR_NULL_PARAM);
    MsgHandler handler(p_pMsg, p_pMsg->GetMsgDic());
    ParseWith(&handler, [&p_Source](CSecureSaxReader& p_Reader) { return ParseMsgXmlSource(p_Reader, p_Source); });
}

size_t ParseMsgXmlSource(CSecureSaxReader& p_Reader, CMsgXmlSource& p_Source) {
    CSourceInput input(p_Source);
    p_Reader.GetReader()->parse(input);
    return static_cast<size_t>(input.BytesRead());
}

int CMsg::LoadXml(const char* p_szXml) {
    if (!p_szXml)
        return MA_ERR_NULL_PARAM;
    MsgHandler handler(this, GetMsgDic());
    ParseMsgXml(p_szXml, &handler);
    return 0;
}
