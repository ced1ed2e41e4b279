"""Messages: typed values for the tags of one dictionary definition, and
through sub-message tags a tree, held by libvorant and read and written
here with Python types."""

from __future__ import annotations

import ctypes
import datetime
import re
import weakref
from collections.abc import Iterable, Mapping, MutableMapping, Sequence
from typing import Any, Dict, Iterator, List, Optional, Tuple, Union, overload

from . import _native, dictionary
from .dictionary import BOOL, DATE, DBL, INT, STRING, SUBMSG, MsgDef, TagDef
from .errors import VorantError

Key = Union[int, str]
Value = Union[str, int, float, bool, datetime.date, "Message", Mapping, List[Any]]

_INT_MIN, _INT_MAX = -(2**31), 2**31 - 1
_DATE_TEXT = re.compile(r"\d{8}")


def _date_from_text(text: str) -> Union[datetime.date, str]:
    """A calendar date when text is one, else the text as it came."""
    try:
        return datetime.date(int(text[:4]), int(text[4:6]), int(text[6:8]))
    except ValueError:
        return text


def _bad_type(msg_def: MsgDef, tag: TagDef, value: Any, wanted: str) -> TypeError:
    return TypeError(f"tag {tag.name!r} ({tag.number}) of message {msg_def.number} ({msg_def.name}) "
                     f"is {tag.type_name}: {wanted} wanted, not {type(value).__name__} {value!r}")


def _bad_value(msg_def: MsgDef, tag: TagDef, value: Any, why: str) -> ValueError:
    return ValueError(f"tag {tag.name!r} ({tag.number}) of message {msg_def.number} ({msg_def.name}): "
                      f"{value!r} {why}")


