// Writing a tool's output file in one piece.
#ifndef VORANT_TOOLS_PROTECT_OUTPUT_FILE_H
#define VORANT_TOOLS_PROTECT_OUTPUT_FILE_H

#include <string>

// Writes p_nSize bytes to p_strPath through a temporary file in the same
// directory that is renamed over the target, so a failed run never leaves a
// cut file behind. p_iMode is the new file's permission (before the umask).
// Returns true, or false with the reason in p_strErr.
bool WriteOutputFile(const std::string& p_strPath, const char* p_pData, size_t p_nSize, int p_iMode,
                     std::string& p_strErr);

#endif  // VORANT_TOOLS_PROTECT_OUTPUT_FILE_H
