"""The one place that knows libvorant's C side: finding and loading the
library, the ctypes mirrors of its records and callbacks, the prototypes of
the flat functions the package uses, the library's constants, and the
turning of a C function's failure into the package's exceptions (each
prototype's errcheck), so that no call site checks a result code itself."""

from __future__ import annotations

import ctypes
import os
import re
import threading
from pathlib import Path
from typing import Any, Callable, Dict, List, Optional, Sequence, Tuple

from .errors import CallTimeout, ConnectError, Rejected, VorantError

# Sonames tried with the system loader, newest interface first.
_SONAMES = ("libvorant.so.1", "libvorant.so")

# ---- constants of vorant.h and vorant/multi.h

RESULT_FAILED = -3  # a call failed: the error record's code names the step
RESULT_REJECTED = -4  # the server answered with a REJECT
STEP_CONNECT, STEP_SEND, STEP_RECEIVE = -3, -4, -5
MIN_MAX_ANSWER = 128  # the smallest bound on an answer's size
MS_MAX = 2**31 - 1

TAG_STRING, TAG_INT, TAG_DBL, TAG_BOOL, TAG_DATE, TAG_SUBMSG = 1, 2, 3, 4, 5, 6

POLL_IN, POLL_OUT, POLL_REMOVE = 1, 2, 4
SOCKET_TIMEOUT = -1
CALL_CANCELLED = -8
MULTI_NOT_INITIALIZED = -1
MULTI_BAD_OPTIONS = -2
MULTI_SYSTEM = -10
MULTI_BAD_ARGUMENT = -12
MULTI_NOT_IN_FLIGHT = -27

# ---- records


class ErrorInfo(ctypes.Structure):
    """VorantErrorInfo: the library's error record."""

    _fields_ = [("code", ctypes.c_int), ("text", ctypes.c_char * 1024), ("refSvcNum", ctypes.c_int)]


class TagDef(ctypes.Structure):
    """VorantTagDef: one tag definition of the dictionary."""

    _fields_ = [
        ("size", ctypes.c_int),
        ("tag", ctypes.c_int),
        ("name", ctypes.c_char_p),
        ("type", ctypes.c_int),
        ("subMsg", ctypes.c_int),
        ("isArray", ctypes.c_int),
    ]


class CallOptions(ctypes.Structure):
    """VorantCallOptions: bounds and server of one call; 0 (or null) keeps
    the configured value."""

    _fields_ = [
        ("size", ctypes.c_uint),
        ("connectTimeoutMs", ctypes.c_int),
        ("recvTimeoutMs", ctypes.c_int),
        ("deadlineMs", ctypes.c_int),
        ("maxAnswer", ctypes.c_int),
        ("host", ctypes.c_char_p),
        ("port", ctypes.c_int),
    ]


class TraceRecord(ctypes.Structure):
    """VorantTrace; it grows only at its end (its size field says how far
    the library's record reaches)."""

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
        ("queueUs", ctypes.c_longlong),
        ("sysErrno", ctypes.c_int),
    ]


# The layouts the C compiler gives these records on LP64 and ILP32 (i386)
# systems. Checked at import, also under python -O: a mismatch would make
# the library read or write past a record.
_LAYOUTS = {
    ErrorInfo: {8: 1032, 4: 1032},
    TagDef: {8: 32, 4: 24},
    CallOptions: {8: 40, 4: 28},
    TraceRecord: {8: 272, 4: 228},
}


def _check_layouts() -> None:
    pointer = ctypes.sizeof(ctypes.c_void_p)
    for record, sizes in _LAYOUTS.items():
        wanted = sizes.get(pointer)
        if wanted is not None and ctypes.sizeof(record) != wanted:
            raise ImportError(f"vorant: {record.__name__} is {ctypes.sizeof(record)} bytes here, "
                              f"the library's is {wanted}")


_check_layouts()

# ---- callbacks (a CFUNCTYPE object must stay referenced while C may call it)

TRACE_HOOK = ctypes.CFUNCTYPE(None, ctypes.POINTER(TraceRecord), ctypes.c_void_p)
DONE_FN = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.POINTER(ErrorInfo))
SOCKET_FN = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int, ctypes.c_int)
TIMER_FN = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_long)

# ---- failures into exceptions

_TIMED_OUT = re.compile(r"\((?:connect|send|recv) (?:to|deadline)=")


