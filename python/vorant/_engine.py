"""Calls on the library's call engine: one multi handle, the calls in flight
on it and their answers. vorant.call drives a handle with Poll; vorant.aio
and vorant.gevent drive one from their event loops through the handle's
socket and timer hooks."""

from __future__ import annotations

import ctypes
import os
import resource
import sys
import threading
import weakref
from typing import Any, Callable, Dict, Optional, Tuple

from . import _native, trace
from ._native import CALL_CANCELLED, DONE_FN, POLL_IN, POLL_OUT, POLL_REMOVE, SOCKET_FN, SOCKET_TIMEOUT, TIMER_FN
from .errors import VorantError
from .message import Message

# What a call ended with: (True, the answer, answer packet bytes) or (False,
# the exception, answer packet bytes); the size is known when
# trace.want_answer_sizes() is on, else 0.
Outcome = Tuple[bool, Any, int]
Notify = Callable[[Outcome], None]

# The callbacks the library calls are module-level and live as long as the
# process, so that no handle can outlive them; `user` names the engine.
_engines: "weakref.WeakValueDictionary[int, Engine]" = weakref.WeakValueDictionary()
_next_key = iter(range(1, 2**62))
_keys_lock = threading.Lock()


@DONE_FN
def _on_done(user: Optional[int], call_id: int, result: int, err: "ctypes._Pointer[_native.ErrorInfo]") -> None:
    engine = _engines.get(user or 0)
    if engine is not None:
        engine._finished(call_id, result, err)


@SOCKET_FN
def _on_socket(user: Optional[int], fd: int, what: int) -> None:
    engine = _engines.get(user or 0)
    if engine is not None:
        engine.watch(fd, what)


@TIMER_FN
def _on_timer(user: Optional[int], timeout_ms: int) -> None:
    engine = _engines.get(user or 0)
    if engine is not None:
        engine.arm_timer(timeout_ms)


class Engine:
    """Owns one multi handle and, for each call in flight on it, the native
    answer message and what to tell when the call ends. Thread contract: one
    thread drives it and makes every call on it (the handle's own rule)."""

    def __init__(self, max_in_flight: int = 0) -> None:
        self._lib = _native.library()
        self.pid = os.getpid()
        self._handle: Optional[int] = None
        # call id: (answer, notify, options; kept for the host text they point to)
        self._pending: Dict[int, Tuple[int, Notify, Optional[_native.CallOptions]]] = {}
        with _keys_lock:
            self._key = next(_next_key)
        self._handle = self._lib.Vorant_MultiCreate(max_in_flight)
        _engines[self._key] = self

    @property
    def in_flight(self) -> int:
        return len(self._pending)

    def start(self, service: int, request: Message, options: Optional[_native.CallOptions], notify: Notify) -> int:
        """Starts a call; notify is told its outcome exactly once, on the
        driving thread, never from inside start."""
        if self._handle is None:
            raise VorantError(_native.MULTI_BAD_ARGUMENT, "the call engine has been closed")
        answer = _native.new_msg(0)
        if not answer:
            raise VorantError(-11, "no message for the answer")
        try:
            call_id = self._lib.Vorant_MultiStart(self._handle, service, request._handle(), answer, options,
                                                  _on_done, self._key)
        except BaseException:
            _native.free_msg(answer)
            raise
        self._pending[call_id] = (answer, notify, options)
        return call_id

    def cancel(self, call_id: int) -> None:
        """Ends the call if it is still in flight (its notify is told a
        cancellation before this returns); nothing when it has ended."""
        if self._handle is not None and call_id in self._pending:
            self._lib.Vorant_MultiCancel(self._handle, call_id)

    def _finished(self, call_id: int, result: int, err: "ctypes._Pointer[_native.ErrorInfo]") -> None:
        answer, notify, _ = self._pending.pop(call_id)
        # The library traces a call just before it reports its end.
        size = trace.last_answer_bytes()
        outcome: Outcome
        if result == 0:
            try:
                outcome = (True, Message._adopt_native(answer), size)
            except BaseException as e:  # the answer is freed by then
                outcome = (False, e, size)
        else:
            _native.free_msg(answer)
            outcome = (False, _native.record_error(err.contents, result), size)
        notify(outcome)

    def poll(self, timeout_ms: int) -> int:
        assert self._handle is not None
        return self._lib.Vorant_MultiPoll(self._handle, timeout_ms)

    def set_hooks(self) -> None:
        """From now on the handle tells watch() and arm_timer() what to wait for."""
        assert self._handle is not None
        self._lib.Vorant_MultiSetHooks(self._handle, _on_socket, _on_timer, self._key)

    def socket_action(self, fd: int, events: int) -> None:
        if self._handle is not None:
            self._lib.Vorant_MultiSocketAction(self._handle, fd, events)

    def watch(self, fd: int, what: int) -> None:
        """The socket hook: watch fd for what, or no longer (POLL_REMOVE)."""

    def arm_timer(self, timeout_ms: int) -> None:
        """The timer hook: call socket_action(SOCKET_TIMEOUT, 0) in timeout_ms
        milliseconds; -1: no timer."""

    def close(self) -> None:
        """Cancels the calls in flight (each notify is told) and frees the
        handle; later calls fail."""
        handle, self._handle = self._handle, None
        if handle is not None:
            self._lib.Vorant_MultiDestroy(handle)
            _engines.pop(self._key, None)
        # Calls whose end could not be told: an engine being collected is no
        # longer found by the library's callbacks.
        for answer, _, _ in self._pending.values():
            _native.free_msg(answer)
        self._pending.clear()

    def __del__(self) -> None:
        # A forked child leaves its parent's handle alone; an exiting
        # interpreter leaves the handle to the process's end.
        if os.getpid() == self.pid and not sys.is_finalizing():
            self.close()


def default_max_in_flight() -> int:
    """Calls an event loop's engine keeps under way (later ones wait their
    turn): what the descriptor limit leaves after a reserve for the rest of
    the program."""
    soft, _ = resource.getrlimit(resource.RLIMIT_NOFILE)
    if soft == resource.RLIM_INFINITY:
        soft = 65536
    return max(soft - 256, 64)


def is_cancelled(outcome: Outcome) -> bool:
    return not outcome[0] and isinstance(outcome[1], VorantError) and outcome[1].code == CALL_CANCELLED


def value_of(outcome: Outcome) -> Message:
    ok, value, _ = outcome
    if ok:
        return value
    raise value


# ---- blocking calls: one handle per thread, polled in short slices

# How long one wait for a blocking call lasts before Python looks at its
# signals: Ctrl-C ends a call within this.
SLICE_MS = 50

_local = threading.local()


def _thread_engine() -> Engine:
    engine = getattr(_local, "engine", None)
    if engine is None or engine.pid != os.getpid():
        engine = _local.engine = Engine()
    return engine


def call_blocking(service: int, request: Message, options: Optional[_native.CallOptions]) -> Message:
    engine = _thread_engine()
    box: list = []
    call_id = engine.start(service, request, options, box.append)
    try:
        while not box:
            engine.poll(SLICE_MS)
    except BaseException:
        engine.cancel(call_id)
        if box and box[0][0]:
            box[0][1].close()
        raise
    return value_of(box[0])


__all__ = ["Engine", "Outcome", "call_blocking", "is_cancelled", "value_of", "POLL_IN", "POLL_OUT",
           "POLL_REMOVE", "SOCKET_TIMEOUT"]
