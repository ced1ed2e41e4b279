// vorant transport: one TCP connection to the message server, with
// time-outs and an error record of its own.
#ifndef VORANT_TRANSPORT_ADAPTOR_H
#define VORANT_TRANSPORT_ADAPTOR_H

#include <sys/socket.h>

#include <cstdint>
#include <memory>

#include "vorant/cstring.hpp"

class CAddressList;
class CPacketInfo;
struct CWireTrace;

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

    // Opens the TCP connection: every address of the name in resolver order
    // (IPv4 and IPv6; "[::1]" is taken as ::1), each a connect bounded by
    // its share of the time-out, with TCP_NODELAY. All of them together get the connect time-out; an
    // address gets an even share of what remains, the last one all of it.
    // Returns the descriptor or -3, -4, -5, -11 (the last address's
    // failure). A time-out is -5 "(connect to=<seconds>)". A connection
    // already open is closed first.
    int Connect(const char* p_szHost, int p_iPort);
    // The address loop of Connect over addresses already resolved (each
    // with its own port); p_szHost and p_iPort are what GetHost and GetPort
    // report afterwards.
    int ConnectTo(const CAddressList& p_Addresses, const char* p_szHost, int p_iPort);
    // Takes over an already connected descriptor (a server's accepted
    // socket); a connection already open is closed first.
    void Attach(int p_iSock, const char* p_szHost, int p_iPort);
    // Closes the connection now; the destructor does the same.
    void Close();
    bool IsConnected() const { return m_iSock >= 0; }
    int GetSocket() const { return m_iSock; }
    const char* GetHost() const { return m_strHost.ToStr(); }
    int GetPort() const { return m_iPort; }
    // The numeric address the connection reached ("127.0.0.1", "::1"); ""
    // before a successful Connect and after Attach.
    const char* GetConnectedAddress() const { return m_strAddress.ToStr(); }
    // How long the last Connect spent resolving the name and connecting
    // (every address tried), in microseconds.
    int64_t GetResolveMicros() const { return m_llResolveMicros; }
    int64_t GetConnectMicros() const { return m_llConnectMicros; }

    // Writes exactly p_iLength bytes. 0 or -12, -2, -6, -8, -10. Each wait
    // for progress is bounded by the time-out (seconds), the whole transfer
    // only by the deadline.
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
    // The receive default in milliseconds (negative: 0).
    void SetRecvTimeoutMillis(int64_t p_llMillis);
    int GetSendTimeout() const { return static_cast<int>(m_llSendTimeoutMs / 1000); }
    int GetRecvTimeout() const { return static_cast<int>(m_llRecvTimeoutMs / 1000); }

    // Bound on all of Connect's attempts, milliseconds (default
    // vorant::protocol::DEFAULT_CONNECT_TIMEOUT_MS; below 1: 1).
    void SetConnectTimeoutMillis(int64_t p_llMillis);
    int64_t GetConnectTimeoutMillis() const { return m_llConnectTimeoutMs; }

    // Starts a deadline p_llMillis from now (0 or less: none, the default)
    // that bounds every later wait of connect, send and receive together.
    // A wait it ends fails as a time-out of its step with the deadline in
    // the details: -5 "(connect deadline=<s>)", -8 "(send deadline=<s>)",
    // -8 "(recv deadline=<s>)", also once a packet's header is in.
    void StartDeadline(int64_t p_llMillis);
    // True once the deadline has ended a wait.
    bool DeadlinePassed() const { return m_bDeadlinePassed; }

    // Bound on an answer's packet length and uncompressed body length;
    // values below 128 are raised to 128.
    void SetMaxPacketLength(int p_iBytes);
    int GetMaxPacketLength() const { return m_iMaxPacketLength; }

    // Keeps copies of the packets and the time the answer's header arrived
    // in *p_pTrace from now on; null (the default) keeps nothing.
    void SetTrace(CWireTrace* p_pTrace) { m_pTrace = p_pTrace; }

protected:
    // Waits up to p_llMillis (and the deadline) for the socket to allow
    // p_sEvents; 0, or -8 / -10 recorded with p_szOp ("send" or "recv").
    int WaitForProgress(short p_sEvents, int64_t p_llMillis, const char* p_szOp);
    // 0, or -8 recorded with p_szOp when the call's deadline has passed.
    int CheckDeadline(const char* p_szOp);

    CString m_strHost;
    int m_iPort;
    int m_iSock;
    int64_t m_llSendTimeoutMs;
    int64_t m_llRecvTimeoutMs;
    std::unique_ptr<CAdaptorError> m_pError;
    int m_iMaxPacketLength;
    CWireTrace* m_pTrace = nullptr;

private:
    // One address: a descriptor connected within p_llMillis, or a negative
    // code with the error recorded.
    int ConnectOne(const sockaddr* p_pAddr, socklen_t p_nLength, int64_t p_llMillis);
    // p_llMillis cut to what the deadline leaves (*p_pbCut when it did);
    // -1 when the deadline has passed.
    int64_t BoundByDeadline(int64_t p_llMillis, bool* p_pbCut) const;
    void SetDeadlineError(int p_iCode, const char* p_szOp);

    int64_t m_llConnectTimeoutMs;
    int64_t m_llDeadlineAt;  // monotonic ms
    int64_t m_llDeadlineMs;  // 0: no deadline
    bool m_bDeadlinePassed;
    CString m_strAddress;
    int64_t m_llResolveMicros;
    int64_t m_llConnectMicros;
};

// Milliseconds as the seconds of an error detail: "10", "0.25".
CString SecondsText(int64_t p_llMillis);

#endif  // VORANT_TRANSPORT_ADAPTOR_H
