# The calls that return a document or write files: arguments in, the library's
# values out, its failures as TandrelError with its message, its log on the
# "tandrel" logger.
import json
import logging
from datetime import datetime, timedelta, timezone

import pytest

import tandrel
from conftest import DATA


def test_documents(sim, caplog):
    caplog.set_level(logging.DEBUG, logger="tandrel")
    # Seconds in Python, milliseconds to the library: 0.1 s is its least.
    assert (sim.meter(timeout=0.1, unit_id=7).device_info()
            == json.loads((DATA / "device_info_em235.json").read_text()))
    assert " unit 7 " in sim.trace().splitlines()[-1]
    meter = sim.meter()
    readings = meter.read(4352, "I2", 0x1100, "V1 THD")
    assert list(readings) == [tandrel.Reading(4352, "V1", 230.0, "V"),
                              tandrel.Reading(4356, "I2", 48.1, "A"),
                              tandrel.Reading(4352, "V1", 230.0, "V"),
                              tandrel.Reading(4370, "V1 THD", 2.1, "%")]
    assert (readings["I2"].value, readings[3].pid, "I3" in readings) == (48.1, 4370, False)
    with pytest.raises(KeyError):
        readings["I3"]
    assert (readings.meter, readings.host) == ("em235", "127.0.0.1")
    assert abs(datetime.now(timezone.utc) - readings.timestamp) < timedelta(minutes=5)
    live = meter.live()
    assert (len(live), live["V2"].value, live["I1"].value) == (61, 231.3, 39.28)
    assert [[e.file_id, e.type, e.records, [[c.name, c.unit, c.decimals] for c in e.columns]]
            for e in meter.logs()] == json.loads((DATA / "logs_em235.json").read_text())
    # A point listing takes the buffer retry, which stays the binding's business.
    listed = tandrel.points("em133")
    assert (len(listed), listed[0]) == (199, tandrel.Point(3072, "V1", "V", "1-cycle phase values"))
    assert not [r for r in caplog.records if "buffer" in r.getMessage()]
    # The interface's version, which stays while the interface only grows.
    assert tandrel.version() == "1.2.1"


@pytest.mark.parametrize("call, message", [
    (lambda sim: tandrel.Meter("127.0.0.1", port=1).device_info(), "Cannot connect to 127.0.0.1:1"),
    (lambda sim: sim.meter(timeout=0.05).live(), "options.timeout_ms must be 100-3600000"),
    # Nothing listens on port 502 of that address.
    (lambda sim: tandrel.export_em133_all("127.0.79.254", "."),
     "Cannot connect to 127.0.79.254:502"),
    (lambda sim: tandrel.export_em235_diagnostics("127.0.79.254", "x.csv", 2049),
     "Cannot connect to 127.0.79.254:502"),
])
def test_failures_raise_the_library_message(sim, call, message):
    with pytest.raises(tandrel.TandrelError) as raised:
        call(sim)
    assert type(raised.value) is tandrel.TandrelError
    assert str(raised.value) == message


def test_host_may_carry_the_port_and_bad_arguments_fail_before_any_call():
    for host, port, where in [("192.0.2.10", None, ("192.0.2.10", 502)),
                              ("192.0.2.10:5020", 5020, ("192.0.2.10", 5020)),
                              ("[fe80::1]:5020", None, ("fe80::1", 5020)),
                              ("fe80::1", 1502, ("fe80::1", 1502))]:
        meter = tandrel.Meter(host, port=port)
        assert (meter.host, meter.port) == where
    for error, call, *args in [(ValueError, tandrel.Meter, "127.0.0.1:5020", "em235", 502),
                               (ValueError, tandrel.Meter, "127.0.0.1:99999"),
                               (ValueError, tandrel.Meter, "127.0.0.1\0evil"),
                               (ValueError, tandrel.Meter, "h", "em235", None, 1, float("inf")),
                               (TypeError, tandrel.Meter("127.0.0.1").read, 4352.0),
                               (ValueError, tandrel.export_em133_all, "127.0.0.1:5020", ".")]:
        pytest.raises(error, call, *args)


def test_data_logs_are_files_1_to_16(sim):
    meter = sim.meter()
    for call in (meter.datalog, meter.datalog_frame, lambda f: meter.export_datalog(f, "x.csv")):
        for file_id in (0, 17, -1):
            with pytest.raises(ValueError, match=f"^data logs are files 1-16, not {file_id}; "):
                call(file_id)
    # 16 is one: the meter is asked, has no such log and says so.
    with pytest.raises(tandrel.TandrelError, match="^Modbus exception 2$"):
        meter.datalog(16).header


