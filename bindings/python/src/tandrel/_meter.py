"""The meter and the module-level calls: Python arguments in, library
documents out as dataclasses, iterators and frames."""

from __future__ import annotations

import json
import math
import operator
from typing import TYPE_CHECKING, Any, Callable, Optional, Union

from . import _calls, _frames, _native
from ._calls import StrPath
from ._model import ModelChoice
from ._stream import LogStream
from ._types import DatalogRecord, Event, LogEntry, Point, Readings

if TYPE_CHECKING:
    import pandas  # type: ignore[import]

# Gets (records written, records announced or None); False stops the export.
Progress = Callable[[int, Optional[int]], Optional[bool]]

_DEFAULT_PORT = 502
# A reading's JSON takes 60-90 bytes; sizing the buffer by the request spares
# the meter a second read.
_BYTES_PER_READING = 160


def split_host(host: str, port: Optional[int]) -> tuple[str, int]:
    """HOST, HOST:PORT or [IPV6]:PORT and an optional port argument."""
    name, named = host, None
    if host.startswith("["):
        name, _, rest = host[1:].partition("]")
        if rest:
            if not rest.startswith(":"):
                raise ValueError(f"unexpected text after ']' in {host!r}")
            named = rest[1:]
    elif host.count(":") == 1:
        name, named = host.split(":")
    if not name:
        raise ValueError(f"no host in {host!r}")
    if named is not None:
        if not named.isdigit() or not 1 <= int(named) <= 65535:
            raise ValueError(f"bad port in {host!r} (expected 1-65535)")
        if port is not None and port != int(named):
            raise ValueError(f"{host!r} names port {named}, the port argument {port}")
        return name, int(named)
    return name, _DEFAULT_PORT if port is None else operator.index(port)


def _fixed_port_host(host: str) -> bytes:
    """The host of a call that always connects to port 502."""
    name, port = split_host(host, None)
    if port != _DEFAULT_PORT:
        raise ValueError(f"this call always connects to port 502, not {port}")
    return _calls.text(name, "host")


def _point_list(points: tuple[Union[int, str], ...]) -> bytes:
    items = []
    for point in points:
        if isinstance(point, str):
            items.append(json.dumps(point))
        else:
            items.append(str(operator.index(point)))
    return _calls.text(",".join(items), "points")


def _progress_callback(call: _calls.Call, progress: Optional[Progress]) -> object:
    # Installed even without a progress callable: Python handles Ctrl-C only
    # while it runs code, and this is where a long export runs any.
    def on_progress(done: int, total: int, _user: object) -> int:
        if progress is not None and progress(done, None if total < 0 else total) is False:
            return 1
        return 0
    return _native.PROGRESS_CB(call.guard(on_progress))


def points(model: str) -> list[Point]:
    """The readable points of a model ("em133", "em235" or "pm335"); needs no meter."""
    _, doc = _calls.document("tandrel_list_points", _calls.text(model, "model"))
    return [Point(p["pid"], p["name"], p["unit"], p["group"]) for p in doc["points"]]


def version() -> str:
    """The loaded library's version."""
    text: bytes = _native.library().tandrel_version()
    return text.decode("ascii")


