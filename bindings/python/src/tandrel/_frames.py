"""Logs as pandas DataFrames. A frame needs every record anyway, so the call
is read to the end and its lines are parsed in batches as they come."""

from __future__ import annotations

import contextlib
import json
from typing import TYPE_CHECKING, Any, Optional

from . import _stream
from ._types import LogHeader

if TYPE_CHECKING:
    import pandas  # type: ignore[import]

# Columns of the event log after "timestamp", with their dtypes.
EVENT_COLUMNS = {"event_no": "int64", "cause": "object", "point": "object", "state": "object",
                 "effect": "object", "target": "object", "source_id": "int64",
                 "effect_id": "int64", "value_triggered": "int64"}
DATALOG_COLUMNS = {"trigger": "object"}


def _pandas() -> Any:
    try:
        import pandas
    except ImportError as exc:
        raise ImportError("tandrel's DataFrames need pandas, which is not installed "
                          "(pip install pandas, or on Debian: apt-get install python3-pandas)"
                          ) from exc
    return pandas


class _Collector:
    """Gathers a log's lines into one list per column."""

    def __init__(self, fields: dict[str, str], with_values: bool) -> None:
        self.fields = fields
        self.header: dict[str, Any] = {}
        names = ("no", "seq", "timestamp", *fields, *(("values",) if with_values else ()))
        self.columns: dict[str, list[Any]] = {name: [] for name in names}

    def add(self, lines: list[bytes]) -> None:
        docs = json.loads(b"[" + b",".join(lines) + b"]")
        if not self.header and docs[0].get("type") == "header":
            self.header = docs.pop(0)
        for name, column in self.columns.items():
            column.extend([doc[name] for doc in docs])


def read_frame(function_name: str, args: tuple[Any, ...], fields: dict[str, str],
               with_values: bool) -> pandas.DataFrame:
    pd = _pandas()
    collector = _Collector(fields, with_values)
    # On the stream's thread the library reads the meter while this one parses.
    with contextlib.closing(_stream.batches(function_name, args)) as lines:
        for batch in lines:
            collector.add(batch)
    return _frame(pd, collector)


def _frame(pd: Any, c: _Collector) -> pandas.DataFrame:
    import numpy as np

    columns = c.columns
    stamps = np.array([s.rstrip("Z") for s in columns["timestamp"]], dtype="datetime64[ms]")
    # Nanoseconds, as pandas before 2.0 requires and later versions still default to.
    stamps = stamps.astype("datetime64[ns]")
    data: dict[str, Any] = {
        "no": np.array(columns["no"], dtype="int64"),
        "seq": np.array(columns["seq"], dtype="int64"),
        "timestamp": pd.DatetimeIndex(stamps).tz_localize("UTC"),
    }
    for name, dtype in c.fields.items():
        data[name] = np.array(columns[name], dtype=dtype)
    frame = pd.DataFrame(data)
    if "values" in columns:
        names = [column["name"] for column in c.header.get("columns", ())]
        frame = _with_values(pd, np, frame, columns["values"], names)
    frame.attrs["header"] = LogHeader.from_json(c.header) if c.header else None
    return frame


def _with_values(pd: Any, np: Any, frame: Any, rows: list[list[Optional[float]]],
                 names: list[str]) -> Any:
    """Spreads each record's values over the header's columns."""
    width = max([len(names), *map(len, rows)])
    names = names + [f"value {i + 1}" for i in range(len(names), width)]
    if any(len(row) != width for row in rows):
        rows = [row + [None] * (width - len(row)) for row in rows]
    matrix = np.array(rows, dtype="float64").reshape(len(rows), width)
    values = pd.DataFrame(matrix, columns=names, index=frame.index)
    return pd.concat([frame, values], axis=1)
