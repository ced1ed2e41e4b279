// XML parser support shared by the dictionary loader and the message reader:
// counted platform start-up, a SAX2 reader hardened for untrusted input, and
// the narrowing of the parser's UTF-16 text to the library's 8-bit text.
#ifndef VORANT_MSG_XML_SUPPORT_H
#define VORANT_MSG_XML_SUPPORT_H

#include <string>

#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/util/XercesDefs.hpp>

#include "vorant/cstring.hpp"

XERCES_CPP_NAMESPACE_BEGIN
class SecurityManager;
XERCES_CPP_NAMESPACE_END

// Starts the parser platform once more. The platform counts its starts: every
// successful call must be matched by one XmlPlatformTerminate. Calls of both
// are serialised by a process-wide lock. Lets the parser's XMLException (or
// OutOfMemoryException) through when start-up fails; nothing is counted then.
void XmlPlatformInitialize();
void XmlPlatformTerminate();

// Holds one start of the parser platform for its own lifetime.
class CXmlPlatformUse {
public:
    CXmlPlatformUse();   // XmlPlatformInitialize; lets its exceptions through
    ~CXmlPlatformUse();  // XmlPlatformTerminate
    CXmlPlatformUse(const CXmlPlatformUse&) = delete;
    CXmlPlatformUse& operator=(const CXmlPlatformUse&) = delete;
};

// A SAX2 reader for XML that may come from a hostile or broken peer. Owns the
// parser's reader, the SecurityManager that caps entity expansion and an
// entity resolver that refuses every external entity and DTD; features:
// no validation, no schema, namespaces on, namespace prefixes off, external
// DTDs never loaded, default entity resolution off.
//
// The platform must be started while a reader exists. A reader may be kept and
// reused for any number of parses (creating one costs a noticeable share of a
// small parse), but serves one thread at a time.
class CSecureSaxReader {
public:
    // Entity references a document may expand in all (predefined and character
    // references are not counted).
    static const XMLSize_t kEntityExpansionLimit = 100;

    // Lets the parser's XMLException or OutOfMemoryException through.
    CSecureSaxReader();
    ~CSecureSaxReader();
    CSecureSaxReader(const CSecureSaxReader&) = delete;
    CSecureSaxReader& operator=(const CSecureSaxReader&) = delete;

    // Installs p_pHandler as content and error handler for the next parses
    // (null detaches). The handler is not owned.
    void SetHandler(XERCES_CPP_NAMESPACE::DefaultHandler* p_pHandler);

    // Parses p_iLength bytes at p_pData (not copied, not adopted), reporting
    // p_szBufferId as the system id of errors.
    void ParseMemory(const char* p_pData, XMLSize_t p_iLength, const char* p_szBufferId);

    // Parses the local file at p_szPath; the path is never taken as a URL, so
    // nothing is fetched from the network.
    void ParseFile(const char* p_szPath);

    // Errors the last parse reported to the error handler without stopping.
    XMLSize_t GetErrorCount() const;

    XERCES_CPP_NAMESPACE::SAX2XMLReader* GetReader() const { return m_pReader; }

private:
    class CRefusingResolver;

    XERCES_CPP_NAMESPACE::SecurityManager* m_pSecurity;
    CRefusingResolver* m_pResolver;
    XERCES_CPP_NAMESPACE::SAX2XMLReader* m_pReader;
};

// The parser's UTF-16 text as 8-bit text, keeping the low byte of each code
// unit (exact for ISO-8859-1). Stops at the terminating zero; a null text gives
// the empty string. The second form reads at most p_iLength units.
CString NarrowXmlString(const XMLCh* p_pText);
CString NarrowXmlString(const XMLCh* p_pText, XMLSize_t p_iLength);
// Appends the same narrowing of at most p_iLength units (stopping at a zero) to
// p_Out, for readers that gather text in a reusable buffer.
void NarrowXmlAppend(const XMLCh* p_pText, XMLSize_t p_iLength, std::string& p_Out);

// An element name converted by the parser's transcoder to the local code page;
// falls back to NarrowXmlString where the transcoder gives nothing.
CString TranscodeXmlName(const XMLCh* p_pName);

#endif  // VORANT_MSG_XML_SUPPORT_H
