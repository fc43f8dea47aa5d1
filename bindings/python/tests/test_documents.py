"""Calls that return one document: arguments in, dataclasses out, errors as
TandrelError with the library's message."""

import json
import logging
from datetime import datetime, timedelta, timezone

import pytest

import tandrel
from conftest import DATA


def test_device_info_is_the_library_document(sim):
    expected = json.loads((DATA / "device_info_em235.json").read_text())
    assert sim.meter().device_info() == expected
    assert tandrel.Meter("127.0.0.1", port=sim.port).device_info() == expected


def test_read_takes_ids_names_and_names_with_blanks(sim):
    readings = sim.meter().read(4352, "I2", 0x1100, "V1 THD")
    assert list(readings) == [tandrel.Reading(4352, "V1", 230.0, "V"),
                              tandrel.Reading(4356, "I2", 48.1, "A"),
                              tandrel.Reading(4352, "V1", 230.0, "V"),
                              tandrel.Reading(4370, "V1 THD", 2.1, "%")]
    assert readings["I2"].value == 48.1 and readings[3].pid == 4370
    assert "I3" not in readings
    with pytest.raises(KeyError):
        readings["I3"]
    assert (readings.meter, readings.host) == ("em235", "127.0.0.1")
    assert abs(datetime.now(timezone.utc) - readings.timestamp) < timedelta(minutes=5)


def test_live_reads_the_live_set(sim):
    readings = sim.meter().live()
    assert len(readings) == 61
    assert readings["V2"] == tandrel.Reading(4353, "V2", 231.3, "V")
    assert readings["I1"].value == 39.28


@pytest.mark.parametrize("model, count, first", [
    ("em235", 205, tandrel.Point(3072, "V1", "V", "1-cycle phase values")),
    ("em133", 199, tandrel.Point(3072, "V1", "V", "1-cycle phase values")),
])
def test_points_listing_larger_than_the_first_buffer(model, count, first, caplog):
    caplog.set_level(logging.DEBUG, logger="tandrel")
    listed = tandrel.points(model)
    assert (len(listed), listed[0]) == (count, first)
    assert len({p.pid for p in listed}) == count
    # The retry is the binding's own business.
    assert not [r for r in caplog.records if "buffer" in r.getMessage()]


def test_logs_lists_entries_with_columns(sim):
    expected = json.loads((DATA / "logs_em235.json").read_text())
    entries = sim.meter().logs()
    assert [[e.file_id, e.type, e.records, [[c.name, c.unit, c.decimals] for c in e.columns]]
            for e in entries] == expected


@pytest.mark.parametrize("call, message", [
    (lambda sim: tandrel.Meter("127.0.0.1", port=1).device_info(),
     "Cannot connect to 127.0.0.1:1"),
    (lambda sim: sim.meter().read("Nope"), "Unknown point 'Nope'"),
    (lambda sim: sim.meter().read(), "points: at least one point is required"),
    (lambda sim: sim.meter(model="em999").live(),
     "Unknown meter model 'em999' (expected em133 or em235)"),
    (lambda sim: tandrel.points("em999"), "Unknown meter model 'em999' (expected em133 or em235)"),
    # Seconds in Python, milliseconds to the library: 0.05 s is below its 100 ms.
    (lambda sim: sim.meter(timeout=0.05).device_info(), "options.timeout_ms must be 100-3600000"),
])
def test_failures_raise_the_library_message(sim, call, message):
    with pytest.raises(tandrel.TandrelError) as raised:
        call(sim)
    assert str(raised.value) == message
    assert type(raised.value) is tandrel.TandrelError


@pytest.mark.parametrize("host, port, where", [
    ("192.0.2.10", None, ("192.0.2.10", 502)),
    ("192.0.2.10:5020", None, ("192.0.2.10", 5020)),
    ("192.0.2.10:5020", 5020, ("192.0.2.10", 5020)),
    ("meter-7", 1502, ("meter-7", 1502)),
    ("[fe80::1]:5020", None, ("fe80::1", 5020)),
    ("fe80::1", 1502, ("fe80::1", 1502)),
])
def test_host_may_carry_the_port(host, port, where):
    meter = tandrel.Meter(host, port=port)
    assert (meter.host, meter.port) == where


@pytest.mark.parametrize("make, error", [
    (lambda: tandrel.Meter("127.0.0.1:5020", port=502), ValueError),
    (lambda: tandrel.Meter("127.0.0.1:99999"), ValueError),
    (lambda: tandrel.Meter("127.0.0.1\0evil"), ValueError),
    (lambda: tandrel.Meter("127.0.0.1").read(4352.0), TypeError),
    (lambda: tandrel.Meter("127.0.0.1", timeout=float("inf")), ValueError),
    (lambda: tandrel.export_em133_all("127.0.0.1:5020", "."), ValueError),
])
def test_bad_arguments_fail_before_any_call(make, error):
    with pytest.raises(error):
        make()


def test_timeout_and_unit_reach_the_library(sim):
    meter = sim.meter(timeout=0.1, unit_id=7)
    assert meter.device_info()["serial"] == 23501178
    sim.settled_count(quiet=0.1)
    assert " unit 7 " in sim.lines[-1]


@pytest.mark.parametrize("call, level, message", [
    (lambda sim: tandrel.Meter("127.0.0.1", port=1).device_info(), logging.ERROR,
     "Cannot connect to 127.0.0.1:1"),
    (lambda sim: sim.meter().device_info(), logging.DEBUG, "Connected to {endpoint}"),
    (lambda sim: list(sim.meter().events()), logging.INFO, "File 0: 164 records"),
])
def test_library_log_reaches_the_tandrel_logger(sim, caplog, call, level, message):
    caplog.set_level(logging.DEBUG, logger="tandrel")
    try:
        call(sim)
    except tandrel.TandrelError:
        pass
    assert ("tandrel", level, message.format(endpoint=sim.endpoint)) in caplog.record_tuples


def test_exception_in_a_log_handler_reaches_the_caller(sim, caplog):
    class Broken(logging.Filter):
        def filter(self, record):
            raise RuntimeError("handler broke")
    caplog.set_level(logging.DEBUG, logger="tandrel")
    broken = Broken()
    logging.getLogger("tandrel").addFilter(broken)
    try:
        with pytest.raises(RuntimeError, match="handler broke"):
            sim.meter().device_info()
    finally:
        logging.getLogger("tandrel").removeFilter(broken)
