// Write -> read -> write over random dictionaries and random messages, in
// all three forms, against an independent rendering of the expected
// documents; every document must also satisfy an independent XML parser.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "msg_test_support.h"
#include "protect/temp_dir.h"

namespace {

using msgtest::Xml;

struct TagDef {
    int m_iNo;
    std::string m_strName;
    int m_iType;  // 1 string .. 6 sub-message
    int m_iSub;   // index of the sub-message's definition
    bool m_bArray;
};

struct MsgDef {
    int m_iNo;
    std::vector<TagDef> m_Tags;
};

// One message as the test means it, independent of CMsg.
struct Node;
struct Item {
    std::string m_strText;  // string and date
    int m_iValue = 0;
    double m_dValue = 0;
    bool m_bValue = false;
    std::shared_ptr<Node> m_pSub;
};
struct Node {
    const MsgDef* m_pDef = nullptr;
    std::vector<std::vector<Item>> m_Values;  // per tag of the definition, empty when unset
};

struct Form {
    bool m_bArrayItemTag;
    bool m_bByName;
};

class RandomMessages {
public:
    explicit RandomMessages(unsigned p_uSeed) : m_Rng(p_uSeed) {}

    void MakeDictionary(CMsgDic& p_Dic) {
        int iCount = Pick(2, 5);
        m_Defs.resize(static_cast<size_t>(iCount));
        for (int m = 0; m < iCount; ++m)
            m_Defs[static_cast<size_t>(m)].m_iNo = 100 + m;
        for (MsgDef& def : m_Defs) {
            int iTags = Pick(1, 12);
            std::vector<int> used;
            for (int t = 0; t < iTags; ++t) {
                TagDef tag;
                do {
                    tag.m_iNo = Pick(0, 300);
                } while (std::find(used.begin(), used.end(), tag.m_iNo) != used.end());
                used.push_back(tag.m_iNo);
                tag.m_strName = "f" + std::to_string(tag.m_iNo) + (Pick(0, 1) ? "_x" : "");
                // The first tag holds plain values, so every message can be filled.
                tag.m_iType = t == 0 ? Pick(1, 5) : Pick(1, 6);
                tag.m_iSub = Pick(0, iCount - 1);
                tag.m_bArray = Pick(0, 2) == 0;
                def.m_Tags.push_back(tag);
            }
            const int kHashes[] = {0, 1, 7, 128};
            p_Dic.SetMsgInfo(def.m_iNo, CString("R"), CString(""), CFormat("%d", kHashes[Pick(0, 3)]));
            for (const TagDef& tag : def.m_Tags) {
                static const char* const kTypes[] = {"", "string", "integer", "double", "bool", "date"};
                CString type = tag.m_iType == 6 ? CFormat("m%d", m_Defs[static_cast<size_t>(tag.m_iSub)].m_iNo)
                                                : CString(kTypes[tag.m_iType]);
                p_Dic.SetMsgDetail(def.m_iNo, tag.m_iNo, CString(tag.m_strName.c_str()), type,
                                   CString(tag.m_bArray ? "Y" : "N"));
            }
        }
    }

    // A message with at least one value; sub-messages stop at p_iDepth 3.
    // Never null: the first tag of every message holds plain values.
    std::shared_ptr<Node> MakeNode(size_t p_iDef, int p_iDepth) {
        auto pNode = std::make_shared<Node>();
        pNode->m_pDef = &m_Defs[p_iDef];
        pNode->m_Values.resize(pNode->m_pDef->m_Tags.size());
        bool bAny = false;
        for (size_t t = 0; t < pNode->m_Values.size(); ++t) {
            const TagDef& tag = pNode->m_pDef->m_Tags[t];
            if (Pick(0, 9) < 3 || (tag.m_iType == 6 && p_iDepth >= 3))
                continue;
            int iItems = tag.m_bArray ? Pick(1, 4) : 1;
            for (int k = 0; k < iItems; ++k)
                pNode->m_Values[t].push_back(MakeItem(tag, p_iDepth));
            bAny = true;
        }
        if (!bAny)
            pNode->m_Values[0].push_back(MakeItem(pNode->m_pDef->m_Tags[0], p_iDepth));
        return pNode;
    }

