"""What the loaded message dictionary says about messages and their tags."""

from __future__ import annotations

import ctypes
import threading
from typing import Dict, List, NamedTuple, Optional, Union

from . import _native

STRING, INT, DBL, BOOL, DATE, SUBMSG = 1, 2, 3, 4, 5, 6
TYPE_NAMES = {STRING: "string", INT: "integer", DBL: "double", BOOL: "bool", DATE: "date", SUBMSG: "sub-message"}


class TagDef(NamedTuple):
    """One tag of a message definition."""

    number: int
    name: str
    type: int  # one of STRING, INT, DBL, BOOL, DATE, SUBMSG
    sub_msg: int  # message number of a SUBMSG tag, else 0
    is_array: bool

    @property
    def type_name(self) -> str:
        if self.type == SUBMSG:
            return f"sub-message {self.sub_msg}"
        return TYPE_NAMES.get(self.type, f"type {self.type}")


class MsgDef:
    """One message definition: its number, name and tags (by number and by
    name, in dictionary order). Read-only once made."""

    def __init__(self, number: int, name: str, tags: List[TagDef]) -> None:
        self.number = number
        self.name = name
        self.tags = tags
        self.by_number: Dict[int, TagDef] = {}
        self.by_name: Dict[str, TagDef] = {}
        for t in tags:
            self.by_number.setdefault(t.number, t)
            self.by_name.setdefault(t.name, t)

    def tag(self, key: Union[int, str]) -> TagDef:
        """The tag named or numbered key; KeyError naming it when the
        message has none, TypeError for a key of another type."""
        if isinstance(key, str):
            found = self.by_name.get(key)
        elif isinstance(key, int) and not isinstance(key, bool):
            found = self.by_number.get(key)
        else:
            raise TypeError(f"a tag is named by str or numbered by int, not {type(key).__name__}")
        if found is None:
            raise KeyError(f"message {self.number} ({self.name}) has no tag {key!r}")
        return found

    def __repr__(self) -> str:
        return f"<MsgDef {self.number} {self.name}: {len(self.by_number)} tags>"


_cache: Dict[int, MsgDef] = {}
_numbers: Dict[str, int] = {}  # message names found so far
_lock = threading.Lock()


def lookup(number: int) -> Optional[MsgDef]:
    """The definition of message number, or None when it is not defined."""
    found = _cache.get(number)
    if found is not None:
        return found
    lib = _native.library()
    name = lib.MSG_GetMsgName(number)
    if name is None:
        return None
    tags = []
    raw = _native.TagDef()
    raw.size = ctypes.sizeof(raw)
    for i in range(max(lib.MSG_GetTagDefCount(number), 0)):
        if lib.MSG_GetTagDef(number, i, ctypes.byref(raw)) == 0:
            tags.append(TagDef(raw.tag, raw.name.decode("latin-1"), raw.type, raw.subMsg, bool(raw.isArray)))
    found = MsgDef(number, name.decode("latin-1"), tags)
    with _lock:
        return _cache.setdefault(number, found)


def find(key: Union[int, str]) -> MsgDef:
    """The definition of the message numbered or named key; KeyError when
    the dictionary has none (or none is loaded yet)."""
    if isinstance(key, str):
        number = _numbers.get(key, 0)
        if number <= 0:
            try:
                number = _native.library().MSG_FindMsgNum(key.encode("latin-1"))
            except UnicodeEncodeError:
                number = 0
            if number > 0:
                _numbers[key] = number
    elif isinstance(key, int) and not isinstance(key, bool):
        number = key
    else:
        raise TypeError(f"a message is named by str or numbered by int, not {type(key).__name__}")
    found = lookup(number) if number > 0 else None
    if found is None:
        raise KeyError(f"no message {key!r} in the dictionary (is vorant.initialize() done?)")
    return found
