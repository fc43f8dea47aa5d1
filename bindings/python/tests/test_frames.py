"""Logs as pandas DataFrames: one row per record, proper dtypes."""

import pytest

pd = pytest.importorskip("pandas")

STAMP = "datetime64[ns, UTC]"
DATALOG_DTYPES = {"no": "int64", "seq": "int64", "timestamp": STAMP, "trigger": "object"}


def dtypes(frame):
    return {name: str(dtype) for name, dtype in frame.dtypes.items()}


def test_datalog_frame(sim):
    frame = sim.meter().datalog_frame(1)
    values = ["V1", "V2", "V3", "I1", "I2", "I3", "Total kW", "Total PF"]
    assert dtypes(frame) == {**DATALOG_DTYPES, **dict.fromkeys(values, "float64")}
    assert len(frame) == 300
    assert frame.iloc[0].tolist() == [1, 1, pd.Timestamp("2025-12-28T21:00:00Z"), "SP",
                                      230.0, 231.3, 231.4, 42.0, 53.16, 36.01, 28.649, 0.946]
    assert frame["timestamp"].iloc[-1] == pd.Timestamp("2025-12-31T23:45:00Z")


def test_events_frame(sim):
    frame = sim.meter().events_frame()
    assert dtypes(frame) == {
        "no": "int64", "seq": "int64", "timestamp": STAMP, "event_no": "int64",
        "cause": "object", "point": "object", "state": "object", "effect": "object",
        "target": "object", "source_id": "int64", "effect_id": "int64",
        "value_triggered": "int64"}
    assert len(frame) == 164
    assert frame.iloc[1].tolist() == [2, 2, pd.Timestamp("2025-12-21T19:30:00.137Z"), 2,
                                      "SP ACTION", "SP1", "", "Set event flag", "#1", 23040,
                                      8192, 1234]


def test_empty_log_keeps_columns_and_dtypes(start_sim):
    frame = start_sim(scenario="empty_log").meter().datalog_frame(1)
    assert len(frame) == 0
    assert dtypes(frame) == {**DATALOG_DTYPES, "V1": "float64", "V2": "float64"}
