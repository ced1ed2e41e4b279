// What the dictionary defines, read through the library's flat interface:
// for --list and --describe, and for checking requests against it.
#ifndef VORANT_CALL_DICTIONARY_VIEW_H
#define VORANT_CALL_DICTIONARY_VIEW_H

#include <string>
#include <vector>

#include "vorant/vorant.h"

// One message definition. Copyable; the tag names belong to the
// process-wide dictionary, which outlives it. One thread at a time.
class CMessageDef {
public:
    // False when p_iMsgNum is not defined.
    bool Load(int p_iMsgNum);

    int GetMsgNum() const { return m_iMsgNum; }
    const std::string& GetName() const { return m_strName; }
    // "message 1001 AccountRequest", for error texts.
    std::string Label() const;
    // In dictionary order, each tag number once (its first definition, as
    // every lookup finds it).
    const std::vector<VorantTagDef>& GetTags() const { return m_Tags; }
    // The tag of that name, or of that number; null when there is none.
    const VorantTagDef* FindTag(const std::string& p_strName) const;
    const VorantTagDef* FindTag(int p_iTagNum) const;

private:
    int m_iMsgNum = 0;
    std::string m_strName;
    std::vector<VorantTagDef> m_Tags;
};

// The message named by a number ("1001") or a message name
// ("AccountRequest"); false when the dictionary has no such message.
bool FindMessage(const std::string& p_strNumberOrName, CMessageDef* p_pDef);

// One line per message: number, name, version, tag count.
std::string ListMessages();

// The tags of one message (number, name, type, array, sub-message); with
// p_bRecursive, then every sub-message it reaches, each once.
std::string DescribeMessage(const CMessageDef& p_Def, bool p_bRecursive);

#endif  // VORANT_CALL_DICTIONARY_VIEW_H
