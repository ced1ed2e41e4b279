"""vorant: call numbered services of a message server through libvorant.

    import vorant
    vorant.initialize("examples/vorant.conf")
    req = vorant.Message("AccountRequest")
    req["acct"] = "A-17"
    print(vorant.call(100, req).to_dict())

The library is loaded on first use: from VORANT_LIBRARY when set, else
from beside the package (where an installation put it), else by the
system's loader (libvorant.so.1).
"""

from .client import call, initialize
from .dictionary import MsgDef, TagDef
from .errors import Rejected, VorantError
from .message import ArrayView, Message
from .trace import Trace, set_trace_hook

__version__ = "1.0.0"


def describe(number_or_name: "int | str") -> MsgDef:
    """The dictionary's definition of a message: its number, name and tags."""
    from . import dictionary

    return dictionary.find(number_or_name)


__all__ = ["initialize", "call", "Message", "ArrayView", "VorantError", "Rejected", "describe", "MsgDef",
           "TagDef", "set_trace_hook", "Trace", "__version__"]
