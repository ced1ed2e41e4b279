"""The exceptions of the package."""

from __future__ import annotations

from typing import Any, Optional, Tuple


class VorantError(Exception):
    """A failure reported by libvorant.

    Attributes:
        code: the library's error code (negative), or the server's code of a REJECT.
        text: the library's error text.
        ref_svc_num: the service number the error refers to (0 when none).
        result: what the failing C function returned, when it is not the code itself.
    """

    def __init__(self, code: int, text: str, ref_svc_num: int = 0, result: Optional[int] = None) -> None:
        # Exception's own initialiser, also for the OSError kinds below: their
        # errno and strerror stay None rather than taking the library's code.
        Exception.__init__(self, code, text, ref_svc_num)
        self.code = code
        self.text = text
        self.ref_svc_num = ref_svc_num
        self.result = result

    def __reduce__(self) -> Tuple[Any, ...]:
        return type(self), (self.code, self.text, self.ref_svc_num, self.result)

    def __str__(self) -> str:
        where = f", service {self.ref_svc_num}" if self.ref_svc_num else ""
        return f"{self.text} (code {self.code}{where})"


class Rejected(VorantError):
    """The server answered a call with a REJECT.

    Attributes:
        code: the server's code.
        reason: the server's reason text (also ``text``).
        service: the service number the server names (also ``ref_svc_num``).
    """

    @property
    def reason(self) -> str:
        return self.text

    @property
    def service(self) -> int:
        return self.ref_svc_num

    def __str__(self) -> str:
        return f"rejected by the server: {self.text} (code {self.code}, service {self.ref_svc_num})"


class CallTimeout(VorantError, TimeoutError):
    """A call ended by a bound: the connect time-out, a wait for answer bytes
    longer than the receive time-out, or the call's deadline. ``code`` names
    the step (-3 connect, -4 send, -5 receive), ``text`` the bound ("to=" or
    "deadline=")."""


class ConnectError(VorantError, ConnectionError):
    """The server could not be reached: its name did not resolve, or every
    address refused or failed the connection (code -3)."""