class Message(MutableMapping):
    """A message of the dictionary, held by libvorant.

    ``Message(1001)`` or ``Message("AccountRequest")`` makes an empty
    message. Tags are read and written by name or number, as items
    (``msg["qty"] = 5``, ``msg[2]``) or, for names that are not attributes
    of this class, as attributes (``msg.qty``). Python types map to tag
    types: str (ISO-8859-1 text, not empty), int (32 bits), float (or int),
    bool, ``datetime.date`` or "yyyymmdd" for dates, a ``Message`` or a dict
    for a sub-message, and a list for an array tag. A wrong type raises
    TypeError, an unknown tag KeyError, a value out of range ValueError,
    each naming the tag; nothing is stored then.

    Reading a tag that is not set raises KeyError (``get`` gives a default);
    an array tag reads as a live list view (empty when not set) that
    supports ``append`` and ``extend``. Dates read as ``datetime.date``,
    or as the text when it is no calendar date.

    A message is the mapping it looks like: iteration, ``list(msg)``,
    ``keys()``, ``items()`` and ``len`` cover the tags that are set (by
    name, in dictionary order), ``del msg[tag]`` unsets one (all items of an
    array tag), and ``==`` compares number and content with another
    message. Tags named like the mapping methods (``keys``, ``items``,
    ``pop``, ...) are reached as items, not attributes.

    Ownership: a message made here owns its native tree and frees it once,
    on ``close()``, at the end of a ``with`` block or when it is collected.
    Stored into another message (as a sub-message), it becomes a view into
    that message's tree, as does every sub-message read; a view stays valid
    while its top-level message is open, and raises ValueError afterwards.
    A view names its place in the tree (tag and item), so once a single
    sub-message tag is stored again its views show the new sub-message.
    Messages are not copied (copy, deepcopy and pickle raise TypeError):
    ``Message.from_dict(m.number, m.to_dict())`` makes an independent one.

    Thread contract: a tree (a top-level message and its views) may be used
    by one thread at a time.
    """

    # Owner: _ptr is the native handle and _root None. View: _root is the
    # owning top-level Message and _path the (tag, index or None) steps
    # from it, resolved on every use, so that a view never outlives the
    # native message it names.
    _def: MsgDef
    _ptr: Optional[int]
    _root: Optional["Message"]
    _path: Tuple[Tuple[int, Optional[int]], ...]
    _finalizer: Optional[weakref.finalize]

    def __init__(self, number_or_name: Key) -> None:
        msg_def = dictionary.find(number_or_name)
        ptr = _native.new_msg(msg_def.number)
        if not ptr:
            raise VorantError(-11, f"message {msg_def.number} cannot be made")
        self._set_owner(msg_def, ptr)

    # ---- construction and ownership

    def _set_owner(self, msg_def: MsgDef, ptr: int) -> None:
        object.__setattr__(self, "_def", msg_def)
        object.__setattr__(self, "_ptr", ptr)
        object.__setattr__(self, "_root", None)
        object.__setattr__(self, "_path", ())
        object.__setattr__(self, "_finalizer", weakref.finalize(self, _native.free_msg, ptr))

    @classmethod
    def _adopt_native(cls, ptr: int) -> "Message":
        """Takes over a top-level native message (an answer)."""
        lib = _native.library()
        number = lib.MSG_GetSelfNum(ptr)
        msg_def = dictionary.lookup(number)
        if msg_def is None:
            _native.free_msg(ptr)
            raise VorantError(-19, f"message {number} is not in the dictionary")
        msg = cls.__new__(cls)
        msg._set_owner(msg_def, ptr)
        return msg

    @classmethod
    def _view(cls, root: "Message", path: Tuple[Tuple[int, Optional[int]], ...], msg_def: MsgDef) -> "Message":
        msg = cls.__new__(cls)
        object.__setattr__(msg, "_def", msg_def)
        object.__setattr__(msg, "_ptr", None)
        object.__setattr__(msg, "_root", root)
        object.__setattr__(msg, "_path", path)
        object.__setattr__(msg, "_finalizer", None)
        return msg

    def _become_view(self, root: "Message", path: Tuple[Tuple[int, Optional[int]], ...]) -> None:
        # The native tree now belongs to root's tree.
        if self._finalizer is None:
            raise ValueError("only a top-level message becomes part of another")
        self._finalizer.detach()
        _native.handed_over()
        object.__setattr__(self, "_finalizer", None)
        object.__setattr__(self, "_ptr", None)
        object.__setattr__(self, "_root", root)
        object.__setattr__(self, "_path", path)

    def _top(self) -> Tuple["Message", Tuple[Tuple[int, Optional[int]], ...]]:
        return (self, ()) if self._root is None else (self._root, self._path)

    def _handle(self) -> int:
        """The native handle, resolved afresh; ValueError once freed."""
        if self._root is None:
            if self._ptr is None:
                raise ValueError(f"message {self._def.number} ({self._def.name}) has been freed")
            return self._ptr
        lib = _native.library()
        ptr = self._root._handle()
        result = ctypes.c_int(0)
        for tag, index in self._path:
            if index is None:
                ptr = lib.MSG_GetSub(ptr, tag, ctypes.byref(result))
            else:
                ptr = lib.MSG_GetAtSubArr(ptr, tag, index, ctypes.byref(result))
            if not ptr:
                raise ValueError(f"sub-message {self._def.number} ({self._def.name}) no longer exists")
        return ptr

    def close(self) -> None:
        """Frees the native tree of a top-level message (once; later calls do
        nothing). On a view it does nothing: its top-level message owns it."""
        if self._finalizer is not None:
            self._finalizer()
            object.__setattr__(self, "_ptr", None)

    @property
    def closed(self) -> bool:
        """True once the tree this message belongs to has been freed."""
        top = self._root if self._root is not None else self
        return top._ptr is None

    def __reduce_ex__(self, protocol: Any) -> Any:
        # A shallow copy would be a second owner of the same native tree.
        raise TypeError("a vorant.Message has one owner and is not copied; "
                        "use Message.from_dict(m.number, m.to_dict())")

    def __enter__(self) -> "Message":
        return self

    def __exit__(self, *exc: Any) -> None:
        self.close()

    # ---- what the message is

    @property
    def number(self) -> int:
        """The message number."""
        return self._def.number

    @property
    def msg_name(self) -> str:
        """The message's name in the dictionary."""
        return self._def.name

    @property
    def definition(self) -> MsgDef:
        """The message's definition: its tags, their numbers and types."""
        return self._def

    # ---- values

    def __setitem__(self, key: Key, value: Value) -> None:
        tag = self._def.tag(key)
        if not tag.is_array:
            self._store(tag, self._prepare(tag, value))
            return
        if isinstance(value, (str, bytes, Mapping, Message)) or not isinstance(value, Iterable):
            raise _bad_type(self._def, tag, value, "a list")
        if _native.library().MSG_GetArrSize(self._handle(), tag.number) > 0:
            raise ValueError(f"array tag {tag.name!r} ({tag.number}) already has items: append to it")
        prepared = [self._prepare(tag, v) for v in value]
        for item in prepared:
            self._store(tag, item)

    def __getitem__(self, key: Key) -> Any:
        tag = self._def.tag(key)
        if tag.is_array:
            return ArrayView(self, tag)
        handle = self._handle()
        if _native.library().MSG_GetArrSize(handle, tag.number) < 0:
            raise KeyError(f"tag {tag.name!r} ({tag.number}) of message {self._def.number} "
                           f"({self._def.name}) is not set")
        return self._read(handle, tag, None)

    def get(self, key: Key, default: Any = None) -> Any:
        """The value of a set tag, else default (KeyError for an unknown tag)."""
        tag = self._def.tag(key)
        if tag.is_array:
            return self[key]
        return self[key] if key in self else default

    def __contains__(self, key: object) -> bool:
        """True when key names or numbers a tag of this message that is set."""
        try:
            tag = self._def.tag(key)  # type: ignore[arg-type]
        except (KeyError, TypeError):
            return False
        return _native.library().MSG_GetArrSize(self._handle(), tag.number) >= 0

    def __getattr__(self, name: str) -> Any:
        # Only reached for names that are no attribute of the class.
        if name.startswith("_"):
            raise AttributeError(name)
        try:
            return self[name]
        except KeyError as e:
            raise AttributeError(e.args[0]) from None

    def __setattr__(self, name: str, value: Any) -> None:
        if name.startswith("_") or hasattr(type(self), name):
            raise AttributeError(f"{name!r} is not a tag attribute; use msg[{name!r}] = ...")
        self[name] = value

    def to_dict(self) -> Dict[str, Any]:
        """The set tags by name, in dictionary order: sub-messages as dicts,
        arrays as lists, dates as ``datetime.date``."""
        handle = self._handle()
        lib = _native.library()
        out: Dict[str, Any] = {}
        for tag in self._def.by_number.values():
            if lib.MSG_GetArrSize(handle, tag.number) < 0:
                continue
            if tag.is_array:
                out[tag.name] = [_plain(v) for v in ArrayView(self, tag)]
            else:
                out[tag.name] = _plain(self._read(handle, tag, None))
        return out

    @classmethod
    def from_dict(cls, number_or_name: Key, values: Mapping[Key, Any]) -> "Message":
        """A new message with the values of a dict (as ``to_dict`` gives, or
        with dates as "yyyymmdd" and tag numbers as keys). A bad value
        raises as a store would; nothing is kept then."""
        if isinstance(values, Message):
            values = values.to_dict()
        if not isinstance(values, Mapping):
            raise TypeError(f"from_dict takes a dict, not {type(values).__name__}")
        msg = cls(number_or_name)
        try:
            for key, value in values.items():
                msg[key] = value
        except BaseException:
            msg.close()
            raise
        return msg

    def dump(self) -> str:
        """The library's field listing of the message."""
        lib = _native.library()
        handle = self._handle()
        size = lib.MSG_DumpToBuffer(handle, None, 0)
        buffer = ctypes.create_string_buffer(size + 1)
        lib.MSG_DumpToBuffer(handle, buffer, size + 1)
        return buffer.raw[:size].decode("latin-1")

    def __repr__(self) -> str:
        if self.closed:
            return f"<vorant.Message {self._def.number} ({self._def.name}), freed>"
        return self.dump().rstrip("\n")

    # ---- native stores and reads

    def _prepare(self, tag: TagDef, value: Any) -> Any:
        """value as the native store of tag wants it; raises naming the tag."""
        kind = tag.type
        if kind == STRING:
            if not isinstance(value, str):
                raise _bad_type(self._def, tag, value, "str")
            if value == "":
                raise _bad_value(self._def, tag, value, "cannot be stored: an empty text is no value here")
            if "\0" in value:
                raise _bad_value(self._def, tag, value, "holds a zero character")
            try:
                return value.encode("latin-1")
            except UnicodeEncodeError:
                raise _bad_value(self._def, tag, value, "is not ISO-8859-1 text") from None
        if kind == INT:
            if not isinstance(value, int) or isinstance(value, bool):
                raise _bad_type(self._def, tag, value, "int")
            if not _INT_MIN <= value <= _INT_MAX:
                raise _bad_value(self._def, tag, value, "is outside the 32-bit integer range")
            return value
        if kind == DBL:
            if not isinstance(value, (int, float)) or isinstance(value, bool):
                raise _bad_type(self._def, tag, value, "float or int")
            try:
                return float(value)
            except OverflowError:
                raise _bad_value(self._def, tag, value, "is too large for a double") from None
        if kind == BOOL:
            if not isinstance(value, bool):
                raise _bad_type(self._def, tag, value, "bool")
            return 1 if value else 0
        if kind == DATE:
            if isinstance(value, datetime.datetime):
                raise _bad_type(self._def, tag, value, "datetime.date (not datetime) or 'yyyymmdd'")
            if isinstance(value, datetime.date):
                return f"{value.year:04d}{value.month:02d}{value.day:02d}".encode("ascii")
            if not isinstance(value, str):
                raise _bad_type(self._def, tag, value, "datetime.date or 'yyyymmdd'")
            if not _DATE_TEXT.fullmatch(value) or isinstance(_date_from_text(value), str):
                raise _bad_value(self._def, tag, value, "is not a calendar date 'yyyymmdd'")
            return value.encode("ascii")
        if kind == SUBMSG:
            return self._prepare_sub(tag, value)
        raise _bad_value(self._def, tag, value, f"cannot be stored: unknown tag type {kind}")

    def _prepare_sub(self, tag: TagDef, value: Any) -> "Message":
        if not isinstance(value, Message):
            if isinstance(value, Mapping):
                return Message.from_dict(tag.sub_msg, value)
            raise _bad_type(self._def, tag, value, f"a Message {tag.sub_msg} or a dict")
        if value.number != tag.sub_msg:
            raise _bad_type(self._def, tag, value, f"a Message {tag.sub_msg}")
        if value._root is not None:
            raise _bad_value(self._def, tag, value, "already belongs to a message")
        if value is self._top()[0]:
            raise _bad_value(self._def, tag, value, "would contain itself")
        handle = value._handle()
        lib = _native.library()
        if all(lib.MSG_GetArrSize(handle, t) < 0 for t in value._def.by_number):
            raise _bad_value(self._def, tag, value, "is empty: set a field of it first")
        return value

    def _store(self, tag: TagDef, value: Any) -> None:
        # A failed store raises from the prototype's errcheck.
        lib = _native.library()
        handle = self._handle()
        n = tag.number
        if tag.type == STRING:
            lib.MSG_SetStr(handle, n, value)
        elif tag.type == INT:
            lib.MSG_SetInt(handle, n, value)
        elif tag.type == DBL:
            lib.MSG_SetDbl(handle, n, value)
        elif tag.type == BOOL:
            lib.MSG_SetBool(handle, n, value)
        elif tag.type == DATE:
            lib.MSG_SetDate(handle, n, value)
        else:
            index = max(lib.MSG_GetArrSize(handle, n), 0) if tag.is_array else None
            lib.MSG_SetSub(handle, n, value._handle())
            root, path = self._top()
            value._become_view(root, path + ((n, index),))

    def _read(self, handle: int, tag: TagDef, index: Optional[int]) -> Any:
        if tag.type == SUBMSG:
            sub_def = dictionary.lookup(tag.sub_msg)
            if sub_def is None:
                raise VorantError(-19, f"message {tag.sub_msg} is not in the dictionary")
            root, path = self._top()
            return Message._view(root, path + ((tag.number, index),), sub_def)
        value = _read_raw(handle, tag, index)
        if tag.type == BOOL:
            return value != 0
        if tag.type == DATE:
            return _date_from_text(value.decode("latin-1"))
        if tag.type == STRING:
            return value.decode("latin-1")
        return value

    # ---- unsetting: the library's messages only grow, so a tag is unset by
    # rebuilding the top-level tree without it.

    def __delitem__(self, key: Key) -> None:
        tag = self._def.tag(key)
        if key not in self:
            raise KeyError(f"tag {tag.name!r} ({tag.number}) of message {self._def.number} "
                           f"({self._def.name}) is not set")
        if self._root is not None and len(self) == 1:
            raise ValueError(f"sub-message {self._def.number} ({self._def.name}) would be empty: "
                             "unset its tag in the parent instead")
        root, path = self._top()
        root._rebuild(path + ((tag.number, _UNSET),))

    def clear(self) -> None:
        """Unsets every tag (a top-level message only: a sub-message is
        never empty)."""
        if self._root is not None:
            raise ValueError(f"sub-message {self._def.number} ({self._def.name}) would be empty: "
                             "unset its tag in the parent instead")
        self._rebuild(None)

    def _rebuild(self, unset: Optional[Tuple[Tuple[int, Any], ...]]) -> None:
        """Replaces the native tree of this top-level message with a copy
        that leaves out the value at path unset (None: every value). Views
        name their place by path, so they read the new tree."""
        old = self._handle()
        new = _native.new_msg(self._def.number)
        if not new:
            raise VorantError(-11, f"message {self._def.number} cannot be made")
        try:
            if unset is not None:
                _copy_tree(old, new, self._def, unset)
        except BaseException:
            _native.free_msg(new)
            raise
        assert self._finalizer is not None
        self._finalizer()
        self._set_owner(self._def, new)

    # ---- the mapping

    def __iter__(self) -> Iterator[str]:
        handle = self._handle()
        lib = _native.library()
        return iter([tag.name for tag in self._def.by_number.values() if lib.MSG_GetArrSize(handle, tag.number) >= 0])

    def __len__(self) -> int:
        return len(list(iter(self)))

    def __eq__(self, other: object) -> bool:
        if not isinstance(other, Message):
            return NotImplemented
        return other is self or (self.number == other.number and self.to_dict() == other.to_dict())

    __hash__ = None  # type: ignore[assignment]


