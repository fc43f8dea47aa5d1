# Logs as iterators and DataFrames: header and records, early exits that
# cancel the transfer, bounded read-ahead, records kept when the transfer fails.
import contextlib
import subprocess
import sys
import threading
from datetime import datetime, timezone

import pytest

import tandrel
from tandrel import Column, DatalogRecord, Event, LogHeader

UTC = timezone.utc
COLUMNS = (Column("V1", "V", 1), Column("V2", "V", 1), Column("V3", "V", 1), Column("I1", "A", 2),
           Column("I2", "A", 2), Column("I3", "A", 2), Column("Total kW", "kW", 3),
           Column("Total PF", "", 3))


def test_records_follow_the_header(sim):
    stream = sim.meter().datalog(1)
    assert stream.header == LogHeader("em235", "127.0.0.1", 1, 300, COLUMNS)
    records = list(stream)
    assert records[0] == DatalogRecord(1, 1, datetime(2025, 12, 28, 21, 0, tzinfo=UTC), "SP",
                                       [230.0, 231.3, 231.4, 42.0, 53.16, 36.01, 28.649, 0.946])
    assert [r.no for r in records] == list(range(1, 301))
    with sim.meter().events() as events:
        records = list(events)
    assert events.header == LogHeader("em235", "127.0.0.1", 0, 164, ())
    assert (len(records), records[1]) == (164, Event(
        2, 2, datetime(2025, 12, 21, 19, 30, 0, 137000, tzinfo=UTC), 2, "SP ACTION", "SP1", "",
        "Set event flag", "#1", 23040, 8192, 1234))


@pytest.mark.parametrize("how", ["break", "close", "with"])
def test_leaving_the_loop_cancels_at_once(start_sim, how):
    # Every block is slowed: the whole log would take seconds.
    sim = start_sim(scenario="slow_log")
    stream = sim.meter().datalog(1)
    with stream if how == "with" else contextlib.nullcontext():
        for i, _ in enumerate(stream):
            if i == 4:
                break
    if how == "close":
        stream.close()
    del stream  # after a break, the last reference
    # The library has returned, so its connection is closed.
    assert not [t for t in threading.enumerate() if t.name.startswith("tandrel ")]
    # A transfer left running would go on to its 1,000th request.
    assert sim.settled_count() < 500


def test_read_ahead_is_bounded(start_sim):
    sim = start_sim(scenario="big_log")
    with sim.meter().datalog(1) as stream:
        assert stream.header.total == 20000
        # The whole log takes 2,000 blocks of 5 requests.
        assert sim.settled_count() < 5000


def test_failure_comes_after_the_records_that_arrived(start_sim):
    numbers = []
    with pytest.raises(tandrel.TandrelError, match="^socket recv failed$"):
        for record in start_sim(scenario="broken_log").meter().datalog(1):
            numbers.append(record.no)
    assert numbers == list(range(1, len(numbers) + 1)) and 0 < len(numbers) < 300


def test_empty_log_unannounced_total_and_missing_log(start_sim):
    meter = start_sim(scenario="empty_log").meter()
    empty = meter.datalog(1)
    assert (empty.header.total, list(empty), meter.datalog(2).header.total) == (0, [], None)
    missing = meter.datalog(9)
    with pytest.raises(tandrel.TandrelError, match="^Modbus exception 2$"):
        missing.header
    assert list(missing) == []


def test_exit_with_a_stream_still_open_cancels_it(start_sim):
    # Left running, the call would re-enter a finalized interpreter and abort.
    # The check is registered before the package's own handler, so it runs after it.
    code = ("import atexit, threading\n"
            "atexit.register(lambda: print([t.name for t in threading.enumerate()"
            " if t.name.startswith('tandrel ')]))\n"
            "import tandrel\n"
            f"stream = tandrel.Meter('{start_sim(scenario='slow_log').endpoint}').datalog(1)\n"
            "next(stream)\n")
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                            timeout=60)
    assert (result.returncode, result.stdout, result.stderr) == (0, "[]\n", "")


def test_frames_have_one_row_per_record_and_proper_dtypes(sim, start_sim, monkeypatch):
    pd = pytest.importorskip("pandas")
    stamps = {"no": "int64", "seq": "int64", "timestamp": "datetime64[ns, UTC]"}
    frame = sim.meter().datalog_frame(1)
    assert frame.dtypes.astype(str).to_dict() == {**stamps, "trigger": "object",
                                                  **{c.name: "float64" for c in COLUMNS}}
    assert frame.iloc[0].tolist() == [1, 1, pd.Timestamp("2025-12-28T21:00:00Z"), "SP",
                                      230.0, 231.3, 231.4, 42.0, 53.16, 36.01, 28.649, 0.946]
    assert (len(frame), frame["timestamp"].iloc[-1]) == (300, pd.Timestamp("2025-12-31T23:45Z"))
    frame = sim.meter().events_frame()
    assert frame.dtypes.astype(str).to_dict() == {
        **stamps, "event_no": "int64", "cause": "object", "point": "object", "state": "object",
        "effect": "object", "target": "object", "source_id": "int64", "effect_id": "int64",
        "value_triggered": "int64"}
    assert (len(frame), frame.iloc[1].tolist()) == (164, [
        2, 2, pd.Timestamp("2025-12-21T19:30:00.137Z"), 2, "SP ACTION", "SP1", "",
        "Set event flag", "#1", 23040, 8192, 1234])
    frame = start_sim(scenario="empty_log").meter().datalog_frame(1)
    assert frame.dtypes.astype(str).to_dict() == {**stamps, "trigger": "object",
                                                  "V1": "float64", "V2": "float64"}
    assert len(frame) == 0
    monkeypatch.setitem(sys.modules, "pandas", None)
    with pytest.raises(ImportError, match="need pandas.*pip install pandas.*python3-pandas"):
        sim.meter().datalog_frame(1)
