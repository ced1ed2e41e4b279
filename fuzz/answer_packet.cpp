// Fuzz target: reading an answer packet. The input is what a server sends
// before it closes the connection; the adaptor reads it from the other end of
// a socket pair, as it reads a real answer.
#include <sys/socket.h>
#include <unistd.h>

#include "fuzz_targets.h"
#include "transport/adaptor_errors.h"
#include "transport/packet_info.h"
#include "transport/tcp_adaptor.h"

namespace {

// Inputs must fit the socket's buffer: the whole answer is written before it
// is read.
const size_t kMaxInput = 64 * 1024;
// Announced lengths above this are refused; a small bound keeps every input
// fast and exercises the same checks as the default.
const int kMaxPacketLength = 1 << 20;

bool IsAnswerFailure(int p_iCode) {
    switch (p_iCode) {
        case ADAPTOR_CLOSED:  // the answer ends early
        case ADAPTOR_CHECKSUM:
        case ADAPTOR_HEADER:
        case ADAPTOR_COMPRESSION:
        case ADAPTOR_CORRUPTED: return true;
        default: return false;
    }
}

}  // namespace

int FuzzAnswerPacket(const uint8_t* p_pData, size_t p_nSize) {
    if (p_nSize > kMaxInput)
        return 0;
    int aiSock[2];
    FUZZ_CHECK(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, aiSock) == 0);
    const int iServer = aiSock[0];
    const int iClient = aiSock[1];
    size_t nSent = 0;
    while (nSent < p_nSize) {
        const ssize_t n = send(iServer, p_pData + nSent, p_nSize - nSent, MSG_DONTWAIT | MSG_NOSIGNAL);
        FUZZ_CHECK(n > 0);
        nSent += static_cast<size_t>(n);
    }
    close(iServer);

    CTcpAdaptor adaptor;
    adaptor.SetMaxPacketLength(kMaxPacketLength);
    adaptor.Attach(iClient, "fuzz", 0);  // the adaptor closes it
    CPacketInfo info;
    // The peer has gone: every read ends at once, the time-out never runs out.
    const int iResult = adaptor.ReceiveFrom(&info, 1);
    if (iResult != 0) {
        FUZZ_CHECK(IsAnswerFailure(iResult));
        FUZZ_CHECK(adaptor.GetLastErrorCode() == iResult && adaptor.GetLastError()[0] != '\0');
        return 0;
    }
    const CStream& body = info.m_Body;
    FUZZ_CHECK(body.GetSize() >= 0 && body.GetSize() <= kMaxPacketLength);
    FUZZ_CHECK(body.GetSize() == 0 || body.GetData()[body.GetSize()] == '\0');
    // Nothing is taken from beyond the packet.
    FUZZ_CHECK(info.m_bCompressed || static_cast<size_t>(body.GetSize()) + 131 <= p_nSize);
    return 0;
}

VORANT_FUZZ_ENTRY(FuzzAnswerPacket)
