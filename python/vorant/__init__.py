"""vorant: call numbered services of a message server through libvorant.

    import vorant
    vorant.initialize("examples/vorant.conf")
    req = vorant.Message("AccountRequest")
    req["acct"] = "A-17"
    print(vorant.call(100, req).to_dict())

Many calls at once: ``await vorant.aio.call(...)`` on an asyncio loop,
``vorant.gevent.call(...)`` in gevent greenlets, and ``vorant.locust``
for Locust load tests. These submodules load on first use; importing
vorant imports neither gevent nor Locust.

The library is loaded on first use: from VORANT_LIBRARY when set, else
from beside the package (where an installation put it), else by the
system's loader (libvorant.so.1).
"""

import importlib
from typing import Any

from .client import call, initialize
from .dictionary import MsgDef, TagDef
from .errors import CallTimeout, ConnectError, Rejected, VorantError
from .message import ArrayView, Message
from .trace import Trace, set_trace_hook

__version__ = "1.0.0"

_SUBMODULES = ("aio", "gevent", "locust")


def describe(number_or_name: "int | str") -> MsgDef:
    """The dictionary's definition of a message: its number, name and tags."""
    from . import dictionary

    return dictionary.find(number_or_name)


def __getattr__(name: str) -> Any:
    # vorant.aio, vorant.gevent and vorant.locust without importing them (and
    # what they need) before they are used.
    if name in _SUBMODULES:
        return importlib.import_module(f"{__name__}.{name}")
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")


__all__ = ["initialize", "call", "Message", "ArrayView", "VorantError", "Rejected", "CallTimeout", "ConnectError",
           "describe", "MsgDef", "TagDef", "set_trace_hook", "Trace", "__version__"]
