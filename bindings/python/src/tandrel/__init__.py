"""Read energy meters (em133, em235, pm335) over Modbus TCP.

    import tandrel
    meter = tandrel.Meter("192.0.2.10")
    print(meter.live()["V1"].value)
    for record in meter.datalog(1):
        print(record.timestamp, record.values)

    with tandrel.connect("192.0.2.10") as meter:   # one connection for many reads
        print(meter.live()["V1"].value)

A thin layer over the tandrel shared library, loaded from $TANDREL_LIBRARY,
else from the copy installed in this package, else from the system. Its log
messages go to the logger "tandrel".
"""

from ._calls import Cancelled, TandrelError
from ._meter import Meter, Progress, export_em133_all, export_em235_diagnostics, points, version
from ._native import library_path
from ._session import MeterSession, connect
from ._stream import LogStream
from ._types import (Column, DatalogRecord, Event, LogEntry, LogHeader, Point, Reading,
                     Readings)

__version__ = "1.3.0"

__all__ = [
    "Cancelled", "Column", "DatalogRecord", "Event", "LogEntry", "LogHeader", "LogStream",
    "Meter", "MeterSession", "Point", "Progress", "Reading", "Readings", "TandrelError",
    "connect", "export_em133_all", "export_em235_diagnostics", "library_path", "points",
    "version",
]