def error_from_record(code: int, text: str, ref_svc_num: int, result: int) -> VorantError:
    """The exception for a call's error record: Rejected for a REJECT,
    CallTimeout for a time-out or deadline of any step, ConnectError for a
    server that could not be reached, else VorantError."""
    if result == RESULT_REJECTED:
        return Rejected(code, text, ref_svc_num, result)
    if result == RESULT_FAILED and code in (STEP_CONNECT, STEP_SEND, STEP_RECEIVE):
        if _TIMED_OUT.search(text):
            return CallTimeout(code, text, ref_svc_num, result)
        if code == STEP_CONNECT:
            return ConnectError(code, text, ref_svc_num, result)
    return VorantError(code, text, ref_svc_num, result)


def record_error(info: ErrorInfo, result: int) -> VorantError:
    return error_from_record(info.code, info.text.decode("latin-1"), info.refSvcNum, result)


def _check_record(result: int, func: Any, args: Sequence[Any]) -> int:
    # The Vorant_* functions that fill the caller's record (the last argument).
    if result != 0:
        raise record_error(args[-1], result)
    return result


def _check_msg(result: int, func: Any, args: Sequence[Any]) -> int:
    # The MSG_* functions: a negative code, the reason in the message's last error.
    if result < 0:
        text = _lib.MSG_GetLastError(args[0]) if _lib is not None and args[0] else None
        raise VorantError(result, (text or b"").decode("latin-1"))
    return result


_MULTI_TEXTS = {
    MULTI_BAD_ARGUMENT: "bad argument to the call engine",
    MULTI_BAD_OPTIONS: "call options out of range",
    MULTI_NOT_IN_FLIGHT: "no such call in flight",
    MULTI_SYSTEM: "the call engine's wait failed",
}


def _check_multi(result: int, func: Any, args: Sequence[Any]) -> int:
    if result >= 0:
        return result
    if func.__name__ == "Vorant_MultiStart" and result == MULTI_NOT_INITIALIZED:
        # As a blocking call before initialisation reports it.
        raise VorantError(-35, "call CVorant::Initialize() first", args[1], -1)
    if result == MULTI_SYSTEM:
        errno = ctypes.get_errno()
        raise OSError(errno, f"{func.__name__}: {os.strerror(errno)}")
    raise VorantError(result, f"{func.__name__}: {_MULTI_TEXTS.get(result, 'failed')}")


def _check_pointer(result: Optional[int], func: Any, args: Sequence[Any]) -> int:
    if not result:
        raise VorantError(MULTI_SYSTEM, f"{func.__name__} failed: no handle (out of descriptors or memory?)")
    return result


_P = ctypes.c_void_p
_I = ctypes.c_int
_S = ctypes.c_char_p
_PI = ctypes.POINTER(ctypes.c_int)
_PD = ctypes.POINTER(ctypes.c_double)
_PE = ctypes.POINTER(ErrorInfo)

Check = Optional[Callable[[Any, Any, Sequence[Any]], Any]]

