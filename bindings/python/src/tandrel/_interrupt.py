"""Ctrl-C during a library call on the main thread. Python raises
KeyboardInterrupt at whatever line it happens to run, and inside a ctypes
callback that may be a line of no `try` at all: ctypes then prints "Exception
ignored" and hands the library an undefined answer. So while the call runs,
SIGINT only takes note; the call's callbacks answer non-zero at their next
turn, the library stops and closes its connection, and KeyboardInterrupt is
raised once it has returned, as from any other Python code."""

from __future__ import annotations

import signal
import threading
from types import FrameType, TracebackType
from typing import Optional


class DeferredInterrupt:
    """Context of one call: `interrupted` is set when SIGINT arrives in it."""

    __slots__ = ("interrupted", "_deferring")

    def __init__(self) -> None:
        self.interrupted = False
        self._deferring = False

    def _note(self, _signum: int, _frame: Optional[FrameType]) -> None:
        self.interrupted = True

    def __enter__(self) -> DeferredInterrupt:
        # Only the main thread receives Python's signals. A handler the
        # application installed, or a call made from inside another call's
        # callback (the outer call defers already), stays as it is.
        if (threading.current_thread() is threading.main_thread()
                and signal.getsignal(signal.SIGINT) is signal.default_int_handler):
            signal.signal(signal.SIGINT, self._note)
            self._deferring = True
        return self

    def __exit__(self, exc_type: Optional[type[BaseException]], exc: Optional[BaseException],
                 traceback: Optional[TracebackType]) -> None:
        if not self._deferring:
            return
        self._deferring = False
        if signal.getsignal(signal.SIGINT) == self._note:  # unless a callback replaced it
            signal.signal(signal.SIGINT, signal.default_int_handler)
        if self.interrupted:
            raise KeyboardInterrupt
