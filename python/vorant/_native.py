"""Finds and loads libvorant.so and declares the flat C functions the package uses."""

from __future__ import annotations

import ctypes
import os
import threading
from pathlib import Path
from typing import List, Optional

# Sonames tried with the system loader, newest interface first.
_SONAMES = ("libvorant.so.1", "libvorant.so")


class ErrorInfo(ctypes.Structure):
    """VorantErrorInfo: the library's 1032-byte error record."""

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


assert ctypes.sizeof(ErrorInfo) == 1032

_P = ctypes.c_void_p
_I = ctypes.c_int
_S = ctypes.c_char_p
_PI = ctypes.POINTER(ctypes.c_int)
_PD = ctypes.POINTER(ctypes.c_double)
_PE = ctypes.POINTER(ErrorInfo)

# name: (result type, argument types)
_PROTOTYPES = {
    "Vorant_Initialize": (_I, [_S, _PE]),
    "Vorant_InitializeEx": (_I, [_S, _S, _S, _I, _I, _PE]),
    "Vorant_CallService": (_I, [_I, _P, _P, _PE]),
    "Vorant_CallServiceEx": (_I, [_I, _P, _P, _P, _PE]),
    "Vorant_SetCallBounds": (_I, [_I, _I, _I, _PE]),
    "Vorant_SetTraceHook": (_I, [_P, _P]),
    "MSG_GetNewMsg": (_P, [_I, _PE]),
    "MSG_Destroy": (None, [_P]),
    "MSG_GetSelfNum": (_I, [_P]),
    "MSG_SetInt": (_I, [_P, _I, _I]),
    "MSG_SetDbl": (_I, [_P, _I, ctypes.c_double]),
    "MSG_SetStr": (_I, [_P, _I, _S]),
    "MSG_SetBool": (_I, [_P, _I, _I]),
    "MSG_SetDate": (_I, [_P, _I, _S]),
    "MSG_SetSub": (_I, [_P, _I, _P]),
    "MSG_GetStrLen": (_I, [_P, _I]),
    "MSG_GetStr": (_I, [_P, _I, ctypes.c_char_p]),
    "MSG_GetInt": (_I, [_P, _I, _PI]),
    "MSG_GetDbl": (_I, [_P, _I, _PD]),
    "MSG_GetBool": (_I, [_P, _I, _PI]),
    "MSG_GetDate": (_I, [_P, _I, ctypes.c_char_p]),
    "MSG_GetSub": (_P, [_P, _I, _PI]),
    "MSG_GetArrSize": (_I, [_P, _I]),
    "MSG_GetAtStrLen": (_I, [_P, _I, _I]),
    "MSG_GetAtStrArr": (_I, [_P, _I, _I, ctypes.c_char_p]),
    "MSG_GetAtIntArr": (_I, [_P, _I, _I, _PI]),
    "MSG_GetAtDblArr": (_I, [_P, _I, _I, _PD]),
    "MSG_GetAtBoolArr": (_I, [_P, _I, _I, _PI]),
    "MSG_GetAtDateArr": (_I, [_P, _I, _I, ctypes.c_char_p]),
    "MSG_GetAtSubArr": (_P, [_P, _I, _I, _PI]),
    "MSG_GetLastError": (_S, [_P]),
    "MSG_DumpToBuffer": (_I, [_P, ctypes.c_char_p, _I]),
    "MSG_FindMsgNum": (_I, [_S]),
    "MSG_GetMsgName": (_S, [_I]),
    "MSG_GetTagDefCount": (_I, [_I]),
    "MSG_GetTagDef": (_I, [_I, _I, ctypes.POINTER(TagDef)]),
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
                    lib = ctypes.CDLL(path)
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
    for name, (restype, argtypes) in _PROTOTYPES.items():
        try:
            fn = getattr(lib, name)
        except AttributeError:
            raise OSError(f"{lib._name} is too old for this package: it lacks {name}") from None
        fn.restype = restype
        fn.argtypes = argtypes
