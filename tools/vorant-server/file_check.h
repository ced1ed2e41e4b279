// Whether a file the server needs can be read, in the system's words.
#ifndef VORANT_SERVER_FILE_CHECK_H
#define VORANT_SERVER_FILE_CHECK_H

#include <string>

namespace vorant_server {

// Empty when the file at p_strPath can be opened and read, else the
// system's reason ("No such file or directory", "Is a directory").
std::string UnreadableReason(const std::string& p_strPath);

}  // namespace vorant_server

#endif  // VORANT_SERVER_FILE_CHECK_H
