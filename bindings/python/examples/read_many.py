#!/usr/bin/env python3
"""Reads the total power of many meters at once from a thread pool.

    python3 read_many.py 192.0.2.10 192.0.2.11:5020 ...

The library releases the interpreter lock while it talks to a meter, so
eight meters take about as long as the slowest of them, not the sum.
"""

import concurrent.futures
import sys
from typing import Callable, TypeVar, Union

import tandrel

T = TypeVar("T")


def read_all(meters: list[tandrel.Meter], read: Callable[[tandrel.Meter], T]
             ) -> list[Union[T, tandrel.TandrelError]]:
    """read(meter) for every meter, side by side; a meter that fails gives its error."""
    def guarded(meter: tandrel.Meter) -> Union[T, tandrel.TandrelError]:
        try:
            return read(meter)
        except tandrel.TandrelError as exc:
            return exc

    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, len(meters))) as pool:
        return list(pool.map(guarded, meters))


def main(hosts: list[str]) -> int:
    meters = [tandrel.Meter(host, timeout=5) for host in hosts]
    results = read_all(meters, lambda meter: meter.read("Total kW")["Total kW"])
    for meter, result in zip(meters, results):
        text = f"error: {result}" if isinstance(result, Exception) else f"{result.value} kW"
        print(f"{meter.host}:{meter.port:<6} {text}")
    return 1 if any(isinstance(result, Exception) for result in results) else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
