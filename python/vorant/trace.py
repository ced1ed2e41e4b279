"""The trace hook: a Python callable told what every call did."""

from __future__ import annotations

import ctypes
import threading
from typing import Callable, NamedTuple, Optional

from . import _native
from ._native import TraceRecord


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
    queue_us: int  # waiting for a free slot of the call engine
    sys_errno: int  # the system's error number of the failing step, else 0


_FIRST_FIELDS = TraceRecord.queueUs.offset  # the record before the engine


def _packet(pointer: "ctypes._Pointer[ctypes.c_ubyte]", size: int) -> bytes:
    return ctypes.string_at(pointer, size) if pointer and size else b""


def _to_trace(r: TraceRecord) -> Trace:
    if r.size < _FIRST_FIELDS:
        raise RuntimeError(f"trace record of {r.size} bytes: the library is older than this package")
    engine = r.size >= ctypes.sizeof(TraceRecord)
    return Trace(r.svcNum, r.msgNum, r.answerMsgNum, (r.host or b"").decode("latin-1"), r.port,
                 r.address.decode("latin-1"), r.result, r.code, r.requestWireBytes, r.requestBodyBytes,
                 bool(r.requestCompressed), r.answerWireBytes, r.answerBodyBytes, bool(r.answerCompressed),
                 r.serializeUs, r.resolveUs, r.connectUs, r.sendUs, r.firstByteUs, r.receiveUs, r.parseUs,
                 r.totalUs, _packet(r.requestPacket, r.requestPacketSize),
                 _packet(r.answerPacket, r.answerPacketSize), r.queueUs if engine else 0,
                 r.sysErrno if engine else 0)


_user_hook: Optional[Callable[[Trace], None]] = None
_sizes_wanted = False
_last = threading.local()  # the answer packet's size of this thread's last call
_installed: Optional[object] = None  # the ctypes callback the library holds


def _relay(record: "ctypes._Pointer[TraceRecord]", _user: Optional[int]) -> None:
    r = record.contents
    if _sizes_wanted:
        _last.answer_bytes = r.answerPacketSize
    hook = _user_hook
    if hook is not None:
        hook(_to_trace(r))


def _apply() -> None:
    global _installed
    lib = _native.library()
    if _user_hook is None and not _sizes_wanted:
        lib.Vorant_SetTraceHook(ctypes.cast(None, _native.TRACE_HOOK), None)
        _installed = None
    elif _installed is None:
        callback = _native.TRACE_HOOK(_relay)
        lib.Vorant_SetTraceHook(callback, None)
        _installed = callback


def set_trace_hook(hook: Optional[Callable[[Trace], None]]) -> None:
    """Calls hook with a Trace at the end of every call, on the thread that
    makes or drives the call (so from several threads at once when they
    call at once); None removes it. Set it before calls start, never while
    calls run. An exception in the hook is reported (sys.unraisablehook) and
    the call goes on unaffected."""
    global _user_hook
    if hook is not None and not callable(hook):
        raise TypeError(f"the trace hook is a callable, not {type(hook).__name__}")
    _user_hook = hook
    _apply()


def want_answer_sizes() -> None:
    """From now on last_answer_bytes() tells each thread the answer packet's
    size of its last finished call (the library reports it at the end of the
    call, before the call's result is handed back). Same rule as
    set_trace_hook: before calls start."""
    global _sizes_wanted
    if not _sizes_wanted:
        _sizes_wanted = True
        _apply()


def last_answer_bytes() -> int:
    """The answer packet's size of this thread's last finished call, once
    want_answer_sizes() is on; 0 otherwise. Reading it resets it."""
    size = getattr(_last, "answer_bytes", 0)
    _last.answer_bytes = 0
    return size