    size_t DefCount() const { return m_Defs.size(); }

private:
    int Pick(int p_iLow, int p_iHigh) { return std::uniform_int_distribution<int>(p_iLow, p_iHigh)(m_Rng); }

    std::string MakeText() {
        static const char* const kPieces[] = {"a",    "Z",    "9",    " ",    "\t",   "\n",    "\r",
                                              "<",    ">",    "&",    "]]>",  "]",    "\"",    "'",
                                              "\xe9", "\xff", "\xa0", "\x80", "\x85", "&amp;", "<![CDATA["};
        std::string text;
        int iPieces = Pick(0, 3) == 0 ? Pick(300, 1200) : Pick(1, 12);  // an empty text is no value
        for (int i = 0; i < iPieces; ++i)
            text += kPieces[Pick(0, sizeof(kPieces) / sizeof(kPieces[0]) - 1)];
        return text;
    }

    Item MakeItem(const TagDef& p_Tag, int p_iDepth) {
        Item item;
        switch (p_Tag.m_iType) {
            case 1: item.m_strText = MakeText(); break;
            case 2: {
                const int kEdges[] = {0, -1, INT_MAX, INT_MIN};
                item.m_iValue = Pick(0, 4) == 0 ? kEdges[Pick(0, 3)] : Pick(INT_MIN, INT_MAX);
                break;
            }
            case 3: {
                // At most 15 significant digits: such decimals survive the text.
                char szText[64];
                double dMantissa = std::uniform_real_distribution<double>(-10, 10)(m_Rng);
                std::snprintf(szText, sizeof(szText), "%.*fe%d", Pick(0, 14), dMantissa, Pick(-300, 300));
                item.m_dValue = Pick(0, 20) == 0 ? (Pick(0, 1) ? INFINITY : -INFINITY) : std::strtod(szText, nullptr);
                if (!std::isfinite(item.m_dValue) && Pick(0, 1))
                    item.m_dValue = 0.0;
                break;
            }
            case 4: item.m_bValue = Pick(0, 1) == 1; break;
            case 5: {
                char szDate[16];
                std::snprintf(szDate, sizeof(szDate), "%04d%02d%02d", Pick(1900, 2100), Pick(1, 12), Pick(1, 28));
                item.m_strText = szDate;
                // A date keeps whatever 8 characters it is given.
                static const char kOdd[] = "<>&]\r\xe9x";
                if (Pick(0, 4) == 0)
                    item.m_strText[static_cast<size_t>(Pick(0, 7))] = kOdd[Pick(0, sizeof(kOdd) - 2)];
                break;
            }
            case 6: item.m_pSub = MakeNode(static_cast<size_t>(p_Tag.m_iSub), p_iDepth + 1); break;
            default: break;
        }
        return item;
    }

