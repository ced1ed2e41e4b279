// vorant transport: one TCP connection to the message server, with
// time-outs and an error record of its own.
#ifndef VORANT_TRANSPORT_ADAPTOR_H
#define VORANT_TRANSPORT_ADAPTOR_H

#include <memory>

#include "vorant/cstring.hpp"

class CPacketInfo;

// Starts the socket platform once per process. Nothing needs starting on
// POSIX: it always succeeds (0) and sets g_bWinSockStarted.
int InitWinSock();
bool IsWinSockStarted();

// The last failure of one adaptor: its code and the full record text.
struct CAdaptorError {
    int m_iCode = 0;
    CString m_strText;
};

// One connection for one service call, used by one thread. Owns the socket
// (closed by the destructor) and its error record. Not copyable.
// Operations return 0 (or a length / descriptor) on success and a negative
// code of the transport table (adaptor_errors.h) on failure, recorded as
// "<table text>(<code>)(<details>)" and read back with GetLastError().
class CAdaptor {
public:
    // Answers above this many bytes (packet length or uncompressed body)
    // are refused before anything of that size is read or allocated.
    static const int DEFAULT_MAX_PACKET_LENGTH = 64 * 1024 * 1024;

    CAdaptor();
    virtual ~CAdaptor();
    CAdaptor(const CAdaptor&) = delete;
    CAdaptor& operator=(const CAdaptor&) = delete;

    // Writes one packet built from *p_pInfo; a negative p_iTimeout means the
    // send default (90 s).
    virtual int SendTo(CPacketInfo* p_pInfo, int p_iTimeout) = 0;
    // Reads one packet into *p_pInfo; a negative p_iTimeout means the
    // receive default (60 s).
    virtual int ReceiveFrom(CPacketInfo* p_pInfo, int p_iTimeout) = 0;

    // Opens the TCP connection (IPv4, TCP_NODELAY, blocking connect).
    // Returns the descriptor or -3, -4, -5, -11. A connection already open
    // is closed first.
    int Connect(const char* p_szHost, int p_iPort);
    // Takes over an already connected descriptor (a server's accepted
    // socket); a connection already open is closed first.
    void Attach(int p_iSock, const char* p_szHost, int p_iPort);
    // Closes the connection now; the destructor does the same.
    void Close();
    bool IsConnected() const { return m_iSock >= 0; }
    int GetSocket() const { return m_iSock; }
    const char* GetHost() const { return m_strHost.ToStr(); }
    int GetPort() const { return m_iPort; }

    // Writes exactly p_iLength bytes. 0 or -12, -2, -6, -8, -10. Each wait
    // for progress is bounded by the time-out, not the whole transfer.
    int SendData(const char* p_pData, int p_iLength, int p_iTimeout);
    // Reads exactly p_iLength bytes. p_iLength or -12, -2, -7, -8, -9, -10.
    int ReceiveData(char* p_pBuffer, int p_iLength, int p_iTimeout);

    // Records an error (a later one replaces it). Raises CException -11
    // when the record or the detail text cannot be allocated.
    void SetError(int p_iCode, const char* p_szFormat, ...) __attribute__((format(printf, 3, 4)));
    // The last record text; "" when nothing failed yet. Owned by the adaptor.
    const char* GetLastError() const;
    // The last recorded code; 0 when nothing failed yet.
    int GetLastErrorCode() const;

    // Defaults used for a negative time-out (seconds).
    void SetDefaultTimeouts(int p_iSendSeconds, int p_iRecvSeconds);
    int GetSendTimeout() const { return m_iSendTimeout; }
    int GetRecvTimeout() const { return m_iRecvTimeout; }

    // Bound on an answer's packet length and uncompressed body length;
    // values below 128 are raised to 128.
    void SetMaxPacketLength(int p_iBytes);
    int GetMaxPacketLength() const { return m_iMaxPacketLength; }

protected:
    // Waits up to p_iTimeout seconds for the socket to allow p_sEvents; 0,
    // or -8 / -10 recorded with p_szOp ("send" or "recv") in the details.
    int WaitForProgress(short p_sEvents, int p_iTimeout, const char* p_szOp);

    CString m_strHost;
    int m_iPort;
    int m_iSock;
    int m_iSendTimeout;
    int m_iRecvTimeout;
    std::unique_ptr<CAdaptorError> m_pError;
    int m_iMaxPacketLength;
};

#endif  // VORANT_TRANSPORT_ADAPTOR_H
