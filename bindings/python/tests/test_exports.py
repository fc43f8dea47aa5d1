"""CSV exports: paths, progress callables, and the two calls fixed to port 502."""

import pytest

import tandrel


@pytest.mark.parametrize("export, records", [
    (lambda meter, path, progress: meter.export_datalog(1, path, progress), 300),
    (lambda meter, path, progress: meter.export_events(str(path), progress=progress), 164),
])
def test_export_writes_the_csv_and_reports_progress(sim, tmp_path, export, records):
    calls = []
    path = tmp_path / "out.csv"
    assert export(sim.meter(), path, lambda done, total: calls.append((done, total))) == records
    assert calls == [(n, records) for n in range(1, records + 1)]
    assert len(path.read_text().splitlines()) == records + 1


class Stop(Exception):
    pass


STOP = Stop("raised by the progress callable")


def stop_at_ten(done, total):
    if done == 10:
        raise STOP


@pytest.mark.parametrize("progress, raised", [
    (lambda done, total: done < 10, tandrel.Cancelled),
    (stop_at_ten, STOP),
])
def test_progress_stops_the_export(sim, tmp_path, capfd, progress, raised):
    with pytest.raises(Exception) as info:
        sim.meter().export_datalog(1, tmp_path / "out.csv", progress)
    if raised is tandrel.Cancelled:
        assert type(info.value) is tandrel.Cancelled
        assert str(info.value) == "Cancelled by caller"
    else:
        assert info.value is raised
    assert capfd.readouterr().err == ""


@pytest.mark.parametrize("set_clock, clock_param, writes", [
    (False, 0, []),
    (True, 5, ["fc 6 addr 0x0A0F count 1 first value 5", "fc 16 addr 0x1100 count 7"]),
])
def test_export_em133_all(sim_on_502, tmp_path, set_clock, clock_param, writes):
    sim = sim_on_502("--model", "em133", "--deterministic")
    total = tandrel.export_em133_all(sim.address, tmp_path, set_clock, clock_param)
    files = list(tmp_path.iterdir())
    assert len(files) == 4
    assert total == sum(len(f.read_text().splitlines()) - 1 for f in files)
    sim.settled_count(quiet=0.1)
    trace = "".join(sim.lines[:3])
    assert [w for w in writes if w in trace] == writes
    assert ("fc 16 addr 0x1100" in trace) == set_clock


@pytest.mark.parametrize("word_order, line", [
    ("HI_FIRST", "0x1,0x10,0x100001,HI_FIRST"),
    ("LO_FIRST", "0x1,0x10,0x10010,LO_FIRST"),
])
def test_export_em235_diagnostics(sim_on_502, tmp_path, word_order, line):
    sim = sim_on_502(scenario="diagnostics_unit3")
    path = tmp_path / "diagnostics.csv"
    assert tandrel.export_em235_diagnostics(f"{sim.address}:502", path, 2049, count=2,
                                            unit_id=3, word_order=word_order) == 26
    assert path.read_text().splitlines()[1] == line
    sim.settled_count(quiet=0.1)
    assert "unit 3 fc 3 addr 0x0800 count 2 " in sim.lines[0]
