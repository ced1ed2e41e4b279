// Message text is ISO-8859-1 (one byte a character); JSON text is UTF-8.
#ifndef VORANT_CALL_LATIN1_H
#define VORANT_CALL_LATIN1_H

#include <string>

std::string ToUtf8(const std::string& p_strLatin1);
// False when p_strUtf8 is not UTF-8 or holds a character above U+00FF.
bool FromUtf8(const std::string& p_strUtf8, std::string* p_pLatin1);

#endif  // VORANT_CALL_LATIN1_H
