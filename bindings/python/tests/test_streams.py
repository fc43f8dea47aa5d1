"""Logs as iterators: header and records, early exits that cancel the
transfer, bounded read-ahead, records kept when the transfer fails."""

import json
import subprocess
import sys
import threading
import time
from datetime import datetime, timezone

import pytest

import tandrel
from conftest import DATA
from tandrel import Column, DatalogRecord, Event, LogHeader

UTC = timezone.utc


def test_datalog_header_before_the_records(sim):
    columns = json.loads((DATA / "logs_em235.json").read_text())[1][3]
    stream = sim.meter().datalog(1)
    assert stream.header == LogHeader("em235", "127.0.0.1", 1, 300,
                                      tuple(Column(*c) for c in columns))
    records = list(stream)
    assert records[0] == DatalogRecord(1, 1, datetime(2025, 12, 28, 21, 0, tzinfo=UTC), "SP",
                                       [230.0, 231.3, 231.4, 42.0, 53.16, 36.01, 28.649, 0.946])
    assert [r.no for r in records] == list(range(1, 301))


def test_events_in_order(sim):
    with sim.meter().events() as events:
        records = list(events)
    assert events.header == LogHeader("em235", "127.0.0.1", 0, 164, ())
    assert records[:2] == [
        Event(1, 1, datetime(2025, 12, 21, 18, 0, tzinfo=UTC), 1, "SP EVENT", "EVENT FLAG 30",
              "ON", "SP operated", "#1", 797, 57600, 0),
        Event(2, 2, datetime(2025, 12, 21, 19, 30, 0, 137000, tzinfo=UTC), 2, "SP ACTION", "SP1",
              "", "Set event flag", "#1", 23040, 8192, 1234)]
    assert len(records) == 164


def leave_by_break(meter):
    for i, _ in enumerate(meter.datalog(1)):
        if i == 4:
            break


def leave_by_exception(meter):
    with pytest.raises(ZeroDivisionError):
        for i, _ in enumerate(meter.datalog(1)):
            if i == 4:
                print(1 / 0)


def leave_by_close(meter):
    stream = meter.datalog(1)
    for i, _ in enumerate(stream):
        if i == 4:
            break
    stream.close()
    return stream


def leave_by_with(meter):
    with meter.datalog(1) as stream:
        for i, _ in enumerate(stream):
            if i == 4:
                break
    return stream


@pytest.mark.parametrize("leave", [leave_by_break, leave_by_exception, leave_by_close,
                                   leave_by_with])
def test_leaving_the_loop_cancels_at_once(start_sim, leave):
    # Each block of 10 records is slowed by 40 ms: the whole log would take 8 s.
    sim = start_sim(scenario="slow_log")
    kept = leave(sim.meter())
    # The library has returned, so its connection is closed.
    assert not [t for t in threading.enumerate() if t.name.startswith("tandrel ")]
    asked = sim.settled_count()
    time.sleep(0.3)
    # A transfer left running would go on to its 1,000th request.
    assert len(sim.lines) == asked < 500
    del kept


def test_read_ahead_is_bounded(start_sim):
    sim = start_sim(scenario="big_log")
    with sim.meter().datalog(1) as stream:
        assert stream.header.total == 20000
        asked = sim.settled_count()
    # The whole log takes 2,000 blocks of 5 requests.
    assert asked < 5000


def test_failure_comes_after_the_records_that_arrived(start_sim):
    sim = start_sim(scenario="broken_log")
    numbers = []
    with pytest.raises(tandrel.TandrelError) as raised:
        for record in sim.meter().datalog(1):
            numbers.append(record.no)
    assert str(raised.value) == "socket recv failed"
    assert 0 < len(numbers) < 300
    assert numbers == list(range(1, len(numbers) + 1))


def test_empty_log_and_missing_log(start_sim):
    meter = start_sim(scenario="empty_log").meter()
    empty = meter.datalog(1)
    assert (empty.header.total, list(empty)) == (0, [])
    missing = meter.datalog(9)
    with pytest.raises(tandrel.TandrelError, match="^Modbus exception 2$"):
        missing.header
    assert list(missing) == []


EXIT_WITH_OPEN_STREAM = """
import atexit, threading
atexit.register(lambda: print([t.name for t in threading.enumerate() if t.name.startswith("tandrel ")]))
import tandrel
stream = tandrel.Meter("{endpoint}").datalog(1)
next(stream)
"""


def test_exit_with_a_stream_still_open_cancels_it(start_sim):
    # Left running, the call would re-enter a finalized interpreter and abort.
    sim = start_sim(scenario="slow_log")
    result = subprocess.run([sys.executable, "-c", EXIT_WITH_OPEN_STREAM.format(
        endpoint=sim.endpoint)], capture_output=True, text=True, timeout=60)
    assert (result.returncode, result.stdout, result.stderr) == (0, "[]\n", "")


def test_frame_without_pandas_says_what_is_missing(sim, monkeypatch):
    monkeypatch.setitem(sys.modules, "pandas", None)
    with pytest.raises(ImportError, match="need pandas"):
        sim.meter().datalog_frame(1)
