// vorant transport: the addresses a server name stands for.
#ifndef VORANT_TRANSPORT_ADDRESS_LIST_H
#define VORANT_TRANSPORT_ADDRESS_LIST_H

#include <sys/socket.h>

#include <vector>

#include "vorant/cstring.hpp"

// Owns copies of socket addresses (IPv4 and IPv6), each with its port, in
// the order they were added. A value type; one thread at a time.
class CAddressList {
public:
    // Appends every address getaddrinfo gives for p_szHost (a name, an IPv4
    // literal, an IPv6 literal with or without [brackets]) in its order,
    // with p_iPort (cut to 16 bits: check it first). 0, or the getaddrinfo
    // code (EAI_NONAME for a null or empty host).
    int Append(const char* p_szHost, int p_iPort);

    size_t Size() const { return m_Entries.size(); }
    const sockaddr* At(size_t p_nIndex) const;
    socklen_t LengthAt(size_t p_nIndex) const { return m_Entries[p_nIndex].m_nLength; }

    // The numeric address without the port: "127.0.0.1", "::1".
    static CString NumericText(const sockaddr* p_pAddr, socklen_t p_nLength);

private:
    struct Entry {
        sockaddr_storage m_Addr;
        socklen_t m_nLength;
    };
    std::vector<Entry> m_Entries;
};

#endif  // VORANT_TRANSPORT_ADDRESS_LIST_H
