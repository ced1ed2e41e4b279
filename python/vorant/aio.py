"""Calls awaited on an asyncio event loop:

    answer = await vorant.aio.call(100, request, deadline=2)

Each running loop has one call engine, driven by the loop itself: the
engine's sockets are watched with loop.add_reader/add_writer and its
time-outs with loop.call_later, so thousands of calls wait at once on one
thread, with no thread per call and no polling. Cancelling the awaiting
task (asyncio.wait_for, asyncio.timeout, a TaskGroup that fails) cancels the
call: its connection is closed at once and its answer freed. Closing the
loop cancels the calls still in flight and frees its engine.
"""

from __future__ import annotations

import asyncio
import weakref
from typing import Optional, Set

from . import _engine
from ._engine import POLL_IN, POLL_OUT, POLL_REMOVE, SOCKET_TIMEOUT, Outcome
from .client import call_options, check_call
from .message import Message


class _LoopEngine(_engine.Engine):
    """The engine of one event loop: owns its handle and the loop's reader,
    writer and timer registrations for it. Used on the loop's thread only."""

    def __init__(self, loop: asyncio.AbstractEventLoop) -> None:
        super().__init__(max_in_flight or _engine.default_max_in_flight())
        self._loop = loop
        self._readers: Set[int] = set()
        self._writers: Set[int] = set()
        self._timer: Optional[asyncio.TimerHandle] = None
        self.set_hooks()

    def watch(self, fd: int, what: int) -> None:
        want_in = not what & POLL_REMOVE and bool(what & POLL_IN)
        want_out = not what & POLL_REMOVE and bool(what & POLL_OUT)
        if want_in and fd not in self._readers:
            self._loop.add_reader(fd, self.socket_action, fd, POLL_IN)
            self._readers.add(fd)
        elif not want_in and fd in self._readers:
            self._loop.remove_reader(fd)
            self._readers.discard(fd)
        if want_out and fd not in self._writers:
            self._loop.add_writer(fd, self.socket_action, fd, POLL_OUT)
            self._writers.add(fd)
        elif not want_out and fd in self._writers:
            self._loop.remove_writer(fd)
            self._writers.discard(fd)

    def arm_timer(self, timeout_ms: int) -> None:
        if self._timer is not None:
            self._timer.cancel()
            self._timer = None
        if timeout_ms >= 0:
            self._timer = self._loop.call_later(timeout_ms / 1000, self._timer_fired)

    def _timer_fired(self) -> None:
        self._timer = None
        self.socket_action(SOCKET_TIMEOUT, 0)

    def close(self) -> None:
        super().close()
        # What the handle did not take back itself (it says REMOVE before closing).
        if not self._loop.is_closed():
            for fd in self._readers:
                self._loop.remove_reader(fd)
            for fd in self._writers:
                self._loop.remove_writer(fd)
        self._readers.clear()
        self._writers.clear()
        if self._timer is not None:
            self._timer.cancel()
            self._timer = None


# Calls a loop's engine keeps under way at most; later ones wait for a free
# slot (their deadline counting). None: what the descriptor limit allows,
# less 256. Read when a loop makes its engine (its first call).
max_in_flight: Optional[int] = None

_engines: "weakref.WeakKeyDictionary[asyncio.AbstractEventLoop, _LoopEngine]" = weakref.WeakKeyDictionary()


def _engine_for(loop: asyncio.AbstractEventLoop) -> _LoopEngine:
    engine = _engines.get(loop)
    if engine is None:
        engine = _engines[loop] = _LoopEngine(loop)
        _close_with(loop)
    return engine


def _close_with(loop: asyncio.AbstractEventLoop) -> None:
    """Frees the loop's engine (cancelling its calls) when the loop closes.
    A loop whose close cannot be wrapped frees it when it is collected."""
    loop_close = loop.close

    def close() -> None:
        engine = _engines.pop(loop, None)
        if engine is not None:
            engine.close()
        loop_close()

    try:
        loop.close = close  # type: ignore[method-assign]
    except (AttributeError, TypeError):
        pass


def _settle(future: "asyncio.Future[Message]", outcome: Outcome) -> None:
    ok, value, _ = outcome
    if future.done():
        if ok:
            value.close()  # nobody waits for this answer any more
        return
    if ok:
        future.set_result(value)
    else:
        future.set_exception(value)


async def call(service: int, request: Message, *, connect_timeout: Optional[float] = None,
               timeout: Optional[float] = None, deadline: Optional[float] = None, max_answer: Optional[int] = None,
               host: Optional[str] = None, port: Optional[int] = None) -> Message:
    """Sends request to service and returns the answer, a new Message that
    the caller owns; arguments, results and exceptions as vorant.call. The
    request is written when the call starts (the coroutine's first step)
    and may be changed or closed after that. Runs on the running loop's
    engine; cancelling the task cancels the call."""
    check_call(service, request)
    options = call_options(connect_timeout, timeout, deadline, max_answer, host, port)
    loop = asyncio.get_running_loop()
    engine = _engine_for(loop)
    future: "asyncio.Future[Message]" = loop.create_future()
    call_id = engine.start(service, request, options, lambda outcome: _settle(future, outcome))
    try:
        return await future
    except asyncio.CancelledError:
        engine.cancel(call_id)
        raise


def in_flight() -> int:
    """How many calls are in flight on the running loop's engine."""
    engine = _engines.get(asyncio.get_running_loop())
    return engine.in_flight if engine is not None else 0


__all__ = ["call", "in_flight", "max_in_flight"]