_UNSET = object()  # the last step of a path to unset


def _read_raw(handle: int, tag: TagDef, index: Optional[int]) -> Any:
    """A scalar value as the library gives it: bytes for texts and dates,
    int for integers and booleans, float for doubles."""
    lib = _native.library()
    n = tag.number
    at = index is not None
    kind = tag.type
    if kind == STRING:
        size = lib.MSG_GetAtStrLen(handle, n, index) if at else lib.MSG_GetStrLen(handle, n)
        buffer = ctypes.create_string_buffer(size + 1)
        if at:
            lib.MSG_GetAtStrArr(handle, n, index, buffer)
        else:
            lib.MSG_GetStr(handle, n, buffer)
        return buffer.raw[:size]
    if kind in (INT, BOOL):
        out_int = ctypes.c_int(0)
        if kind == INT:
            if at:
                lib.MSG_GetAtIntArr(handle, n, index, ctypes.byref(out_int))
            else:
                lib.MSG_GetInt(handle, n, ctypes.byref(out_int))
        elif at:
            lib.MSG_GetAtBoolArr(handle, n, index, ctypes.byref(out_int))
        else:
            lib.MSG_GetBool(handle, n, ctypes.byref(out_int))
        return out_int.value
    if kind == DBL:
        out_dbl = ctypes.c_double(0)
        if at:
            lib.MSG_GetAtDblArr(handle, n, index, ctypes.byref(out_dbl))
        else:
            lib.MSG_GetDbl(handle, n, ctypes.byref(out_dbl))
        return out_dbl.value
    if kind == DATE:
        text = ctypes.create_string_buffer(9)
        if at:
            lib.MSG_GetAtDateArr(handle, n, index, text)
        else:
            lib.MSG_GetDate(handle, n, text)
        return text.raw[:8]
    raise VorantError(-17, f"tag {tag.name!r} has the unknown type {kind}")


