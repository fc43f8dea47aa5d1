"""Which model a Meter reads its meter as. The library trusts the model it is
given and reads wrong values from a meter of another model, so a Meter does
not guess: it reads the meter's identity once, on its first call, and learns
the model from it or checks the one given against it. force_model=True reads
the meter as the model given without reading the identity."""

from __future__ import annotations

import threading
from typing import Any, Callable, Optional

from ._calls import TandrelError

# The model ids of the identification block, and the register map each model
# is read through: a pm335 reads as an em235.
_MODEL_IDS = {133: "em133", 235: "em235", 335: "pm335"}
_READS_AS = {"em133": "em133", "em235": "em235", "pm335": "em235"}
_NAMES = "em133, em235 or pm335"
# The identification block sits at the same registers on every model; the
# setup part of the document is right only for the model it was read as.
_PROBE = "em235"

DeviceInfo = dict[str, Any]


def choose(given: Optional[str], model_id: int, where: str) -> str:
    """The model to read the meter at `where` as, from the one given (None:
    none) and the model id its identity reports."""
    reported = _MODEL_IDS.get(model_id)
    what = f"the meter at {where} reports model id {model_id}"
    if given is None:
        if reported is None:
            raise TandrelError(f"{what}, which is none of {_NAMES}")
        return reported
    if reported is None or _READS_AS[reported] != _READS_AS.get(given.lower()):
        raise TandrelError(f"{what} ({reported or 'none of ' + _NAMES}), not {given}")
    return given


class ModelChoice:
    """The model of one Meter, settled once by the first call that needs it;
    calls from other threads meanwhile wait for it rather than read again."""

    def __init__(self, given: Optional[str], force: bool, where: str) -> None:
        if force and given is None:
            raise ValueError("force_model needs a model")
        self.given = given
        self.force = force
        self.settled: Optional[str] = given if force else None
        self.where = where
        self._lock = threading.Lock()

    def settle(self, read_info: Callable[[str], DeviceInfo]) -> tuple[str, Optional[DeviceInfo]]:
        """The model, and the device information when settling it read that
        as the model chosen (None otherwise)."""
        with self._lock:
            if self.settled is not None:
                return self.settled, None
            probe = self.given or _PROBE
            info = read_info(probe)
            model = choose(self.given, info["model_id"], self.where)
            self.settled = model
            return model, info if _READS_AS[model] == _READS_AS.get(probe.lower()) else None
