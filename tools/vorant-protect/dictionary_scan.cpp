#include "dictionary_scan.h"

#include <xercesc/sax/Locator.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/util/XMLException.hpp>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "msg/xml_support.h"

XERCES_CPP_NAMESPACE_USE

namespace {

const int kMaxMsgNum = 9999;

struct CTagEntry {
    int m_iLine = 0;
    std::string m_strNo, m_strName, m_strType, m_strArray;
};

struct CMsgEntry {
    int m_iLine = 0;
    std::string m_strNo, m_strName;
    std::vector<CTagEntry> m_Tags;
};

// A well-formedness failure, already worded.
struct CParseFailure {
    std::string m_strText;
};

// Decimal digits only, within p_iMax; -1 otherwise.
int Number(const std::string& p_strText, int p_iMax) {
    if (p_strText.empty() || p_strText.size() > 9 || p_strText.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    const int iValue = std::stoi(p_strText);
    return iValue <= p_iMax ? iValue : -1;
}

std::string At(int p_iLine) { return "line " + std::to_string(p_iLine) + ": "; }

std::string MsgText(const CMsgEntry& p_Msg) { return "message " + p_Msg.m_strNo + " (" + p_Msg.m_strName + ")"; }

std::string TagText(const CMsgEntry& p_Msg, const CTagEntry& p_Tag) {
    return MsgText(p_Msg) + " tag " + p_Tag.m_strNo + " (" + p_Tag.m_strName + ")";
}

// Collects the definitions of one document with their lines. Owns what it
// collected; the locator is the parser's.
class CDictionaryCollector : public DefaultHandler {
public:
    std::vector<CMsgEntry> m_Msgs;
    std::vector<std::string> m_Problems;

    void setDocumentLocator(const Locator* const p_pLocator) override { m_pLocator = p_pLocator; }

    void startElement(const XMLCh* const, const XMLCh* const p_pLocalName, const XMLCh* const,
                      const Attributes& p_Attrs) override {
        const std::string strName = NarrowXmlString(p_pLocalName).ToStr();
        ++m_iDepth;
        if (m_iDepth == 1 && strName != "msg_dictionary") {
            m_Problems.push_back(At(Line()) + "the root element is <" + strName + ">, not <msg_dictionary>");
        } else if (m_iDepth == 2 && strName == "msg") {
            CMsgEntry msg;
            msg.m_iLine = Line();
            msg.m_strNo = Attribute(p_Attrs, "no");
            msg.m_strName = Attribute(p_Attrs, "name");
            m_Msgs.push_back(msg);
        } else if (m_iDepth == 2) {
            m_Problems.push_back(At(Line()) + "unknown element <" + strName + "> (a dictionary holds <msg> elements)");
        } else if (m_iDepth == 3 && strName == "tag" && !m_Msgs.empty()) {
            CTagEntry tag;
            tag.m_iLine = Line();
            tag.m_strNo = Attribute(p_Attrs, "no");
            tag.m_strName = Attribute(p_Attrs, "name");
            tag.m_strType = Attribute(p_Attrs, "type");
            tag.m_strArray = Attribute(p_Attrs, "array", "N");
            m_Msgs.back().m_Tags.push_back(tag);
        } else if (m_iDepth == 3 && strName != "constraint" && !m_Msgs.empty()) {
            m_Problems.push_back(At(Line()) + MsgText(m_Msgs.back()) + ": unknown element <" + strName +
                                 "> (a message holds <tag> and <constraint> elements)");
        }
    }

    void endElement(const XMLCh* const, const XMLCh* const, const XMLCh* const) override { --m_iDepth; }

    void warning(const SAXParseException& p_Error) override { Fail(p_Error); }
    void error(const SAXParseException& p_Error) override { Fail(p_Error); }
    void fatalError(const SAXParseException& p_Error) override { Fail(p_Error); }

private:
    int Line() const { return m_pLocator ? static_cast<int>(m_pLocator->getLineNumber()) : 0; }

    static std::string Attribute(const Attributes& p_Attrs, const char* p_szName, const char* p_szDefault = "") {
        for (XMLSize_t i = 0; i < p_Attrs.getLength(); ++i) {
            if (NarrowXmlString(p_Attrs.getLocalName(i)) == p_szName)
                return NarrowXmlString(p_Attrs.getValue(i)).ToStr();
        }
        return p_szDefault;
    }

    [[noreturn]] static void Fail(const SAXParseException& p_Error) {
        throw CParseFailure{"line " + std::to_string(p_Error.getLineNumber()) + ", column " +
                            std::to_string(p_Error.getColumnNumber()) +
                            ": not well-formed XML: " + NarrowXmlString(p_Error.getMessage()).ToStr()};
    }

    const Locator* m_pLocator = nullptr;
    int m_iDepth = 0;
};

// The type's problem, or "" for a type the loader takes.
std::string TypeProblem(const std::string& p_strType, const std::map<int, const CMsgEntry*>& p_Defined) {
    for (const char* szType : {"string", "integer", "double", "bool", "date"}) {
        if (p_strType == szType)
            return "";
    }
    if (p_strType.size() > 1 && p_strType[0] == 'm') {
        const int iSub = Number(p_strType.substr(1), kMaxMsgNum);
        if (iSub < 1)
            return "has type '" + p_strType + "': a sub-message type names a message 1 to 9999";
        if (p_Defined.count(iSub) == 0)
            return "has type " + p_strType + ", but the dictionary defines no message " + std::to_string(iSub);
        return "";
    }
    return "has type '" + p_strType + "'; the types are string, integer, double, bool, date and m<message number>";
}

void CheckMessage(const CMsgEntry& p_Msg, const std::map<int, const CMsgEntry*>& p_Defined,
                  std::vector<std::string>* p_pProblems) {
    std::map<int, const CTagEntry*> byNumber;
    std::map<std::string, const CTagEntry*> byName;
    for (const CTagEntry& tag : p_Msg.m_Tags) {
        const int iNo = Number(tag.m_strNo, 2147483647);
        if (iNo < 0) {
            p_pProblems->push_back(At(tag.m_iLine) + TagText(p_Msg, tag) + ": the tag number must be 0 or more");
            continue;
        }
        const std::string strType = TypeProblem(tag.m_strType, p_Defined);
        if (!strType.empty())
            p_pProblems->push_back(At(tag.m_iLine) + TagText(p_Msg, tag) + " " + strType);
        if (tag.m_strArray != "Y" && tag.m_strArray != "N")
            p_pProblems->push_back(At(tag.m_iLine) + TagText(p_Msg, tag) + " has array='" + tag.m_strArray +
                                   "', which is read as N (give Y or N)");
        const auto sameNumber = byNumber.find(iNo);
        if (sameNumber != byNumber.end())
            p_pProblems->push_back(
                At(tag.m_iLine) + TagText(p_Msg, tag) + " has the number of tag '" + sameNumber->second->m_strName +
                "' (line " + std::to_string(sameNumber->second->m_iLine) + "); the loader would keep only the first");
        else
            byNumber[iNo] = &tag;
        const auto sameName = byName.find(tag.m_strName);
        if (sameName != byName.end())
            p_pProblems->push_back(At(tag.m_iLine) + TagText(p_Msg, tag) + " has the name of tag " +
                                   sameName->second->m_strNo + " (line " + std::to_string(sameName->second->m_iLine) +
                                   "); a lookup by name finds only one of them");
        else
            byName[tag.m_strName] = &tag;
    }
}

}  // namespace

std::vector<std::string> ScanDictionary(const std::string& p_strXml, const std::string& p_strSource) {
    CDictionaryCollector collector;
    try {
        CXmlPlatformUse platform;
        CSecureSaxReader reader;
        reader.SetHandler(&collector);
        reader.ParseMemory(p_strXml.data(), p_strXml.size(), p_strSource.c_str());
        reader.SetHandler(nullptr);
    } catch (const CParseFailure& e) {
        return {e.m_strText};
    } catch (const XMLException& e) {
        return {std::string("not readable as XML: ") + NarrowXmlString(e.getMessage()).ToStr()};
    }
    std::vector<std::string> problems = collector.m_Problems;
    std::map<int, const CMsgEntry*> defined;
    for (const CMsgEntry& msg : collector.m_Msgs) {
        const int iNo = Number(msg.m_strNo, kMaxMsgNum);
        if (iNo < 1) {
            problems.push_back(At(msg.m_iLine) + MsgText(msg) + ": message numbers are 1 to 9999");
        } else if (defined.count(iNo) != 0) {
            problems.push_back(At(msg.m_iLine) + MsgText(msg) + " is defined again (first on line " +
                               std::to_string(defined[iNo]->m_iLine) + ")");
        } else {
            defined[iNo] = &msg;
        }
    }
    for (const CMsgEntry& msg : collector.m_Msgs)
        CheckMessage(msg, defined, &problems);
    std::stable_sort(problems.begin(), problems.end(), [](const std::string& p_strA, const std::string& p_strB) {
        return std::atoi(p_strA.c_str() + 5) < std::atoi(p_strB.c_str() + 5);  // after "line "
    });
    return problems;
}