_SETTERS = {STRING: "MSG_SetStr", INT: "MSG_SetInt", DBL: "MSG_SetDbl", BOOL: "MSG_SetBool", DATE: "MSG_SetDate"}


def _copy_tree(src: int, dst: int, msg_def: MsgDef, unset: Tuple[Tuple[int, Any], ...]) -> None:
    """Copies every value of native message src into the empty dst, value
    by value as the library holds it, except the one the path unset leads to."""
    lib = _native.library()
    for tag in msg_def.by_number.values():
        n = tag.number
        if unset == ((n, _UNSET),):
            continue
        count = lib.MSG_GetArrSize(src, n)
        if count < 0:
            continue
        for index in (range(count) if tag.is_array else (None,)):
            if tag.type != SUBMSG:
                getattr(lib, _SETTERS[tag.type])(dst, n, _read_raw(src, tag, index))
                continue
            result = ctypes.c_int(0)
            sub_src = lib.MSG_GetSub(src, n, ctypes.byref(result)) if index is None else \
                lib.MSG_GetAtSubArr(src, n, index, ctypes.byref(result))
            sub_def = dictionary.lookup(tag.sub_msg)
            if not sub_src or sub_def is None:
                raise VorantError(result.value or -19, f"sub-message {tag.sub_msg} of tag {n} cannot be read")
            sub_dst = lib.MSG_GetNewMsg(tag.sub_msg, None)
            if not sub_dst:
                raise VorantError(-11, f"message {tag.sub_msg} cannot be made")
            try:
                _copy_tree(sub_src, sub_dst, sub_def, unset[1:] if unset[:1] == ((n, index),) else ())
                lib.MSG_SetSub(dst, n, sub_dst)
            except BaseException:
                lib.MSG_Destroy(sub_dst)
                raise


