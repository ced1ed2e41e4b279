// --check-config: a configuration file read as the library reads it, and
// every mistake in it that the library would pass over or stop at.
#ifndef VORANT_CALL_CONFIG_CHECK_H
#define VORANT_CALL_CONFIG_CHECK_H

#include <string>
#include <vector>

// One mistake: the line it is on (0 for the file as a whole) and what is
// wrong, in words.
struct CConfigProblem {
    int m_iLine = 0;
    std::string m_strText;
};

// The mistakes of the configuration file at p_strPath, in file order: a
// file that cannot be read, lines without '=', unknown keys (with the
// nearest known key), keys given twice, values that are not numbers or out
// of range, a port outside 1-65535, missing required keys, and dictionary
// or key files that cannot be read. Empty when there are none.
std::vector<CConfigProblem> CheckConfigFile(const std::string& p_strPath);

// "PATH:LINE: text", or "PATH: text" for the file as a whole.
std::string FormatConfigProblem(const std::string& p_strPath, const CConfigProblem& p_Problem);

#endif  // VORANT_CALL_CONFIG_CHECK_H