class Meter:
    """A meter on the network. Each call opens its own connection and closes
    it before returning, so one Meter may be used from several threads.

    The first call reads the meter's identity (one more connection) and
    learns the model from it, or fails with TandrelError when it contradicts
    the model given; `force_model=True` reads as the model given without."""

    def __init__(self, host: str, model: Optional[str] = None, port: Optional[int] = None,
                 unit_id: int = 1, timeout: float = 30.0, force_model: bool = False) -> None:
        """`host` may carry the port ("192.0.2.10:5020"); otherwise `port`
        applies, 502 by default. `model` is "em133", "em235" or "pm335", or
        None for the one the meter reports. `timeout` is in seconds."""
        self.host, self.port = split_host(host, port)
        self.unit_id = operator.index(unit_id)
        self.timeout = float(timeout)
        if not math.isfinite(self.timeout):
            raise ValueError("timeout must be a finite number of seconds")
        self._host = _calls.text(self.host, "host")
        if model is not None:
            _calls.text(model, "model")
        where = f"[{self.host}]:{self.port}" if ":" in self.host else f"{self.host}:{self.port}"
        self._model = ModelChoice(model, bool(force_model), where)
        self._options = json.dumps({"port": self.port, "unit_id": self.unit_id,
                                    "timeout_ms": round(self.timeout * 1000)}).encode()

    @property
    def model(self) -> Optional[str]:
        """The model the meter is read as: the one given, or the one its
        identity named once a call has read it (None before)."""
        return self._model.settled or self._model.given

    def __repr__(self) -> str:
        forced = ", force_model=True" if self._model.force else ""
        return (f"Meter({self.host!r}, model={self._model.given!r}, port={self.port}, "
                f"unit_id={self.unit_id}, timeout={self.timeout}{forced})")

    def _read_info(self, model: str) -> dict[str, Any]:
        doc: dict[str, Any]
        _, doc = _calls.document("tandrel_read_device_info", self._host,
                                 _calls.text(model, "model"), self._options)
        return doc

    def _model_text(self) -> bytes:
        return _calls.text(self._model.settle(self._read_info)[0], "model")

    # The three hooks through which every read goes: the function and the
    # arguments that name the meter. A MeterSession routes them to its session.

    def _document(self, function_name: str, *args: object, size: int = _calls.FIRST_OUTPUT_BYTES
                  ) -> dict[str, Any]:
        doc: dict[str, Any]
        _, doc = _calls.document(function_name, self._host, self._model_text(), self._options,
                                 *args, size=size)
        return doc

    def _log_call(self, function_name: str, file_id: int) -> tuple[str, tuple[object, ...]]:
        """The streaming function and its arguments before the callback."""
        return function_name, (self._host, self._model_text(), operator.index(file_id),
                               self._options)

    def _export_call(self, function_name: str, file_id: int, path: StrPath
                     ) -> tuple[str, tuple[object, ...]]:
        """The export function and its arguments before the progress callback."""
        return function_name, (self._host, self._model_text(), operator.index(file_id),
                               _calls.path(path, "path"), self._options)

    def device_info(self) -> dict[str, Any]:
        """Identification and setup of the meter."""
        model, info = self._model.settle(self._read_info)
        return info if info is not None else self._read_info(model)

    def read(self, *points: Union[int, str]) -> Readings:
        """Reads points given by id (4352, 0x1100) or name ("V1")."""
        size = max(_calls.FIRST_OUTPUT_BYTES, 512 + _BYTES_PER_READING * len(points))
        return Readings.from_json(
            self._document("tandrel_read_points", _point_list(points), size=size))

    def live(self) -> Readings:
        """The model's live set of points."""
        return Readings.from_json(self._document("tandrel_read_live_ex"))

    def logs(self) -> list[LogEntry]:
        """The log files the meter answers for."""
        return [LogEntry.from_json(entry) for entry in self._document("tandrel_list_logs")["logs"]]

    @staticmethod
    def _datalog_file(file_id: int) -> int:
        # The library reads any file as a data log: the event log would come
        # out as events decoded into Param_N columns.
        if not 1 <= operator.index(file_id) <= 16:
            raise ValueError(f"data logs are files 1-16, not {file_id}; the event log is events()")
        return operator.index(file_id)

    def datalog(self, file_id: int) -> LogStream[DatalogRecord]:
        """Data log `file_id` (1-16), record by record as it arrives."""
        return LogStream(*self._log_call("tandrel_read_datalog", self._datalog_file(file_id)),
                         DatalogRecord.from_json)

    def events(self) -> LogStream[Event]:
        """The event log, event by event as it arrives."""
        return LogStream(*self._log_call("tandrel_read_eventlog", 0), Event.from_json)

    def datalog_frame(self, file_id: int) -> pandas.DataFrame:
        """Data log `file_id` as a DataFrame: no, seq, timestamp (UTC), trigger
        and one float column per log column. Needs pandas."""
        return _frames.read_frame(*self._log_call("tandrel_read_datalog",
                                                  self._datalog_file(file_id)),
                                  _frames.DATALOG_COLUMNS, with_values=True)

    def events_frame(self) -> pandas.DataFrame:
        """The event log as a DataFrame with a UTC timestamp column. Needs pandas."""
        return _frames.read_frame(*self._log_call("tandrel_read_eventlog", 0),
                                  _frames.EVENT_COLUMNS, with_values=False)

    def _export(self, function_name: str, file_id: int, path: StrPath,
                progress: Optional[Progress]) -> int:
        call = _calls.Call()
        name, args = self._export_call(function_name, file_id, path)
        function = getattr(_native.library(), name)
        return call.check(call.invoke(function, *args, _progress_callback(call, progress), None))

    def export_datalog(self, file_id: int, path: StrPath,
                       progress: Optional[Progress] = None) -> int:
        """Writes data log `file_id` to a CSV file; returns the records written."""
        return self._export("tandrel_export_datalog_ex", self._datalog_file(file_id), path,
                            progress)

    def export_events(self, path: StrPath, progress: Optional[Progress] = None) -> int:
        """Writes the event log to a CSV file; returns the records written."""
        return self._export("tandrel_export_eventlog_ex", 0, path, progress)


def export_em133_all(host: str, out_dir: StrPath, set_clock: bool = False,
                     clock_param: int = 0) -> int:
    """Exports an em133's data logs 1-3 and event log into the existing
    directory `out_dir` (port 502, unit 1), first setting its clock from this
    computer's local time when `set_clock` is true. Returns the records written."""
    call = _calls.Call()
    function = _native.library().tandrel_export_em133_all
    return call.check(call.invoke(function, _fixed_port_host(host), int(bool(set_clock)),
                                  operator.index(clock_param), _calls.path(out_dir, "out_dir")))


def export_em235_diagnostics(host: str, csv_path: StrPath, register_no: int, count: int = 2,
                             unit_id: int = 1, word_order: str = "HI_FIRST") -> int:
    """Writes an em235's diagnostics word, read from register number
    `register_no` (counted from 1, port 502), with its bits labelled to a CSV file."""
    call = _calls.Call()
    function = _native.library().tandrel_export_em235_diagnostics
    return call.check(call.invoke(function, _fixed_port_host(host), operator.index(unit_id),
                                  operator.index(register_no), operator.index(count),
                                  _calls.text(word_order, "word_order"),
                                  _calls.path(csv_path, "csv_path")))
