// Loading a dictionary file, plain or encrypted, into a CMsgDic.
#include <cstring>
#include <new>

#include <xercesc/sax/SAXException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/XMLException.hpp>

#include "msg/msg_dic_handler.h"
#include "msg/xml_support.h"
#include "protect/protected_file.h"
#include "vorant/exception.hpp"
#include "vorant/msg_dic.hpp"
#include "vorant/msg_error.hpp"
#include "vorant/stream.hpp"

XERCES_CPP_NAMESPACE_USE

namespace {

// Name under which a decrypted dictionary is parsed and reported.
const char kDecryptedName[] = "MsgDic.xml";

bool IsEncryptedPath(const char* p_szPath) {
    const size_t n = std::strlen(p_szPath);
    return n >= 5 && std::strcmp(p_szPath + n - 5, ".exml") == 0;
}

// Parses the file at p_szPath with p_pHandler. The reader is gone before any
// failure is raised; every failure is a CException.
void ParseDictionary(MsgDicHandler* p_pHandler, const char* p_szPath) {
    if (!p_szPath)
        throw CException(MA_ERR_NULL_PARAM, "Parameter is NULL");
    XMLSize_t iErrors = 0;
    try {
        CSecureSaxReader reader;
        reader.SetHandler(p_pHandler);
        if (IsEncryptedPath(p_szPath)) {
            CStream plain;
            CString err;
            if (ReadProtectedFile(p_szPath, plain, err) != 0)
                throw CException(MA_ERR_DICTIONARY_LOAD, "%s", err.ToStr());
            reader.ParseMemory(plain.GetData(), static_cast<XMLSize_t>(plain.GetSize()), kDecryptedName);
        } else {
            reader.ParseFile(p_szPath);
        }
        iErrors = reader.GetErrorCount();
    } catch (const OutOfMemoryException&) {
        throw CException(MA_ERR_MEMORY, "XMLParser out of memory");
    } catch (const std::bad_alloc&) {
        throw CException(MA_ERR_MEMORY, "XMLParser out of memory");
    } catch (const XMLException& e) {
        throw CException(MA_ERR_XML_PARSE, "XMLParser internal error : %s", NarrowXmlString(e.getMessage()).ToStr());
    } catch (const SAXException& e) {
        throw CException(MA_ERR_XML_PARSE, "XMLParser internal error : %s", NarrowXmlString(e.getMessage()).ToStr());
    } catch (const CException& e) {
        throw CException(e.GetCode(), "Handler error : %s", e.GetText());
    }
    if (iErrors >= 1)
        throw CException(MA_ERR_XML_PARSE, "XMLParser internal error : %d", static_cast<int>(iErrors));
}

}  // namespace

void CMsgDic::InitDictionary(const char* p_szPath) {
    if (!p_szPath)
        throw CException(MA_ERR_NULL_PARAM, "MsgDic Path");
    // One start is held for the dictionary's life (its destructor stops it),
    // however often a file is loaded into it.
    if (!m_bXmlStarted) {
        try {
            XmlPlatformInitialize();
        } catch (const XMLException& e) {
            throw CException(MA_ERR_XML_INIT, "%s", NarrowXmlString(e.getMessage()).ToStr());
        } catch (const OutOfMemoryException&) {
            throw CException(MA_ERR_XML_INIT, "%s", "out of memory");
        }
        m_bXmlStarted = true;
    }
    try {
        MsgDicHandler handler(this, IsEncryptedPath(p_szPath) ? kDecryptedName : p_szPath);
        ParseDictionary(&handler, p_szPath);
    } catch (const CException& e) {
        throw CException(e.GetCode(), "InitDictionary(%s)", e.GetText());
    }
    m_bLoaded = true;
}
