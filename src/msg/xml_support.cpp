#include "msg/xml_support.h"

#include <climits>
#include <mutex>

#include <xercesc/framework/LocalFileInputSource.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax/EntityResolver.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

XERCES_CPP_NAMESPACE_USE

namespace {

// Serialises every start and stop of the platform; constant-initialised, so it
// is usable from any static constructor or destructor.
std::mutex g_PlatformLock;

// Owns one transcoded text of the parser and releases it.
class CTranscoded {
public:
    explicit CTranscoded(const XMLCh* p_pText) : m_pText(XMLString::transcode(p_pText)) {}
    ~CTranscoded() { XMLString::release(&m_pText); }
    CTranscoded(const CTranscoded&) = delete;
    CTranscoded& operator=(const CTranscoded&) = delete;
    const char* Get() const { return m_pText; }

private:
    char* m_pText;
};

// The parser's own text of a file path or buffer id.
class CXmlText {
public:
    explicit CXmlText(const char* p_szText) : m_pText(XMLString::transcode(p_szText)) {}
    ~CXmlText() { XMLString::release(&m_pText); }
    CXmlText(const CXmlText&) = delete;
    CXmlText& operator=(const CXmlText&) = delete;
    const XMLCh* Get() const { return m_pText; }

private:
    XMLCh* m_pText;
};

}  // namespace

void XmlPlatformInitialize() {
    std::lock_guard<std::mutex> lock(g_PlatformLock);
    XMLPlatformUtils::Initialize(XMLUni::fgXercescDefaultLocale);
}

void XmlPlatformTerminate() {
    std::lock_guard<std::mutex> lock(g_PlatformLock);
    XMLPlatformUtils::Terminate();
}

CXmlPlatformUse::CXmlPlatformUse() { XmlPlatformInitialize(); }

CXmlPlatformUse::~CXmlPlatformUse() { XmlPlatformTerminate(); }

// Answers every request for an external entity or DTD with nothing; with the
// parser's default resolution switched off, the document then fails with
// "unable to open external entity" instead of reading a file or a URL.
class CSecureSaxReader::CRefusingResolver : public EntityResolver {
public:
    InputSource* resolveEntity(const XMLCh* const, const XMLCh* const) override { return nullptr; }
};

CSecureSaxReader::CSecureSaxReader() : m_pSecurity(nullptr), m_pResolver(nullptr), m_pReader(nullptr) {
    try {
        m_pSecurity = new SecurityManager();
        m_pSecurity->setEntityExpansionLimit(kEntityExpansionLimit);
        m_pResolver = new CRefusingResolver();
        m_pReader = XMLReaderFactory::createXMLReader(XMLPlatformUtils::fgMemoryManager);
        m_pReader->setFeature(XMLUni::fgSAX2CoreValidation, false);
        m_pReader->setFeature(XMLUni::fgXercesDynamic, false);
        m_pReader->setFeature(XMLUni::fgXercesSchema, false);
        m_pReader->setFeature(XMLUni::fgXercesSchemaFullChecking, false);
        m_pReader->setFeature(XMLUni::fgSAX2CoreNameSpaces, true);
        m_pReader->setFeature(XMLUni::fgSAX2CoreNameSpacePrefixes, false);
        m_pReader->setFeature(XMLUni::fgXercesLoadExternalDTD, false);
        m_pReader->setFeature(XMLUni::fgXercesDisableDefaultEntityResolution, true);
        m_pReader->setProperty(XMLUni::fgXercesSecurityManager, m_pSecurity);
        m_pReader->setEntityResolver(m_pResolver);
    } catch (...) {
        delete m_pReader;
        delete m_pResolver;
        delete m_pSecurity;
        throw;
    }
}

CSecureSaxReader::~CSecureSaxReader() {
    // The reader refers to the other two: it goes first.
    delete m_pReader;
    delete m_pResolver;
    delete m_pSecurity;
}

void CSecureSaxReader::SetHandler(DefaultHandler* p_pHandler) {
    m_pReader->setContentHandler(p_pHandler);
    m_pReader->setErrorHandler(p_pHandler);
}

void CSecureSaxReader::ParseMemory(const char* p_pData, XMLSize_t p_iLength, const char* p_szBufferId) {
    static const XMLByte kEmpty[1] = {0};
    const XMLByte* pBytes = p_pData ? reinterpret_cast<const XMLByte*>(p_pData) : kEmpty;
    MemBufInputSource source(pBytes, p_pData ? p_iLength : 0, p_szBufferId ? p_szBufferId : "", false);
    // The caller's bytes outlive the parse: the parser reads them in place
    // rather than from a copy of the whole document.
    source.setCopyBufToStream(false);
    m_pReader->parse(source);
}

void CSecureSaxReader::ParseFile(const char* p_szPath) {
    CXmlText path(p_szPath ? p_szPath : "");
    LocalFileInputSource source(path.Get());
    m_pReader->parse(source);
}

XMLSize_t CSecureSaxReader::GetErrorCount() const { return m_pReader->getErrorCount(); }

// Code units of p_pText before its zero, at most p_iLength and at most what a
// CString can hold.
static XMLSize_t NarrowLength(const XMLCh* p_pText, XMLSize_t p_iLength) {
    const XMLSize_t kMax = static_cast<XMLSize_t>(INT_MAX - 1);
    const XMLSize_t limit = p_iLength < kMax ? p_iLength : kMax;
    XMLSize_t n = 0;
    while (n < limit && p_pText[n] != 0)
        ++n;
    return n;
}

CString NarrowXmlString(const XMLCh* p_pText) { return NarrowXmlString(p_pText, static_cast<XMLSize_t>(-1)); }

CString NarrowXmlString(const XMLCh* p_pText, XMLSize_t p_iLength) {
    CString result;
    if (!p_pText)
        return result;
    const XMLSize_t n = NarrowLength(p_pText, p_iLength);
    if (n == 0)
        return result;
    char* pBuf = result.GetBuffer(static_cast<int>(n));
    for (XMLSize_t i = 0; i < n; ++i)
        pBuf[i] = static_cast<char>(p_pText[i] & 0xFF);
    result.ReleaseBuffer(static_cast<int>(n));
    return result;
}

void NarrowXmlAppend(const XMLCh* p_pText, XMLSize_t p_iLength, std::string& p_Out) {
    if (!p_pText)
        return;
    const XMLSize_t n = NarrowLength(p_pText, p_iLength);
    const size_t iStart = p_Out.size();
    p_Out.resize(iStart + n);
    for (XMLSize_t i = 0; i < n; ++i)
        p_Out[iStart + i] = static_cast<char>(p_pText[i] & 0xFF);
}

CString TranscodeXmlName(const XMLCh* p_pName) {
    if (!p_pName)
        return CString();
    CTranscoded name(p_pName);
    if (!name.Get())
        return NarrowXmlString(p_pName);
    return CString(name.Get());
}
