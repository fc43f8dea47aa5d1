"""What every call shares: text and path arguments, the error buffer, status
codes turned into exceptions, exceptions of Python callbacks carried across
the library, and the retry of a JSON document that did not fit."""

from __future__ import annotations

import ctypes
import json
import os
import re
from typing import Any, Callable, Optional, Union

from . import _native
from ._interrupt import DeferredInterrupt

StrPath = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]

# The library's messages fit in 256 bytes; the margin keeps a long host name whole.
_ERROR_BYTES = 1024
# Live readings, device information and a log directory fit; a point listing
# (about 16 KB) takes the retry.
FIRST_OUTPUT_BYTES = 8192
# A meter read twice may answer with longer numbers the second time.
_RETRY_MARGIN = 1024
_TOO_SMALL = re.compile(r"Output buffer too small: need (\d+) bytes")


class TandrelError(Exception):
    """A call failed (status -1); the message is the library's, unchanged."""


class Cancelled(TandrelError):
    """A callback stopped the call (status -2). A Ctrl-C that stops a call
    raises KeyboardInterrupt instead."""


def text(value: str, what: str) -> bytes:
    """An 8-bit, NUL-terminated argument."""
    if not isinstance(value, str):
        raise TypeError(f"{what} must be a str, not {type(value).__name__}")
    encoded = value.encode("utf-8")
    if b"\0" in encoded:
        raise ValueError(f"{what} contains a NUL character")
    return encoded


def path(value: StrPath, what: str) -> bytes:
    """A file or directory path as the library opens it."""
    given = os.fspath(value)
    if isinstance(given, str):
        # The library hands the bytes to the C runtime's fopen, which on
        # Windows reads them in the ANSI code page.
        encoded = given.encode("mbcs") if os.name == "nt" else os.fsencode(given)
    else:
        encoded = given
    if b"\0" in encoded:
        raise ValueError(f"{what} contains a NUL character")
    return encoded


class Call:
    """One library call: its error buffer, the first exception a Python
    callback raised while the library ran it, and a Ctrl-C taken meanwhile."""

    __slots__ = ("error_buffer", "exception", "will_retry", "interrupt")

    def __init__(self, will_retry: bool = False) -> None:
        self.error_buffer = ctypes.create_string_buffer(_ERROR_BYTES)
        self.exception: Optional[BaseException] = None
        self.interrupt = DeferredInterrupt()
        # The buffer retry is the binding's business: its message stays out of the log.
        self.will_retry = will_retry

    def hides(self, message: bytes) -> bool:
        if not self.will_retry:
            return False
        return _TOO_SMALL.fullmatch(message.decode("ascii", "replace")) is not None

    def keep(self, exc: BaseException) -> None:
        if self.exception is None:
            self.exception = exc

    def guard(self, function: Callable[..., int]) -> Callable[..., int]:
        """Wraps a callback so that an exception, or a Ctrl-C taken while
        the call runs, stops the call (non-zero) instead of being printed and
        dropped by ctypes."""
        interrupt = self.interrupt

        def guarded(*args: Any) -> int:
            if interrupt.interrupted:
                return 1
            try:
                answer = function(*args)
            except BaseException as exc:  # check() re-raises it
                self.keep(exc)
                return 1
            return 1 if interrupt.interrupted else answer
        return guarded

    def invoke(self, function: Callable[..., int], *args: Any) -> int:
        _native.current_call.call = self
        try:
            with self.interrupt:
                return function(*args, self.error_buffer, _ERROR_BYTES)
        finally:
            _native.current_call.call = None

    @property
    def message(self) -> str:
        return self.error_buffer.value.decode("utf-8", "replace")

    def check(self, status: int) -> int:
        """The status of a successful call; raises for -1 and -2, and first of
        all re-raises what a callback raised."""
        if self.exception is not None:
            exc, self.exception = self.exception, None
            try:
                raise exc
            finally:
                del exc
        if status == -2:
            raise Cancelled(self.message)
        if status < 0:
            raise TandrelError(self.message)
        return status


def document(function_name: str, *args: Any,
             size: int = FIRST_OUTPUT_BYTES) -> tuple[int, Any]:
    """(status, parsed JSON) of a function that fills an output buffer."""
    function = getattr(_native.library(), function_name)
    for attempt in range(2):
        out = ctypes.create_string_buffer(size)
        call = Call(will_retry=attempt == 0)
        status = call.invoke(function, *args, out, size)
        need = _TOO_SMALL.fullmatch(call.message) if status == -1 and attempt == 0 else None
        if need is None:
            break
        size = int(need.group(1)) + _RETRY_MARGIN
    call.check(status)
    return status, json.loads(out.value.decode("utf-8", "replace"))

