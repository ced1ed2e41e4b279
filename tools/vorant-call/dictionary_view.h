// What the dictionary defines, for --list and --describe.
#ifndef VORANT_CALL_DICTIONARY_VIEW_H
#define VORANT_CALL_DICTIONARY_VIEW_H

#include <string>
#include <vector>

class CMsgInfo;
class CTagInfo;

// The tags of a message in definition order, each tag number once (the
// first definition, as every lookup finds it).
std::vector<const CTagInfo*> TagsInOrder(const CMsgInfo& p_Info);

// The definition named by a number ("1001") or a message name
// ("AccountRequest") in the process-wide dictionary, or null.
const CMsgInfo* FindMessage(const std::string& p_strNumberOrName);

// One line per message: number, name, version, tag count.
std::string ListMessages();

// The tags of one message (number, name, type, array, sub-message); with
// p_bRecursive, then every sub-message it reaches, each once.
std::string DescribeMessage(const CMsgInfo& p_Info, bool p_bRecursive);

#endif  // VORANT_CALL_DICTIONARY_VIEW_H