def _plain(value: Any) -> Any:
    return value.to_dict() if isinstance(value, Message) else value


class ArrayView(Sequence):
    """The live items of one array tag of a message: indexing, slicing,
    iteration and ``len`` read the message; ``append`` and ``extend`` add
    items (typed as a store is). Items cannot be replaced or removed:
    the library's messages only grow. Compares equal to a list of the same
    items."""

    def __init__(self, msg: Message, tag: TagDef) -> None:
        self._msg = msg
        self._tag = tag

    def __len__(self) -> int:
        return max(_native.library().MSG_GetArrSize(self._msg._handle(), self._tag.number), 0)

    @overload
    def __getitem__(self, index: int) -> Any: ...

    @overload
    def __getitem__(self, index: slice) -> List[Any]: ...

    def __getitem__(self, index: Union[int, slice]) -> Any:
        size = len(self)
        if isinstance(index, slice):
            return [self[i] for i in range(*index.indices(size))]
        if not isinstance(index, int) or isinstance(index, bool):
            raise TypeError(f"array indices are int, not {type(index).__name__}")
        if index < 0:
            index += size
        if not 0 <= index < size:
            raise IndexError(f"array tag {self._tag.name!r} has {size} items, not item {index}")
        return self._msg._read(self._msg._handle(), self._tag, index)

    def __iter__(self) -> Iterator[Any]:
        for i in range(len(self)):
            yield self[i]

    def append(self, value: Any) -> None:
        """Adds one item at the end. A Message stored so becomes a view."""
        self._msg._store(self._tag, self._msg._prepare(self._tag, value))

    def extend(self, values: Iterable[Any]) -> None:
        """Adds the items of values, all checked before the first is added."""
        prepared = [self._msg._prepare(self._tag, v) for v in values]
        for item in prepared:
            self._msg._store(self._tag, item)

    def __eq__(self, other: object) -> bool:
        if isinstance(other, (ArrayView, list, tuple)):
            return list(self) == list(other)
        return NotImplemented

    def __repr__(self) -> str:
        return repr(list(self))
