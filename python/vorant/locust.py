"""Locust users that call vorant services.

    from locust import constant, task
    import vorant
    from vorant.locust import VorantUser

    class Shopper(VorantUser):
        config = "examples/vorant.conf"     # initialises vorant in each process
        wait_time = constant(0.5)

        @task
        def order(self):
            with vorant.Message.from_dict("AccountRequest", {"acct": "A-17"}) as request:
                self.client.call(100, request, name="order", deadline=5)

Every call is reported to Locust's request event: request type "vorant",
the name given (else the service number), the response time in
milliseconds, the answer's size on the wire in bytes, and on failure the
exception (a REJECT is a failure: vorant.Rejected with the server's code and
reason). Calls wait through gevent's hub (vorant.gevent), so the users of
one worker call side by side on its one thread.

`--host HOST:PORT` (or a `host` attribute) sends every call of the users to
that server instead of the configured one.
"""

from __future__ import annotations

import time
from typing import Any, Optional, Tuple

import locust.runners
from locust import User
from locust.env import Environment

from . import client, trace
from . import gevent as vgevent
from .message import Message


if not locust.runners.__version__:
    # Debian's python3-locust carries an empty version, which a master takes
    # for a pre-2.0 worker and refuses; -1 is Locust's own "no version check".
    locust.runners.__version__ = -1  # type: ignore[assignment]


def _server(host: Optional[str]) -> Tuple[Optional[str], Optional[int]]:
    """--host as the server of every call: "HOST:PORT", "[V6]:PORT" or
    "vorant://HOST:PORT"; None keeps the configured server."""
    if not host:
        return None, None
    text = host.split("://", 1)[-1].rstrip("/")
    name, sep, port = text.rpartition(":")
    if not sep or not port.isdigit() or not name:
        raise ValueError(f"host {host!r}: HOST:PORT wanted")
    return name.strip("[]"), int(port)


class VorantClient:
    """Calls services for one user and reports each call to Locust."""

    def __init__(self, environment: Environment, host: Optional[str] = None) -> None:
        self._request = environment.events.request
        self._host, self._port = _server(host)
        trace.want_answer_sizes()

    def call(self, service: int, request: Message, name: Optional[str] = None, **bounds: Any) -> Optional[Message]:
        """vorant.gevent.call(service, request, **bounds), reported to
        Locust under name (default: the service number). Returns the answer
        (the caller's, to close or leave to the collector), or None when the
        call failed: the failure is in Locust's statistics, not raised.
        Bad arguments raise as vorant.call's do."""
        if self._host is not None:
            bounds.setdefault("host", self._host)
            bounds.setdefault("port", self._port)
        start = time.perf_counter()
        ok, value, size = vgevent.call_outcome(service, request, **bounds)
        elapsed_ms = (time.perf_counter() - start) * 1000
        self._request.fire(request_type="vorant", name=str(service) if name is None else name,
                           response_time=elapsed_ms, response_length=size, response=value if ok else None,
                           context={}, exception=None if ok else value)
        return value if ok else None


class VorantUser(User):
    """A Locust user with a vorant client as self.client. Abstract: subclass
    it with tasks. `config` names a configuration file that initialises
    vorant once per process (None: the locustfile initialises it)."""

    abstract = True
    config: Optional[str] = None

    def __init__(self, environment: Environment) -> None:
        super().__init__(environment)
        if self.config is not None and not client.is_initialised():
            client.initialize(self.config)
        self.client = VorantClient(environment, self.host)


__all__ = ["VorantUser", "VorantClient"]
