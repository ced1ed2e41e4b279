// vorant transport: one call's connection as a state machine that never
// waits by itself: connect (every address in turn), send the request packet,
// receive and check the answer packet. Whoever drives it waits for what it
// asks (a descriptor to become readable or writable, a time to pass) and
// tells it what happened.
#ifndef VORANT_TRANSPORT_CALL_CONNECTION_H
#define VORANT_TRANSPORT_CALL_CONNECTION_H

#include <cstdint>
#include <string>

#include "transport/address_list.h"
#include "transport/packet_decode.h"
#include "transport/packet_info.h"
#include "vorant/cstring.hpp"
#include "vorant/stream.hpp"

struct CWireTrace;

// Called before a connection closes a descriptor it has asked to wait on,
// so that whoever watches it can stop first. A plain function: it may run
// when no descriptor is left, where nothing may need one.
typedef void (*SocketClosingFn)(void* p_pContext, int p_iFd);

// The bounds of one connection, milliseconds; each as the blocking adaptor
// reads it.
struct CConnectionBounds {
    int64_t m_llConnectMs = 0;   // all addresses together (below 1: 1)
    int64_t m_llSendMs = 0;      // each wait to send
    int64_t m_llRecvMs = 0;      // each wait for answer bytes
    int64_t m_llDeadlineMs = 0;  // from the call's start to the last answer byte; 0: none
    int m_iMaxPacketLength = 0;  // largest answer (packet length, inflated body)
};

// Owns the socket (closed when the connection ends or is destroyed), the
// request packet, the answer being read and the error record. One thread at
// a time; not copyable. Failures are the transport table's codes with the
// record "<table text>(<code>)(<details>)", exactly as the blocking adaptor
// records them for the same event.
class CCallConnection {
public:
    enum State { IDLE, CONNECTING, SENDING, RECEIVING, DONE, FAILED };
    enum { WANT_READ = 1, WANT_WRITE = 2 };

    CCallConnection() = default;
    ~CCallConnection();
    CCallConnection(const CCallConnection&) = delete;
    CCallConnection& operator=(const CCallConnection&) = delete;

    // Keeps copies of the packets and the phase times in *p_pTrace (owned by
    // the caller, alive while this works); null keeps nothing.
    void SetTrace(CWireTrace* p_pTrace) { m_pTrace = p_pTrace; }
    // Calls p_Fn(p_pContext, fd) before a socket closes; p_pContext stays
    // alive while this works.
    void SetClosingHook(SocketClosingFn p_Fn, void* p_pContext) {
        m_ClosingFn = p_Fn;
        m_pClosingContext = p_pContext;
    }
    // Once connected, fail the send step with this code and details instead
    // of sending (a request that could not be framed).
    void FailSendWith(int p_iCode, const std::string& p_strDetails);

    // Starts connecting to p_Addresses (taken over) as p_szHost:p_iPort with
    // p_Packet (taken over) to send. p_llStartMs is the call's start on the
    // MonotonicMillis clock (its deadline counts from there), p_llNowMs now.
    // Advances as far as it can without waiting.
    State Start(CAddressList&& p_Addresses, const char* p_szHost, int p_iPort, CStream&& p_Packet,
                const CConnectionBounds& p_Bounds, int64_t p_llStartMs, int64_t p_llNowMs);
    // Fails the connect step at once: the resolver found nothing for
    // p_szHost, or p_iPort lies outside 0..65535.
    State FailResolve(const char* p_szHost);
    State FailPort(int p_iPort);
    // Drives the connection to its end on the calling thread, waiting with
    // poll.
    State RunBlocking();

    // The descriptor to wait on (-1 when none), the events wanted
    // (WANT_READ/WANT_WRITE), and when the current wait times out
    // (MonotonicMillis; 0 when nothing is awaited).
    int Fd() const { return m_iSock; }
    int Wanted() const { return m_iWant; }
    int64_t TimeoutAt() const { return m_llTimeoutAt; }

    // The descriptor is ready (an error or hang-up counts as ready: the next
    // system call reports it). Advances as far as it can.
    State OnReady(int64_t p_llNowMs);
    // Time has passed: fails the step whose wait has ended, if it has.
    State OnTimer(int64_t p_llNowMs);
    // The wait itself failed with p_iErrno (poll): -10 for the step.
    State OnWaitFailed(int p_iErrno);
    // Ends the connection now (closes the socket); the state stays as it was.
    void Abort();