    std::mt19937 m_Rng;
    std::vector<MsgDef> m_Defs;
};

CMsg* BuildMsg(const Node& p_Node, CMsgDic& p_Dic) {
    CMsg* pMsg = new CMsg(p_Node.m_pDef->m_iNo, 0, 0, &p_Dic);
    for (size_t t = 0; t < p_Node.m_Values.size(); ++t) {
        const TagDef& tag = p_Node.m_pDef->m_Tags[t];
        for (const Item& item : p_Node.m_Values[t]) {
            int iResult = 0;
            switch (tag.m_iType) {
                case 1: iResult = pMsg->SetValue(tag.m_iNo, item.m_strText.c_str()); break;
                case 2: iResult = pMsg->SetValue(tag.m_iNo, item.m_iValue); break;
                case 3: iResult = pMsg->SetValue(tag.m_iNo, item.m_dValue); break;
                case 4: iResult = pMsg->SetValue(tag.m_iNo, item.m_bValue); break;
                case 5: iResult = pMsg->SetValue(tag.m_iNo, CDate(item.m_strText.c_str())); break;
                case 6: iResult = pMsg->SetValue(tag.m_iNo, BuildMsg(*item.m_pSub, p_Dic)); break;
                default: break;
            }
            EXPECT_EQ(iResult, 0) << pMsg->GetLastError();
        }
    }
    return pMsg;
}

std::string Trimmed(const std::string& p_strText) {
    size_t iBegin = p_strText.find_first_not_of(" \t\n");
    if (iBegin == std::string::npos)
        return std::string();
    return p_strText.substr(iBegin, p_strText.find_last_not_of(" \t\n") + 1 - iBegin);
}

// The expected rendering of a date: character data with references.
std::string Escaped(const std::string& p_strText) {
    std::string out;
    for (char c : p_strText) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '\r': out += "&#13;"; break;
            default: out += c; break;
        }
    }
    return out;
}

// The expected rendering of a string value: split CDATA sections.
std::string Cdata(const std::string& p_strText) {
    std::string out = "<![CDATA[";
    for (size_t i = 0; i < p_strText.size(); ++i) {
        if (p_strText[i] == '\r')
            out += "]]>&#13;<![CDATA[";
        else if (p_strText[i] == '>' && i >= 2 && p_strText.compare(i - 2, 2, "]]") == 0)
            out += "]]><![CDATA[>";
        else
            out += p_strText[i];
    }
    return out + "]]>";
}

std::string Double(double p_dValue) {
    if (std::isinf(p_dValue))
        return p_dValue < 0 ? "-inf" : "inf";
    char szText[64];
    std::snprintf(szText, sizeof(szText), "%.15e", p_dValue);
    std::string text = szText;
    size_t iExp = text.find('e');
    while (text.size() - iExp - 2 < 3)
        text.insert(iExp + 2, "0");
    return text;
}

// The fields of p_Node as the writer must render them; p_bRead renders what
// a reader keeps (trimmed strings, no blank values).
std::string Render(const Node& p_Node, const Form& p_Form, bool p_bRead) {
    std::string out;
    for (size_t t = 0; t < p_Node.m_Values.size(); ++t) {
        const TagDef& tag = p_Node.m_pDef->m_Tags[t];
        std::string name = p_Form.m_bByName
                               ? tag.m_strName
                               : (tag.m_bArray && p_Form.m_bArrayItemTag ? "a" : "t") + std::to_string(tag.m_iNo);
        for (const Item& item : p_Node.m_Values[t]) {
            std::string content;
            switch (tag.m_iType) {
                case 1:
                    if (p_bRead && Trimmed(item.m_strText).empty())
                        continue;
                    content = Cdata(p_bRead ? Trimmed(item.m_strText) : item.m_strText);
                    break;
                case 2: content = std::to_string(item.m_iValue); break;
                case 3: content = Double(item.m_dValue); break;
                case 4: content = item.m_bValue ? "true" : "false"; break;
                case 5: content = Escaped(item.m_strText); break;
                case 6: content = Render(*item.m_pSub, p_Form, p_bRead); break;
                default: break;
            }
            out += "<" + name + ">" + content + "</" + name + ">";
        }
    }
    return out;
}

std::string Document(const Node& p_Node, const Form& p_Form, bool p_bRead) {
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><msg no=\"" + std::to_string(p_Node.m_pDef->m_iNo) +
           (p_Form.m_bByName ? "\" type=\"name" : "") + "\" ver=\"\">" + Render(p_Node, p_Form, p_bRead) + "</msg>";
}