def test_library_log_reaches_the_tandrel_logger(sim, caplog):
    caplog.set_level(logging.DEBUG, logger="tandrel")
    list(sim.meter().events())
    with pytest.raises(tandrel.TandrelError):
        tandrel.Meter("127.0.0.1", port=1).device_info()
    for expected in [(logging.DEBUG, f"Connected to {sim.endpoint}"),
                     (logging.INFO, "File 0: 164 records"),
                     (logging.ERROR, "Cannot connect to 127.0.0.1:1")]:
        assert ("tandrel", *expected) in caplog.record_tuples

    class Broken(logging.Filter):
        def filter(self, record):
            raise RuntimeError("handler broke")
    logging.getLogger("tandrel").addFilter(Broken())
    try:
        with pytest.raises(RuntimeError, match="handler broke"):
            sim.meter().device_info()
    finally:
        logging.getLogger("tandrel").filters.clear()


STOP = RuntimeError("raised by the progress callable")


def stop_at_ten(done, total):
    if done == 10:
        raise STOP


@pytest.mark.parametrize("export, progress, result", [
    (lambda m, path, p: m.export_datalog(1, path, p), lambda *a: None, 300),
    (lambda m, path, p: m.export_events(str(path), progress=p), lambda *a: None, 164),
    (lambda m, path, p: m.export_datalog(1, path, p), lambda done, total: done < 10,
     tandrel.Cancelled),
    (lambda m, path, p: m.export_datalog(1, path, p), stop_at_ten, STOP),
])
def test_exports_report_progress_and_stop_when_it_says(sim, tmp_path, capfd, export, progress,
                                                       result):
    calls = []
    path = tmp_path / "out.csv"
    try:
        got = export(sim.meter(), path, lambda *a: calls.append(a) or progress(*a))
    except Exception as exc:
        got = exc
    if isinstance(result, int):
        assert (got, calls) == (result, [(n, result) for n in range(1, result + 1)])
    else:
        assert calls[-1] == (10, 300)
        assert got is result or (type(got), str(got)) == (result, "Cancelled by caller")
    assert len(path.read_text().splitlines()) == len(calls) + 1
    assert capfd.readouterr().err == ""


# The two calls fixed to port 502: the clock parameter is the first write of a
# clock setting; the diagnostics scenario keeps the word on unit 3.
def test_port_502_calls(start_sim, tmp_path):
    sim = start_sim("--model", "em133", "--deterministic", on_502=True)
    assert tandrel.export_em133_all(sim.address, tmp_path, True, 5) == 914
    assert "fc 6 addr 0x0A0F count 1 first value 5" in sim.trace()
    sim = start_sim(scenario="diagnostics_unit3", on_502=True)
    path = tmp_path / "diagnostics.csv"
    assert tandrel.export_em235_diagnostics(f"{sim.address}:502", path, 2049, count=2,
                                            unit_id=3, word_order="LO_FIRST") == 26
    assert path.read_text().splitlines()[1] == "0x1,0x10,0x10010,LO_FIRST"
    assert "unit 3 fc 3 addr 0x0800 count 2 " in sim.trace()


# An em133 read as the em235 it is not gives V1 2300 instead of 230.0. With no
# model the identity names it, read once for the Meter's life (one request to
# its block in the trace however many calls follow); a contradicting model
# fails naming both, unless forced.
def test_the_model_comes_from_the_meters_identity(start_sim):
    em133 = start_sim("--model", "em133", "--deterministic")
    meter = tandrel.Meter(em133.endpoint)
    assert (meter.model, meter.read("V1")["V1"].value, meter.live().meter) == (None, 230.0, "em133")
    assert meter.model == "em133"
    assert em133.trace().count(" addr 0xB400 ") == 1
    with pytest.raises(tandrel.TandrelError) as raised:
        tandrel.Meter(em133.endpoint, "em235").read("V1")
    assert str(raised.value) == (f"the meter at {em133.endpoint} reports model id 133 (em133), "
                                 "not em235")
    forced = tandrel.Meter(em133.endpoint, "em235", force_model=True)
    assert forced.read("V1")["V1"].value == 2300
    pytest.raises(ValueError, tandrel.Meter, em133.endpoint, force_model=True)