    State GetState() const { return m_eState; }
    bool Finished() const { return m_eState == DONE || m_eState == FAILED; }
    // The step that failed: CONNECTING, SENDING or RECEIVING.
    State FailedStep() const { return m_eFailedStep; }
    int ErrorCode() const { return m_iErrorCode; }
    const char* ErrorText() const { return m_strError.ToStr(); }
    // The system's error number of the failure (ETIMEDOUT for a time-out), or 0.
    int SysErrno() const { return m_iSysErrno; }
    bool DeadlinePassed() const { return m_bDeadlinePassed; }
    // The connect step failed on every address (not ended by the deadline).
    bool EveryAddressFailed() const {
        return m_eState == FAILED && m_eFailedStep == CONNECTING && !m_bDeadlinePassed &&
               m_nAddress >= m_Addresses.Size();
    }

    // The answer, complete once DONE: header fields and the inflated body,
    // unless the body was kept compressed (a large one, checked whole):
    // then it is the CompressedBody() bytes, inflating to at most
    // BodyCeiling() bytes.
    CPacketInfo& Answer() { return m_Answer; }
    bool BodyKeptCompressed() const { return m_bKeptCompressed; }
    const char* CompressedBody() const { return m_Wire.GetData(); }
    int CompressedLength() const { return m_Frame.m_iWireBody; }
    int BodyCeiling() const { return m_Frame.m_iBody; }
    // The body's length once inflated; -1 before it has arrived.
    long long BodyLength() const { return m_llInflated; }
    // The numeric address connected to ("127.0.0.1", "::1"); "" when none.
    const char* ConnectedAddress() const;
    int64_t ConnectMicros() const { return m_llConnectMicros; }

private:
    State BeginAddress(int64_t p_llNowMs);
    // The connect step has succeeded: its time is taken, sending begins.
    void MarkConnected();
    State Connected(int64_t p_llNowMs);
    State TrySend(int64_t p_llNowMs);
    State TryReceive(int64_t p_llNowMs);
    // Bytes of the first reads (header first); false when the answer failed.
    bool TakeFirstBytes(const char* p_pBytes, int p_iCount);
    // Bytes after the header arrived: decodes what is complete.
    bool RestArrived();
    // A finished header, body or checksum: checks and decodes it.
    bool HeaderArrived();
    bool BodyArrived();
    bool ChecksumArrived();
    State ConnectFailed(int64_t p_llNowMs);
    State Fail(int p_iCode, int p_iErrno, const char* p_szFormat, ...) __attribute__((format(printf, 4, 5)));
    State FailDeadline(int p_iCode, const char* p_szOp);
    // Waits for p_iEvents at most p_llMillis (cut by the deadline).
    void Await(int p_iEvents, int64_t p_llMillis, int64_t p_llNowMs);
    int64_t DeadlineLeft(int64_t p_llNowMs) const;
    void CloseSocket();
    void EndConnectPhase();

    State m_eState = IDLE;
    State m_eFailedStep = IDLE;
    int m_iSock = -1;
    int m_iWant = 0;
    int64_t m_llTimeoutAt = 0;
    bool m_bWaitCutByDeadline = false;

    CAddressList m_Addresses;
    size_t m_nAddress = 0;
    CString m_strHost;
    int m_iPort = 0;
    bool m_bConnected = false;
    mutable CString m_strAddress;
    CConnectionBounds m_Bounds;
    int64_t m_llDeadlineAt = 0;
    int64_t m_llConnectEnd = 0;
    int64_t m_llConnectStartUs = 0;
    int64_t m_llConnectMicros = 0;
    bool m_bDeadlinePassed = false;

    CStream m_Packet;
    size_t m_nSent = 0;
    int m_iSendFailCode = 0;
    std::string m_strSendFailDetails;

    char m_szHeader[129] = {};
    int m_iHeaderGot = 0;
    vorant::packet::Frame m_Frame;
    char* m_pRest = nullptr;  // wire body then checksum digits
    CStream m_Wire;           // their buffer when the body travels compressed
    int m_iRestGot = 0;
    bool m_bBodyDecoded = false;
    bool m_bKeptCompressed = false;
    long long m_llInflated = -1;
    int m_iBodySum = 0;
    CPacketInfo m_Answer;

    int m_iErrorCode = 0;
    int m_iSysErrno = 0;
    CString m_strError;
    CWireTrace* m_pTrace = nullptr;
    SocketClosingFn m_ClosingFn = nullptr;
    void* m_pClosingContext = nullptr;
};

#endif  // VORANT_TRANSPORT_CALL_CONNECTION_H
