"""Calls from gevent greenlets:

    answer = vorant.gevent.call(100, request, deadline=2)

The calling greenlet waits while the others run: each thread's gevent hub
has one call engine whose sockets and time-outs the hub's own loop watches
(io and timer watchers), so thousands of greenlets call at once on one
thread. Killing the waiting greenlet, or a gevent.Timeout, cancels the call.
Needs gevent; importing vorant alone never imports it.
"""

from __future__ import annotations

import weakref
from typing import Any, Dict, Optional

from gevent.hub import Waiter, get_hub

from . import _engine
from ._engine import POLL_IN, POLL_OUT, POLL_REMOVE, SOCKET_TIMEOUT, Outcome
from .client import call_options, check_call
from .message import Message

# libev's and libuv's event bits, as gevent's watchers pass them.
_READ, _WRITE = 1, 2


class _HubEngine(_engine.Engine):
    """The engine of one gevent hub: owns its handle and the hub loop's io
    and timer watchers for it. Used on the hub's thread only."""

    def __init__(self, hub: Any) -> None:
        super().__init__(max_in_flight or _engine.default_max_in_flight())
        self._loop = hub.loop
        self._watchers: Dict[int, Any] = {}
        self._timer: Any = None
        self.set_hooks()

    def watch(self, fd: int, what: int) -> None:
        events = 0 if what & POLL_REMOVE else (_READ if what & POLL_IN else 0) | (_WRITE if what & POLL_OUT else 0)
        watcher = self._watchers.get(fd)
        if watcher is not None:
            if watcher.events == events:
                return
            del self._watchers[fd]
            watcher.stop()
            watcher.close()
        if events:
            watcher = self._loop.io(fd, events)
            watcher.start(self._ready, fd, pass_events=True)
            self._watchers[fd] = watcher

    def _ready(self, events: int, fd: int) -> None:
        # A negative value is an error on the descriptor: both ways ready.
        ready = POLL_IN | POLL_OUT if events < 0 else \
            (POLL_IN if events & _READ else 0) | (POLL_OUT if events & _WRITE else 0)
        self.socket_action(fd, ready)

    def arm_timer(self, timeout_ms: int) -> None:
        if self._timer is not None:
            self._timer.stop()
            self._timer.close()
            self._timer = None
        if timeout_ms >= 0:
            self._loop.update_now()  # the loop's cached time may be old
            self._timer = self._loop.timer(timeout_ms / 1000)
            self._timer.start(self._timer_fired)

    def _timer_fired(self) -> None:
        self.socket_action(SOCKET_TIMEOUT, 0)

    def close(self) -> None:
        super().close()
        for watcher in self._watchers.values():
            watcher.stop()
            watcher.close()
        self._watchers.clear()
        self.arm_timer(-1)


# Calls a hub's engine keeps under way at most; later ones wait for a free
# slot (their deadline counting). None: what the descriptor limit allows,
# less 256. Read when a hub makes its engine (its first call).
max_in_flight: Optional[int] = None

_engines: "weakref.WeakKeyDictionary[Any, _HubEngine]" = weakref.WeakKeyDictionary()


def _engine_for(hub: Any) -> _HubEngine:
    engine = _engines.get(hub)
    if engine is None:
        engine = _engines[hub] = _HubEngine(hub)
    return engine


class _Wait:
    """One greenlet waiting for one call."""

    __slots__ = ("waiter", "loop", "abandoned")

    def __init__(self, loop: Any) -> None:
        self.waiter = Waiter()
        self.loop = loop
        self.abandoned = False

    def notify(self, outcome: Outcome) -> None:
        if self.abandoned:
            if outcome[0]:
                outcome[1].close()
            return
        # Switched to from the hub's own callbacks, never from inside the
        # engine's C code.
        self.loop.run_callback(self.waiter.switch, outcome)


def call(service: int, request: Message, *, connect_timeout: Optional[float] = None,
         timeout: Optional[float] = None, deadline: Optional[float] = None, max_answer: Optional[int] = None,
         host: Optional[str] = None, port: Optional[int] = None) -> Message:
    """Sends request to service and returns the answer, a new Message that
    the caller owns; arguments, results and exceptions as vorant.call. Only
    the calling greenlet waits. Killing it (or a gevent.Timeout) cancels
    the call."""
    return _engine.value_of(call_outcome(service, request, connect_timeout=connect_timeout, timeout=timeout,
                                         deadline=deadline, max_answer=max_answer, host=host, port=port))


def call_outcome(service: int, request: Message, **bounds: Any) -> Outcome:
    """call() as its outcome: (True, answer, size) or (False, exception,
    size); raises only what the call's arguments or the wait raise."""
    check_call(service, request)
    options = call_options(**bounds)
    hub = get_hub()
    engine = _engine_for(hub)
    wait = _Wait(hub.loop)
    call_id = engine.start(service, request, options, wait.notify)
    try:
        outcome = wait.waiter.get()
    except BaseException:
        wait.abandoned = True
        engine.cancel(call_id)
        raise
    return outcome


def in_flight() -> int:
    """How many calls are in flight on this thread's hub."""
    engine = _engines.get(get_hub())
    return engine.in_flight if engine is not None else 0


__all__ = ["call", "in_flight", "max_in_flight"]