// Runs xmllint over every file of p_Files; false with its output when one
// is not well-formed.
bool WellFormed(const std::vector<std::string>& p_Files, std::string* p_pOutput) {
    std::string command = "xmllint --noout";
    for (const std::string& file : p_Files)
        command += " '" + file + "'";
    command += " 2>&1";
    FILE* pPipe = popen(command.c_str(), "r");
    if (!pPipe)
        return false;
    char szLine[512];
    while (std::fgets(szLine, sizeof(szLine), pPipe))
        *p_pOutput += szLine;
    int iStatus = pclose(pPipe);
    return WIFEXITED(iStatus) && WEXITSTATUS(iStatus) == 0;
}

TEST(RoundTrip, RandomMessagesInAllForms) {
    const Form kForms[] = {{false, false}, {true, false}, {false, true}};
    CTempDir tmp;
    std::vector<std::string> files;
    for (unsigned seed = 1; seed <= 60; ++seed) {
        CMsgDic dic;
        RandomMessages random(seed);
        random.MakeDictionary(dic);
        for (int n = 0; n < 4; ++n) {
            std::shared_ptr<Node> pNode = random.MakeNode(static_cast<size_t>(n) % random.DefCount(), 1);
            std::unique_ptr<CMsg> pMsg(BuildMsg(*pNode, dic));
            for (const Form& form : kForms) {
                SCOPED_TRACE(testing::Message() << "seed " << seed << " message " << n << " form "
                                                << form.m_bArrayItemTag << form.m_bByName);
                std::string written = Xml(*pMsg, form.m_bArrayItemTag, form.m_bByName);
                ASSERT_EQ(written, Document(*pNode, form, false));
                CMsg back(0, 0, 0, &dic);
                ASSERT_EQ(back.LoadXml(written.c_str()), 0);
                std::string rewritten = Xml(back, form.m_bArrayItemTag, form.m_bByName);
                ASSERT_EQ(rewritten, Document(*pNode, form, true));
                // What was read back is stable from here on.
                CMsg again(0, 0, 0, &dic);
                ASSERT_EQ(again.LoadXml(rewritten.c_str()), 0);
                ASSERT_EQ(Xml(again, form.m_bArrayItemTag, form.m_bByName), rewritten);
                if (files.size() < 400)
                    files.push_back(tmp.Write(std::to_string(files.size()) + ".xml", written));
            }
            // The indented dump reads back as the same message.
            CStream dump;
            pMsg->DumpXml(&dump, false, 1);
            CMsg fromDump(0, 0, 0, &dic);
            ASSERT_EQ(fromDump.LoadXml(dump.GetData()), 0);
            EXPECT_EQ(Xml(fromDump, false, false), Document(*pNode, kForms[0], true));
            files.push_back(tmp.Write(std::to_string(files.size()) + ".xml", msgtest::Text(dump)));
        }
    }
    if (system("xmllint --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xmllint is not installed (Debian package libxml2-utils)";
    std::string output;
    EXPECT_TRUE(WellFormed(files, &output)) << output.substr(0, 2000);
}

TEST(RoundTrip, DoublesKeepSixteenSignificantDigits) {
    CMsgDic dic;
    msgtest::DefineMsg(dic, 7, 0, {{1, "d", "double", true}});
    std::mt19937_64 rng(7);
    CMsg msg(7, 0, 0, &dic);
    std::vector<double> values;
    for (int i = 0; i < 500; ++i) {
        double d;
        do {
            uint64_t bits = rng();
            std::memcpy(&d, &bits, sizeof(d));
        } while (!std::isfinite(d));
        values.push_back(d);
        msg.SetValue(1, d);
    }
    CMsg back(0, 0, 0, &dic);
    ASSERT_EQ(back.LoadXml(Xml(msg, false, false).c_str()), 0);
    for (int i = 0; i < 500; ++i) {
        double d = 0;
        ASSERT_EQ(back.GetValueAt(1, i, &d), 0);
        EXPECT_LE(std::fabs(d - values[static_cast<size_t>(i)]), std::fabs(values[static_cast<size_t>(i)]) * 1e-15)
            << Double(values[static_cast<size_t>(i)]);
    }
}

}  // namespace
