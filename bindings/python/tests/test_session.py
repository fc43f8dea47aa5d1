# tandrel.connect(): a Meter on a library session. The simulator's trace shows
# what the session saves: one connection, and the identity and setup read
# once, however many reads follow.
import re
import pytest

import tandrel


def connections(trace):
    return set(re.findall(r"^conn (\d+) ", trace, re.M))


# Two polls through a session: the open's identity and setup, then the live
# requests only (4 on an em235); the plain Meter's poll sends the setup too.
def test_polls_through_a_session_send_the_live_requests_only(start_sim):
    em235 = start_sim("--deterministic")
    with tandrel.connect(em235.endpoint) as meter:
        opened = em235.settled_count()
        first, second = meter.live(), meter.live()
        assert em235.settled_count() - opened == 8
        assert meter.model == "em235"
    assert len(first) == len(second) == 61
    assert connections(em235.trace()) == {"1"}
    assert em235.trace().count(" addr 0xB400 ") == 1


# Every method of a Meter on a session gives what the plain Meter gives.
def test_the_session_reads_as_the_plain_meter(sim, tmp_path):
    plain = sim.meter()
    with tandrel.connect(sim.endpoint, "em235") as meter:
        assert meter.device_info() == plain.device_info()
        assert meter.read("V1", 0x1401)["V1"].value == plain.read("V1", 0x1401)["V1"].value
        assert meter.logs() == plain.logs()
        assert list(meter.datalog(1)) == list(plain.datalog(1))
        assert list(meter.events()) == list(plain.events())
        assert meter.export_datalog(1, tmp_path / "s.csv") == plain.export_datalog(1, tmp_path / "p.csv")
        assert (tmp_path / "s.csv").read_bytes() == (tmp_path / "p.csv").read_bytes()
        assert meter.export_events(tmp_path / "se.csv") == plain.export_events(tmp_path / "pe.csv")
        assert (tmp_path / "se.csv").read_bytes() == (tmp_path / "pe.csv").read_bytes()


# The model: learnt at the open, checked there when given; a closed meter fails.
def test_model_and_close(start_sim):
    em133 = start_sim("--model", "em133", "--deterministic")
    with tandrel.connect(em133.endpoint) as meter:
        assert meter.model == "em133"
        assert meter.read("V1")["V1"].value == 230.0
    with pytest.raises(tandrel.TandrelError, match="Invalid session handle"):
        meter.live()
    with pytest.raises(tandrel.TandrelError) as raised:
        tandrel.connect(em133.endpoint, "em235")
    assert str(raised.value) == (f"the meter at {em133.endpoint} reports model id 133 (em133), "
                                 "not em235")
    with tandrel.connect(em133.endpoint, "em235", force_model=True) as forced:
        assert forced.read("V1")["V1"].value == 2300
    with pytest.raises(tandrel.TandrelError, match="^Cannot connect to 127.0.0.1:1$"):
        tandrel.connect("127.0.0.1:1", "em235")


# A log iterator left open holds the session (20000 records: the read waits
# for the reader): another read says so and sends nothing; once the iterator
# is closed the session reads again.
def test_one_read_at_a_time(start_sim):
    sim = start_sim(scenario="big_log")
    with tandrel.connect(sim.endpoint, "em235") as meter:
        records = meter.datalog(1)
        next(iter(records))
        before = sim.settled_count()
        with pytest.raises(tandrel.TandrelError, match="^Session is in use by another call$"):
            meter.live()
        assert sim.settled_count() == before
        records.close()
        assert len(meter.live()) == 61
