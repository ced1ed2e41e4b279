"""Initialising the library and calling services."""

from __future__ import annotations

import ctypes
import os
from typing import Optional, Union

from . import _native
from .errors import Rejected, VorantError
from .message import Message

PathLike = Union[str, "os.PathLike[str]"]

_REJECTED = -4


def _error(info: _native.ErrorInfo, result: int) -> VorantError:
    text = info.text.decode("latin-1")
    if result == _REJECTED:
        return Rejected(info.code, text, info.refSvcNum, result)
    return VorantError(info.code, text, info.refSvcNum, result)


def initialize(config_path: Optional[PathLike] = None, *, key_file: Optional[PathLike] = None,
               msg_dic: Optional[PathLike] = None, host: Optional[str] = None, port: Optional[int] = None,
               timeout: int = 90) -> None:
    """Loads the dictionary and the key file and sets the server, either from
    a configuration file (``initialize("vorant.conf")``) or from the
    explicit settings (``initialize(key_file=..., msg_dic=..., host=...,
    port=..., timeout=...)``; timeout in seconds).

    Raises VorantError with the library's record on failure. The
    dictionary is loaded once per process: a later initialisation fails.
    Must not overlap any call.
    """
    lib = _native.library()
    info = _native.ErrorInfo()
    explicit = (key_file, msg_dic, host, port)
    if config_path is not None:
        if any(v is not None for v in explicit):
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
    if result != 0:
        raise _error(info, result)


def call(service: int, request: Message) -> Message:
    """Sends request to service and returns the answer, a new Message that
    the caller owns.

    Raises Rejected when the server answers with a REJECT (its code, reason
    and service number), VorantError for every other failure (the library's
    code and text). The GIL is released while the call waits, so threads
    may call at once (each with its own messages).
    """
    if not isinstance(service, int) or isinstance(service, bool):
        raise TypeError(f"service is an int, not {type(service).__name__}")
    if not isinstance(request, Message):
        raise TypeError(f"request is a vorant.Message, not {type(request).__name__}")
    lib = _native.library()
    answer = lib.MSG_GetNewMsg(0, None)
    if not answer:
        raise VorantError(-11, "no message for the answer")
    info = _native.ErrorInfo()
    try:
        result = lib.Vorant_CallService(service, request._handle(), answer, ctypes.byref(info))
    except BaseException:
        lib.MSG_Destroy(answer)
        raise
    if result != 0:
        lib.MSG_Destroy(answer)
        raise _error(info, result)
    return Message._adopt_native(answer)
