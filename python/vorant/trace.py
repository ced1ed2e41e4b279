"""The trace hook: a Python callable told what every call did."""

from __future__ import annotations

import ctypes
from typing import Callable, NamedTuple, Optional

from . import _native


class _TraceRecord(ctypes.Structure):
    """VorantTrace as vorant/trace.h lays it out; it grows only at its end."""

    _fields_ = [
        ("size", ctypes.c_size_t),
        ("svcNum", ctypes.c_int),
        ("msgNum", ctypes.c_int),
        ("answerMsgNum", ctypes.c_int),
        ("host", ctypes.c_char_p),
        ("port", ctypes.c_int),
        ("address", ctypes.c_char * 64),
        ("result", ctypes.c_int),
        ("code", ctypes.c_int),
        ("requestWireBytes", ctypes.c_longlong),
        ("requestBodyBytes", ctypes.c_longlong),
        ("requestCompressed", ctypes.c_int),
        ("answerWireBytes", ctypes.c_longlong),
        ("answerBodyBytes", ctypes.c_longlong),
        ("answerCompressed", ctypes.c_int),
        ("serializeUs", ctypes.c_longlong),
        ("resolveUs", ctypes.c_longlong),
        ("connectUs", ctypes.c_longlong),
        ("sendUs", ctypes.c_longlong),
        ("firstByteUs", ctypes.c_longlong),
        ("receiveUs", ctypes.c_longlong),
        ("parseUs", ctypes.c_longlong),
        ("totalUs", ctypes.c_longlong),
        ("requestPacket", ctypes.POINTER(ctypes.c_ubyte)),
        ("requestPacketSize", ctypes.c_size_t),
        ("answerPacket", ctypes.POINTER(ctypes.c_ubyte)),
        ("answerPacketSize", ctypes.c_size_t),
    ]


HOOK_TYPE = ctypes.CFUNCTYPE(None, ctypes.POINTER(_TraceRecord), ctypes.c_void_p)


class Trace(NamedTuple):
    """What one call did. Times are microseconds, -1 for a phase the call did
    not reach (as sizes not known are); packets are the bytes as they
    travelled (b"" when none)."""

    service: int
    msg_num: int
    answer_msg_num: int  # 10 for a REJECT, 0 when no answer was parsed
    host: str
    port: int
    address: str  # the numeric address connected, "" when none
    result: int  # what the call returned: 0 or negative
    code: int  # the error record's code, or the server's code of a REJECT
    request_wire_bytes: int
    request_body_bytes: int
    request_compressed: bool
    answer_wire_bytes: int
    answer_body_bytes: int
    answer_compressed: bool
    serialize_us: int
    resolve_us: int
    connect_us: int
    send_us: int
    first_byte_us: int
    receive_us: int
    parse_us: int
    total_us: int
    request_packet: bytes
    answer_packet: bytes


def _packet(pointer: "ctypes._Pointer[ctypes.c_ubyte]", size: int) -> bytes:
    return ctypes.string_at(pointer, size) if pointer and size else b""


def _to_trace(r: _TraceRecord) -> Trace:
    if r.size < ctypes.sizeof(_TraceRecord):
        raise RuntimeError(f"trace record of {r.size} bytes: the library is older than this package")
    return Trace(r.svcNum, r.msgNum, r.answerMsgNum, (r.host or b"").decode("latin-1"), r.port,
                 r.address.decode("latin-1"), r.result, r.code, r.requestWireBytes, r.requestBodyBytes,
                 bool(r.requestCompressed), r.answerWireBytes, r.answerBodyBytes, bool(r.answerCompressed),
                 r.serializeUs, r.resolveUs, r.connectUs, r.sendUs, r.firstByteUs, r.receiveUs, r.parseUs,
                 r.totalUs, _packet(r.requestPacket, r.requestPacketSize),
                 _packet(r.answerPacket, r.answerPacketSize))


_installed: Optional[object] = None  # the ctypes callback the library holds


def set_trace_hook(hook: Optional[Callable[[Trace], None]]) -> None:
    """Calls hook with a Trace at the end of every call, on the calling
    thread (so from several threads at once when they call at once); None
    removes it. Set it before calls start, never while calls run. An
    exception in the hook is reported (sys.unraisablehook) and the call goes
    on unaffected."""
    global _installed
    lib = _native.library()
    if hook is None:
        lib.Vorant_SetTraceHook(None, None)
        _installed = None
        return
    if not callable(hook):
        raise TypeError(f"the trace hook is a callable, not {type(hook).__name__}")

    def relay(record: "ctypes._Pointer[_TraceRecord]", _user: Optional[int]) -> None:
        hook(_to_trace(record.contents))

    callback = HOOK_TYPE(relay)
    lib.Vorant_SetTraceHook(callback, None)
    _installed = callback
