"""Initialising the library and calling services."""

from __future__ import annotations

import ctypes
import math
import os
from typing import Optional, Union

from . import _native
from ._native import MIN_MAX_ANSWER, MS_MAX, CallOptions
from .errors import VorantError
from .message import Message

PathLike = Union[str, "os.PathLike[str]"]

_initialised = False


def _ms(name: str, seconds: Optional[float], none: Optional[int] = None) -> int:
    """seconds as whole milliseconds (rounded up); None gives 0, the
    configured value, and math.inf gives none where the library has one."""
    if seconds is None:
        return 0
    if isinstance(seconds, bool) or not isinstance(seconds, (int, float)):
        raise TypeError(f"{name} is a number of seconds, not {type(seconds).__name__}")
    if seconds == math.inf and none is not None:
        return none
    if not 0 < seconds <= MS_MAX / 1000:
        raise ValueError(f"{name}={seconds!r}: seconds above 0 and at most {MS_MAX // 1000}")
    return math.ceil(seconds * 1000)


def _bytes(name: str, value: Optional[int]) -> int:
    if value is None:
        return 0
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError(f"{name} is a number of bytes, not {type(value).__name__}")
    if not MIN_MAX_ANSWER <= value <= MS_MAX:
        raise ValueError(f"{name}={value!r}: bytes from {MIN_MAX_ANSWER} to {MS_MAX}")
    return value


def _server(host: Optional[str], port: Optional[int]) -> "tuple[Optional[bytes], int]":
    if host is not None:
        if not isinstance(host, str):
            raise TypeError(f"host is a str, not {type(host).__name__}")
        if not host or "\0" in host:
            raise ValueError(f"host={host!r}: a name or address")
    if port is not None:
        if isinstance(port, bool) or not isinstance(port, int):
            raise TypeError(f"port is an int, not {type(port).__name__}")
        if not 1 <= port <= 65535:
            raise ValueError(f"port={port!r}: from 1 to 65535")
    return (host.encode("latin-1") if host else None), (port or 0)


def call_options(connect_timeout: Optional[float] = None, timeout: Optional[float] = None,
                 deadline: Optional[float] = None, max_answer: Optional[int] = None, host: Optional[str] = None,
                 port: Optional[int] = None) -> Optional[CallOptions]:
    """The options record of one call, None when every value is the
    configured one; TypeError or ValueError naming a bad value."""
    bounds = (_ms("connect_timeout", connect_timeout), _ms("timeout", timeout), _ms("deadline", deadline, -1),
              _bytes("max_answer", max_answer))
    server = _server(host, port)
    if not any(bounds) and server == (None, 0):
        return None
    return CallOptions(ctypes.sizeof(CallOptions), *bounds, *server)


def check_call(service: int, request: Message) -> None:
    if not isinstance(service, int) or isinstance(service, bool):
        raise TypeError(f"service is an int, not {type(service).__name__}")
    if not isinstance(request, Message):
        raise TypeError(f"request is a vorant.Message, not {type(request).__name__}")


def is_initialised() -> bool:
    """True once initialize() has succeeded in this process."""
    return _initialised


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
    dictionary is loaded once per process: after a successful
    initialisation, another one raises VorantError "already initialised"
    and changes nothing. Must not overlap any call.
    """
    global _initialised
    explicit = (key_file, msg_dic, host, port)
    bounds = (_ms("connect_timeout", connect_timeout), _ms("deadline", deadline, 0),
              _bytes("max_answer", max_answer))
    if config_path is not None:
        if any(v is not None for v in explicit) or any(bounds):
            raise TypeError("initialize() takes a configuration file or explicit settings, not both")
    else:
        if any(v is None for v in explicit):
            raise TypeError("initialize() needs a configuration file, or key_file, msg_dic, host and port")
        for name, value in (("port", port), ("timeout", timeout)):
            if not isinstance(value, int) or isinstance(value, bool):
                raise TypeError(f"{name} is an int, not {type(value).__name__}")
    if _initialised:
        raise VorantError(0, "already initialised", 0, -1)
    lib = _native.library()
    info = _native.ErrorInfo()
    if config_path is not None:
        lib.Vorant_Initialize(os.fsencode(config_path), info)
        _initialised = True
    else:
        lib.Vorant_InitializeEx(os.fsencode(key_file), os.fsencode(msg_dic),  # type: ignore[arg-type]
                                str(host).encode("latin-1"), port, timeout, info)
        _initialised = True
        lib.Vorant_SetCallBounds(*bounds, info)


def call(service: int, request: Message, *, connect_timeout: Optional[float] = None,
         timeout: Optional[float] = None, deadline: Optional[float] = None, max_answer: Optional[int] = None,
         host: Optional[str] = None, port: Optional[int] = None) -> Message:
    """Sends request to service and returns the answer, a new Message that
    the caller owns.

    Bounds for this call alone (None: the configured value): connect_timeout
    for connecting (seconds), timeout for each wait for answer bytes,
    deadline from the start of the call to the last answer byte (math.inf:
    none), max_answer the largest answer in bytes; host and port name
    another server for this call.

    Raises Rejected when the server answers with a REJECT (its code, reason
    and service number); CallTimeout (a TimeoutError) when a bound ends the
    call (result -3, the step's code: -3 connect, -4 send, -5 receive; the
    text names "to=" or "deadline="); ConnectError (a ConnectionError) when
    the server cannot be reached; VorantError for every other failure (the
    library's code and text). The GIL is released while the call waits, so
    threads may call at once (each with its own messages). The call runs on
    this thread's call engine and waits in short slices, so Ctrl-C
    (KeyboardInterrupt) ends it at once, closing its connection.
    """
    check_call(service, request)
    options = call_options(connect_timeout, timeout, deadline, max_answer, host, port)
    from . import _engine  # it needs this module's neighbours loaded first

    return _engine.call_blocking(service, request, options)
