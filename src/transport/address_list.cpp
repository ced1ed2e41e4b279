#include "transport/address_list.h"

#include <netdb.h>
#include <netinet/in.h>

#include <cstdint>
#include <cstring>
#include <string>

int CAddressList::Append(const char* p_szHost, int p_iPort) {
    if (p_szHost == nullptr || *p_szHost == '\0') {
        return EAI_NONAME;
    }
    // "[::1]" is how an IPv6 literal is written next to a port.
    std::string strHost(p_szHost);
    if (strHost.size() > 2 && strHost.front() == '[' && strHost.back() == ']') {
        strHost = strHost.substr(1, strHost.size() - 2);
    }

    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* pFound = nullptr;
    const int iResult = getaddrinfo(strHost.c_str(), nullptr, &hints, &pFound);
    if (iResult != 0) {
        return iResult;
    }
    const size_t nBefore = m_Entries.size();
    const uint16_t uPort = htons(static_cast<uint16_t>(p_iPort));
    for (const addrinfo* p = pFound; p != nullptr; p = p->ai_next) {
        if ((p->ai_family != AF_INET && p->ai_family != AF_INET6) || p->ai_addr == nullptr ||
            p->ai_addrlen > sizeof(sockaddr_storage)) {
            continue;
        }
        Entry entry;
        std::memset(&entry.m_Addr, 0, sizeof entry.m_Addr);
        std::memcpy(&entry.m_Addr, p->ai_addr, p->ai_addrlen);
        entry.m_nLength = p->ai_addrlen;
        if (p->ai_family == AF_INET) {
            reinterpret_cast<sockaddr_in*>(&entry.m_Addr)->sin_port = uPort;
        } else {
            reinterpret_cast<sockaddr_in6*>(&entry.m_Addr)->sin6_port = uPort;
        }
        m_Entries.push_back(entry);
    }
    freeaddrinfo(pFound);
    return m_Entries.size() == nBefore ? EAI_NONAME : 0;
}

const sockaddr* CAddressList::At(size_t p_nIndex) const {
    return reinterpret_cast<const sockaddr*>(&m_Entries[p_nIndex].m_Addr);
}

CString CAddressList::NumericText(const sockaddr* p_pAddr, socklen_t p_nLength) {
    char szHost[NI_MAXHOST];
    if (getnameinfo(p_pAddr, p_nLength, szHost, sizeof szHost, nullptr, 0, NI_NUMERICHOST) != 0) {
        return CString("");
    }
    return CString(szHost);
}
