"""A Meter on a library session: one connection kept open, and the meter's
identity and setup read once at the open (again when they age out or after a
reconnect), so that each read sends only its own requests.

    with tandrel.connect("192.0.2.10") as meter:
        while True:
            print(meter.live()["V1"].value)
            time.sleep(2)
"""

from __future__ import annotations

import ctypes
import json
import math
import weakref
from typing import Any, Optional

from . import _calls, _native
from ._calls import StrPath
from ._meter import Meter
from ._model import choose

# The session form of each plain function a Meter calls.
_SESSION_FUNCTIONS = {
    "tandrel_read_live_ex": "tandrel_session_read_live",
    "tandrel_read_points": "tandrel_session_read_points",
    "tandrel_list_logs": "tandrel_session_list_logs",
    "tandrel_read_datalog": "tandrel_session_read_datalog",
    "tandrel_read_eventlog": "tandrel_session_read_eventlog",
    "tandrel_export_datalog_ex": "tandrel_session_export_datalog",
    "tandrel_export_eventlog_ex": "tandrel_session_export_eventlog",
}


def _close(handle: int) -> None:
    _native.library().tandrel_close(handle)


class MeterSession(Meter):
    """A Meter whose reads share one session. It serves one read at a time:
    a read started while another runs (from another thread, or while a log
    iterator of this meter is still open) raises TandrelError "Session is in
    use by another call". close() ends the session; it is also closed when
    the `with` block ends or the object is collected."""

    def __init__(self, host: str, model: Optional[str] = None, port: Optional[int] = None,
                 unit_id: int = 1, timeout: float = 30.0, force_model: bool = False,
                 setup_max_age: float = 300.0, connection: int = 0) -> None:
        """As Meter; `setup_max_age` (seconds) is how long the setup read at
        the open is trusted, and `connection` a number that sessions to the
        same host and port share one TCP connection under (0: its own)."""
        super().__init__(host, model, port, unit_id, timeout, force_model)
        if not math.isfinite(setup_max_age):
            raise ValueError("setup_max_age must be a finite number of seconds")
        options: dict[str, Any] = json.loads(self._options)
        options["setup_max_age_ms"] = round(setup_max_age * 1000)
        options["connection"] = int(connection)
        self._options = json.dumps(options).encode()
        self._handle: Optional[int] = None
        self._open()

    def _open(self) -> None:
        call = _calls.Call()
        given = self._model.given
        # A model to check goes to the open too: the library then reads the
        # setup as that model, and the check below needs no read of its own.
        meter = _calls.text(given, "model") if given is not None else None
        handle = call.invoke(_native.library().tandrel_open, self._host, meter, self._options)
        call.check(0 if handle else -1)
        self._handle = handle
        self._finalizer = weakref.finalize(self, _close, handle)
        info = self.device_info()
        if not self._model.force:
            try:
                self._model.settled = choose(given, info["model_id"], self._model.where)
            except _calls.TandrelError:
                self.close()
                raise

    def close(self) -> None:
        """Closes the session and its connection; later reads fail."""
        self._finalizer()

    def __enter__(self) -> MeterSession:
        return self

    def __exit__(self, *_exc: object) -> None:
        self.close()

    def _session(self) -> ctypes.c_void_p:
        return ctypes.c_void_p(self._handle)

    def device_info(self) -> dict[str, Any]:
        """Identification and setup, from the session (no request while fresh)."""
        doc: dict[str, Any]
        _, doc = _calls.document("tandrel_session_read_device_info", self._session())
        return doc

    def _document(self, function_name: str, *args: object, size: int = _calls.FIRST_OUTPUT_BYTES
                  ) -> dict[str, Any]:
        doc: dict[str, Any]
        _, doc = _calls.document(_SESSION_FUNCTIONS[function_name], self._session(), *args,
                                 size=size)
        return doc

    def _log_call(self, function_name: str, file_id: int) -> tuple[str, tuple[object, ...]]:
        return _SESSION_FUNCTIONS[function_name], (self._session(), int(file_id))

    def _export_call(self, function_name: str, file_id: int, path: StrPath
                     ) -> tuple[str, tuple[object, ...]]:
        return _SESSION_FUNCTIONS[function_name], (self._session(), int(file_id),
                                                   _calls.path(path, "path"))


def connect(host: str, model: Optional[str] = None, port: Optional[int] = None,
            unit_id: int = 1, timeout: float = 30.0, force_model: bool = False,
            setup_max_age: float = 300.0, connection: int = 0) -> MeterSession:
    """Opens a session on the meter at `host` (arguments as Meter's, and
    MeterSession's): `with tandrel.connect(host) as meter: ...`."""
    return MeterSession(host, model, port, unit_id, timeout, force_model, setup_max_age,
                        connection)
