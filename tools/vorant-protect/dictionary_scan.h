// check-dic's own reading of a dictionary: every definition with its line,
// and the mistakes the loader passes over silently or reports without
// naming message, tag or line.
#ifndef VORANT_TOOLS_PROTECT_DICTIONARY_SCAN_H
#define VORANT_TOOLS_PROTECT_DICTIONARY_SCAN_H

#include <string>
#include <vector>

// The mistakes of the dictionary document p_strXml, each as "line N: what
// is wrong" naming message and tag: a document that is not well-formed,
// unknown elements, message or tag numbers out of range or given twice,
// tag names given twice in a message, unknown types, sub-message types that
// name no message, array values other than Y and N. Empty when none.
std::vector<std::string> ScanDictionary(const std::string& p_strXml, const std::string& p_strSource);

#endif  // VORANT_TOOLS_PROTECT_DICTIONARY_SCAN_H
