"""A log read as a Python iterator. The library pushes JSON lines through a
callback for the whole length of its call; the call therefore runs on a
thread of its own, and a bounded hand-over turns the push into a pull: when
the reader falls behind, the callback waits, so the library asks the meter for
nothing more and memory stays bounded. Closing the iterator makes the callback
answer non-zero, which ends the call (-2) and its connection."""

from __future__ import annotations

import atexit
import json
import threading
import time
import weakref
from typing import Any, Callable, Generator, Generic, Iterator, Optional, TypeVar

from . import _calls, _native
from ._types import LogHeader

T = TypeVar("T")

# Lines the library may run ahead of the reader.
AHEAD_LIMIT = 4096
# The reader takes lines in batches: one hand-over of the interpreter lock per
# batch instead of one per record keeps both threads busy.
_BATCH = 256
# ...but waits no longer than this for a batch to fill, so records reach the
# reader within a blink of their arrival from a slow meter.
_GATHER_SECONDS = 0.02


class _Transfer:
    """State shared by the reader and the thread that runs the library call."""

    def __init__(self) -> None:
        self.cond = threading.Condition(threading.Lock())
        self.lines: list[bytes] = []
        self.reader_waiting = False
        self.cancelled = False
        self.finished = False
        self.failure: Optional[BaseException] = None
        self.thread: Optional[threading.Thread] = None

    def put(self, line: bytes, _user: object) -> int:
        """The output callback, on the call's thread."""
        with self.cond:
            while len(self.lines) >= AHEAD_LIMIT and not self.cancelled:
                self.cond.wait()
            if self.cancelled:
                return 1
            self.lines.append(line)
            if self.reader_waiting and len(self.lines) in (1, _BATCH):
                self.cond.notify_all()
        return 0

    def run(self, function_name: str, args: tuple[Any, ...]) -> None:
        call = _calls.Call()
        callback = _native.OUTPUT_CB(call.guard(self.put))
        failure: Optional[BaseException] = None
        try:
            function = getattr(_native.library(), function_name)
            call.check(call.invoke(function, *args, callback, None))
        except _calls.Cancelled as exc:
            if not self.cancelled:
                failure = exc
        except BaseException as exc:  # handed to the reader
            failure = exc
        with self.cond:
            self.failure = failure
            self.finished = True
            self.cond.notify_all()

    def take(self) -> list[bytes]:
        """The lines that arrived; empty only once the call has ended."""
        with self.cond:
            deadline = None
            while not self.finished and len(self.lines) < _BATCH:
                timeout = None
                if self.lines:
                    now = time.monotonic()
                    deadline = deadline or now + _GATHER_SECONDS
                    timeout = deadline - now
                    if timeout <= 0:
                        break
                self.reader_waiting = True
                try:
                    self.cond.wait(timeout)
                finally:
                    self.reader_waiting = False
            lines, self.lines = self.lines, []
            self.cond.notify_all()
            return lines

    def cancel(self) -> None:
        with self.cond:
            self.cancelled = True
            self.lines = []
            self.cond.notify_all()
        thread = self.thread
        if thread is not None and thread is not threading.current_thread():
            thread.join()


_running: "weakref.WeakSet[_Transfer]" = weakref.WeakSet()


@atexit.register
def _cancel_running() -> None:
    # A reader that is never closed must not keep the interpreter from exiting.
    for transfer in list(_running):
        transfer.cancel()


def batches(function_name: str, args: tuple[Any, ...]
            ) -> Generator[list[bytes], None, None]:
    """The JSON lines of a streaming call, in batches as they arrive; raises
    the call's error after the last batch. Closing the generator cancels the
    call and waits until the library has returned."""
    transfer = _Transfer()
    transfer.thread = threading.Thread(target=transfer.run, args=(function_name, args),
                                       name=f"tandrel {function_name}", daemon=True)
    _running.add(transfer)
    try:
        transfer.thread.start()
        while True:
            lines = transfer.take()
            if not lines:
                break
            yield lines
        if transfer.failure is not None:
            failure, transfer.failure = transfer.failure, None
            try:
                raise failure
            finally:
                del failure
    finally:
        transfer.cancel()
        _running.discard(transfer)


class LogStream(Generic[T]):
    """Records of one log as the meter delivers them.

    Iterate it once. `header` is available before the first record (reading
    it starts the transfer). Leaving a loop early cancels the transfer once
    this object is no longer referenced; use it in a `with` block, or call
    `close()`, to cancel at once while a reference remains.
    """

    def __init__(self, function_name: str, args: tuple[Any, ...],
                 make: Callable[[dict[str, Any]], T]) -> None:
        self._function_name = function_name
        self._args = args
        self._make = make
        self._batches: Optional[Generator[list[bytes], None, None]] = None
        self._header: Optional[LogHeader] = None
        self._records: list[T] = []
        self._next = 0
        self._done = False

    def _fill(self) -> None:
        """Takes the next batch of records, or marks the end."""
        if self._batches is None:
            self._batches = batches(self._function_name, self._args)
        try:
            lines = next(self._batches, None)
        except BaseException:
            self._done = True
            raise
        if lines is None:
            self._done = True
            return
        docs = json.loads(b"[" + b",".join(lines) + b"]")
        if self._header is None and docs[0].get("type") == "header":
            self._header = LogHeader.from_json(docs.pop(0))
        make = self._make
        self._records = [make(doc) for doc in docs]
        self._next = 0

    @property
    def header(self) -> LogHeader:
        """The log's header; raises the transfer's error if it failed first."""
        while self._header is None:
            if self._done:
                raise _calls.TandrelError("The log ended without a header")
            self._fill()
        return self._header

    def __iter__(self) -> Iterator[T]:
        return self

    def __next__(self) -> T:
        while self._next >= len(self._records):
            if self._done:
                raise StopIteration
            self._fill()
        record = self._records[self._next]
        self._next += 1
        return record

    def close(self) -> None:
        """Cancels the transfer, if it still runs, and waits until the
        library has returned and closed its connection."""
        self._done = True
        self._records = []
        if self._batches is not None:
            self._batches.close()

    def __enter__(self) -> LogStream[T]:
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()