# name: (result type, argument types, errcheck); no errcheck where a negative
# result or a null is an answer rather than a failure.
_PROTOTYPES: Dict[str, Tuple[Any, List[Any], Check]] = {
    "Vorant_Initialize": (_I, [_S, _PE], _check_record),
    "Vorant_InitializeEx": (_I, [_S, _S, _S, _I, _I, _PE], _check_record),
    "Vorant_SetCallBounds": (_I, [_I, _I, _I, _PE], _check_record),
    "Vorant_SetTraceHook": (_I, [TRACE_HOOK, _P], None),
    "Vorant_MultiCreate": (_P, [_I], _check_pointer),
    "Vorant_MultiStart": (_I, [_P, _I, _P, _P, ctypes.POINTER(CallOptions), DONE_FN, _P], _check_multi),
    "Vorant_MultiPoll": (_I, [_P, _I], _check_multi),
    "Vorant_MultiCancel": (_I, [_P, _I], None),
    "Vorant_MultiSetHooks": (_I, [_P, SOCKET_FN, TIMER_FN, _P], _check_multi),
    "Vorant_MultiSocketAction": (_I, [_P, _I, _I], _check_multi),
    "Vorant_MultiWakeup": (_I, [_P], _check_multi),
    "Vorant_MultiDestroy": (None, [_P], None),
    "MSG_GetNewMsg": (_P, [_I, _PE], None),
    "MSG_Destroy": (None, [_P], None),
    "MSG_GetSelfNum": (_I, [_P], None),
    "MSG_SetInt": (_I, [_P, _I, _I], _check_msg),
    "MSG_SetDbl": (_I, [_P, _I, ctypes.c_double], _check_msg),
    "MSG_SetStr": (_I, [_P, _I, _S], _check_msg),
    "MSG_SetBool": (_I, [_P, _I, _I], _check_msg),
    "MSG_SetDate": (_I, [_P, _I, _S], _check_msg),
    "MSG_SetSub": (_I, [_P, _I, _P], _check_msg),
    "MSG_GetStrLen": (_I, [_P, _I], _check_msg),
    "MSG_GetStr": (_I, [_P, _I, ctypes.c_char_p], _check_msg),
    "MSG_GetInt": (_I, [_P, _I, _PI], _check_msg),
    "MSG_GetDbl": (_I, [_P, _I, _PD], _check_msg),
    "MSG_GetBool": (_I, [_P, _I, _PI], _check_msg),
    "MSG_GetDate": (_I, [_P, _I, ctypes.c_char_p], _check_msg),
    "MSG_GetSub": (_P, [_P, _I, _PI], None),
    "MSG_GetArrSize": (_I, [_P, _I], None),
    "MSG_GetAtStrLen": (_I, [_P, _I, _I], _check_msg),
    "MSG_GetAtStrArr": (_I, [_P, _I, _I, ctypes.c_char_p], _check_msg),
    "MSG_GetAtIntArr": (_I, [_P, _I, _I, _PI], _check_msg),
    "MSG_GetAtDblArr": (_I, [_P, _I, _I, _PD], _check_msg),
    "MSG_GetAtBoolArr": (_I, [_P, _I, _I, _PI], _check_msg),
    "MSG_GetAtDateArr": (_I, [_P, _I, _I, ctypes.c_char_p], _check_msg),
    "MSG_GetAtSubArr": (_P, [_P, _I, _I, _PI], None),
    "MSG_GetLastError": (_S, [_P], None),
    "MSG_DumpToBuffer": (_I, [_P, ctypes.c_char_p, _I], _check_msg),
    "MSG_FindMsgNum": (_I, [_S], None),
    "MSG_GetMsgName": (_S, [_I], None),
    "MSG_GetTagDefCount": (_I, [_I], None),
    "MSG_GetTagDef": (_I, [_I, _I, ctypes.POINTER(TagDef)], None),
}

_lock = threading.Lock()
_lib: Optional[ctypes.CDLL] = None


def _beside_package() -> List[str]:
    """The library where an installation put it: copied into the package
    (pip), or named by _location.LIBRARY relative to the package (CMake)."""
    here = Path(__file__).resolve().parent
    found = [str(here / name) for name in _SONAMES if (here / name).exists()]
    try:
        from . import _location  # written by cmake --install

        found.append(str((here / _location.LIBRARY).resolve()))
    except ImportError:
        pass
    return found


def candidates() -> List[str]:
    """Where the library is looked for, in order: VORANT_LIBRARY alone when
    it is set, else beside the package, else the system loader's names."""
    explicit = os.environ.get("VORANT_LIBRARY")
    if explicit:
        return [explicit]
    return _beside_package() + list(_SONAMES)


def library() -> ctypes.CDLL:
    """The loaded library (loaded on first use). Raises OSError naming every
    place tried when it cannot be loaded."""
    global _lib
    if _lib is not None:
        return _lib
    with _lock:
        if _lib is None:
            failures = []
            for path in candidates():
                try:
                    lib = ctypes.CDLL(path, use_errno=True)
                except OSError as e:
                    failures.append(f"{path}: {e}")
                    continue
                _declare(lib)
                _lib = lib
                break
            else:
                raise OSError("libvorant.so not found (set VORANT_LIBRARY to its path); tried:\n  "
                              + "\n  ".join(failures))
    return _lib


def _declare(lib: ctypes.CDLL) -> None:
    for name, (restype, argtypes, errcheck) in _PROTOTYPES.items():
        try:
            fn = getattr(lib, name)
        except AttributeError:
            raise OSError(f"{lib._name} is too old for this package: it lacks {name}") from None
        fn.restype = restype
        fn.argtypes = argtypes
        if errcheck is not None:
            fn.errcheck = errcheck


# ---- top-level native messages the package owns, counted

_count_lock = threading.Lock()
_owned = 0


def _owned_changed(delta: int) -> None:
    global _owned
    with _count_lock:
        _owned += delta


def new_msg(number: int) -> Optional[int]:
    """A new top-level native message (0: one an answer will fill); None
    when the library cannot make it."""
    ptr = library().MSG_GetNewMsg(number, None)
    if ptr:
        _owned_changed(1)
    return ptr


def free_msg(ptr: int) -> None:
    library().MSG_Destroy(ptr)
    _owned_changed(-1)


def handed_over() -> None:
    """A top-level message now belongs to another message's tree."""
    _owned_changed(-1)


def native_messages() -> int:
    """How many top-level native messages the package holds now: messages
    not closed or collected, and answers of calls in flight."""
    return _owned
