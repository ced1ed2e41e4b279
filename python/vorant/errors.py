"""The exceptions of the package."""

from __future__ import annotations

from typing import Optional


class VorantError(Exception):
    """A failure reported by libvorant.

    Attributes:
        code: the library's error code (negative), or the server's code of a REJECT.
        text: the library's error text.
        ref_svc_num: the service number the error refers to (0 when none).
        result: what the failing C function returned, when it is not the code itself.
    """

    def __init__(self, code: int, text: str, ref_svc_num: int = 0, result: Optional[int] = None) -> None:
        super().__init__(code, text, ref_svc_num)
        self.code = code
        self.text = text
        self.ref_svc_num = ref_svc_num
        self.result = result

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
