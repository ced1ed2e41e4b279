"""Initialising the library and calling services."""

from __future__ import annotations

import ctypes
import math
import os
from typing import Optional, Union

from . import _native
from .errors import Rejected, VorantError
from .message import Message

PathLike = Union[str, "os.PathLike[str]"]

_REJECTED = -4
_MS_MAX = 2**31 - 1


class _CallOptions(ctypes.Structure):
    """VorantCallOptions: bounds for one call; 0 takes the configured value."""

    _fields_ = [("size", ctypes.c_uint), ("connectTimeoutMs", ctypes.c_int), ("recvTimeoutMs", ctypes.c_int),
                ("deadlineMs", ctypes.c_int), ("maxAnswer", ctypes.c_int)]


def _ms(name: str, seconds: Optional[float], none: Optional[int] = None) -> int:
    """seconds as whole milliseconds (rounded up); None gives 0, the
    configured value, and math.inf gives none where the library has one."""
    if seconds is None:
        return 0
    if isinstance(seconds, bool) or not isinstance(seconds, (int, float)):
        raise TypeError(f"{name} is a number of seconds, not {type(seconds).__name__}")
    if seconds == math.inf and none is not None:
        return none
    if not 0 < seconds <= _MS_MAX / 1000:
        raise ValueError(f"{name}={seconds!r}: seconds above 0 and at most {_MS_MAX // 1000}")
    return math.ceil(seconds * 1000)


def _bytes(name: str, value: Optional[int]) -> int:
    if value is None:
        return 0
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError(f"{name} is a number of bytes, not {type(value).__name__}")
    if not 128 <= value <= _MS_MAX:
        raise ValueError(f"{name}={value!r}: bytes from 128 to {_MS_MAX}")
    return value


def _error(info: _native.ErrorInfo, result: int) -> VorantError:
    text = info.text.decode("latin-1")
    if result == _REJECTED:
        return Rejected(info.code, text, info.refSvcNum, result)
    return VorantError(info.code, text, info.refSvcNum, result)


def initialize(config_path: Optional[PathLike] = None, *, key_file: Optional[PathLike] = None,
               msg_dic: Optional[PathLike] = None, host: Optional[str] = None, port: Optional[int] = None,
               timeout: int = 90, connect_timeout: Optional[float] = None, deadline: Optional[float] = None,
               max_answer: Optional[int] = None) -> None:
    """Loads the dictionary and the key file and sets the server, either from
    a configuration file (``initialize("vorant.conf")``) or from the
    explicit settings (``initialize(key_file=..., msg_dic=..., host=...,
    port=..., timeout=...)``; timeout in seconds). The explicit form also
    takes the bounds of every call that the file form reads from its keys:
    connect_timeout (seconds, None: 10), deadline (seconds, None: none) and
    max_answer (bytes, None: 64 MiB).

    Raises VorantError with the library's record on failure. The
    dictionary is loaded once per process: a later initialisation fails.
    Must not overlap any call.
    """
    lib = _native.library()
    info = _native.ErrorInfo()
    explicit = (key_file, msg_dic, host, port)
    bounds = (_ms("connect_timeout", connect_timeout), _ms("deadline", deadline, 0),
              _bytes("max_answer", max_answer))
    if config_path is not None:
        if any(v is not None for v in explicit) or any(bounds):
            raise TypeError("initialize() takes a configuration file or explicit settings, not both")
        result = lib.Vorant_Initialize(os.fsencode(config_path), ctypes.byref(info))
    else:
        if any(v is None for v in explicit):
            raise TypeError("initialize() needs a configuration file, or key_file, msg_dic, host and port")
        for name, value in (("port", port), ("timeout", timeout)):
            if not isinstance(value, int) or isinstance(value, bool):
                raise TypeError(f"{name} is an int, not {type(value).__name__}")
        result = lib.Vorant_InitializeEx(os.fsencode(key_file), os.fsencode(msg_dic),  # type: ignore[arg-type]
                                         str(host).encode("latin-1"), port, timeout, ctypes.byref(info))
        if result == 0:
            result = lib.Vorant_SetCallBounds(*bounds, ctypes.byref(info))
    if result != 0:
        raise _error(info, result)


def call(service: int, request: Message, *, connect_timeout: Optional[float] = None,
         timeout: Optional[float] = None, deadline: Optional[float] = None,
         max_answer: Optional[int] = None) -> Message:
    """Sends request to service and returns the answer, a new Message that
    the caller owns.

    Bounds for this call alone (None: the configured value): connect_timeout
    for connecting (seconds), timeout for each wait for answer bytes,
    deadline from the start of the call to the last answer byte (math.inf:
    none), max_answer the largest answer in bytes. A bound that fires is a
    VorantError with result -3 and the step's code (-3 connect, -4 send, -5
    receive), its text naming "to=" or "deadline=".

    Raises Rejected when the server answers with a REJECT (its code, reason
    and service number), VorantError for every other failure (the library's
    code and text). The GIL is released while the call waits, so threads
    may call at once (each with its own messages).
    """
    if not isinstance(service, int) or isinstance(service, bool):
        raise TypeError(f"service is an int, not {type(service).__name__}")
    if not isinstance(request, Message):
        raise TypeError(f"request is a vorant.Message, not {type(request).__name__}")
    bounds = (_ms("connect_timeout", connect_timeout), _ms("timeout", timeout), _ms("deadline", deadline, -1),
              _bytes("max_answer", max_answer))
    options = None
    if any(bounds):
        options = _CallOptions(ctypes.sizeof(_CallOptions), *bounds)
    lib = _native.library()
    answer = lib.MSG_GetNewMsg(0, None)
    if not answer:
        raise VorantError(-11, "no message for the answer")
    info = _native.ErrorInfo()
    try:
        if options is None:
            result = lib.Vorant_CallService(service, request._handle(), answer, ctypes.byref(info))
        else:
            result = lib.Vorant_CallServiceEx(service, request._handle(), answer, ctypes.byref(options),
                                              ctypes.byref(info))
    except BaseException:
        lib.MSG_Destroy(answer)
        raise
    if result != 0:
        lib.MSG_Destroy(answer)
        raise _error(info, result)
    return Message._adopt_native(answer)
