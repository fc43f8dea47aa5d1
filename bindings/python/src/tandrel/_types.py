"""The values calls return: small dataclasses built from the library's JSON."""

from __future__ import annotations

import sys
from dataclasses import dataclass, field
from datetime import datetime
from typing import Any, Iterator, Optional, Union, overload


if sys.version_info >= (3, 11):
    utc = datetime.fromisoformat
else:
    def utc(stamp: str) -> datetime:
        """The library's "2026-01-01T00:00:00.000Z" as an aware datetime."""
        return datetime.fromisoformat(stamp[:-1] + "+00:00" if stamp[-1:] == "Z" else stamp)


@dataclass(frozen=True)
class Reading:
    """One point's value, scaled by the meter's setup."""
    pid: int
    name: str
    value: float
    unit: str


@dataclass(frozen=True)
class Readings:
    """A read of live values; indexable by point name or position."""
    meter: str
    host: str
    timestamp: datetime
    readings: tuple[Reading, ...]

    @classmethod
    def from_json(cls, doc: dict[str, Any]) -> Readings:
        return cls(doc["meter"], doc["host"], utc(doc["timestamp"]),
                   tuple(Reading(r["pid"], r["name"], r["value"], r["unit"])
                         for r in doc["readings"]))

    @overload
    def __getitem__(self, key: int) -> Reading: ...
    @overload
    def __getitem__(self, key: str) -> Reading: ...

    def __getitem__(self, key: Union[int, str]) -> Reading:
        if not isinstance(key, str):
            return self.readings[key]
        for reading in self.readings:
            if reading.name == key:
                return reading
        raise KeyError(key)

    def __contains__(self, name: object) -> bool:
        return any(reading.name == name for reading in self.readings)

    def __iter__(self) -> Iterator[Reading]:
        return iter(self.readings)

    def __len__(self) -> int:
        return len(self.readings)


@dataclass(frozen=True)
class Point:
    """A readable point of a model."""
    pid: int
    name: str
    unit: str
    group: str


@dataclass(frozen=True)
class Column:
    """A data log column."""
    name: str
    unit: str
    decimals: int


def _columns(doc: dict[str, Any]) -> tuple[Column, ...]:
    return tuple(Column(c["name"], c["unit"], c["decimals"]) for c in doc.get("columns", ()))


@dataclass(frozen=True)
class LogEntry:
    """A log file the meter answers for: the event log (file 0) or a data log."""
    file_id: int
    type: str
    records: int
    columns: tuple[Column, ...] = field(default=())

    @classmethod
    def from_json(cls, doc: dict[str, Any]) -> LogEntry:
        return cls(doc["file_id"], doc["type"], doc["records"], _columns(doc))


@dataclass(frozen=True)
class LogHeader:
    """What precedes a log's records; `total` is None when the meter does not say."""
    meter: str
    host: str
    file_id: int
    total: Optional[int]
    columns: tuple[Column, ...]

    @classmethod
    def from_json(cls, doc: dict[str, Any]) -> LogHeader:
        total = doc["total"]
        return cls(doc["meter"], doc["host"], doc["file_id"],
                   None if total < 0 else total, _columns(doc))


@dataclass
class DatalogRecord:
    """One data log record; `values` follow the header's columns."""
    __slots__ = ("no", "seq", "timestamp", "trigger", "values")
    no: int
    seq: int
    timestamp: datetime
    trigger: str
    values: list[float]

    @classmethod
    def from_json(cls, d: dict[str, Any]) -> DatalogRecord:
        return cls(d["no"], d["seq"], utc(d["timestamp"]), d["trigger"], d["values"])


@dataclass
class Event:
    """One event log record, classified by the library."""
    __slots__ = ("no", "seq", "timestamp", "event_no", "cause", "point", "state", "effect",
                 "target", "source_id", "effect_id", "value_triggered")
    no: int
    seq: int
    timestamp: datetime
    event_no: int
    cause: str
    point: str
    state: str
    effect: str
    target: str
    source_id: int
    effect_id: int
    value_triggered: int

    @classmethod
    def from_json(cls, d: dict[str, Any]) -> Event:
        return cls(d["no"], d["seq"], utc(d["timestamp"]), d["event_no"], d["cause"],
                   d["point"], d["state"], d["effect"], d["target"], d["source_id"],
                   d["effect_id"], d["value_triggered"])
