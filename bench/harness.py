"""Scenario registry and timing shared by the benchmark files.

A benchmark file (one per subsystem, e.g. linalg.py) holds a list SCENARIOS, filled with the
@scenario decorator. A scenario function builds its data and returns a Case: two callables with no
arguments, ours and the peer's, timed alternately in the same process.
"""

from __future__ import annotations

import contextlib
import os
import statistics
import sys
import time
from dataclasses import dataclass
from typing import Callable


@dataclass
class Case:
    ours: Callable[[], object]
    peer: Callable[[], object]
    # When set, times are reported per this many elements (ns per element) instead of per call.
    per: int = 0
    # When set, its median time is subtracted from ours: the part of ours that is not measured.
    base: Callable[[], object] | None = None


@dataclass
class Scenario:
    name: str
    build: Callable[[], Case]
    peer: str  # the peer library's import name: "numpy", "sklearn" or "torch"
    needs: tuple[str, ...]  # names the _cpp module must have for the scenario to run


def scenario(registry: list, name: str, peer: str, needs: tuple[str, ...] = ()):
    """Registers the decorated function as a scenario in registry (a file's SCENARIOS list)."""

    def register(build: Callable[[], Case]) -> Callable[[], Case]:
        registry.append(Scenario(name, build, peer, tuple(needs)))
        return build

    return register


def _sample(fn: Callable[[], object]) -> float:
    # The result lives until the clock has stopped: its deallocation is the caller's, not the
    # conversion's, for both sides alike.
    start = time.perf_counter()
    result = fn()
    elapsed = time.perf_counter() - start
    del result
    return elapsed


def measure(case: Case, runs: int, min_seconds: float) -> tuple[float, float]:
    """Median seconds of ours (less the base's) and of the peer: one warm-up call each, then calls
    in turn until each has at least `runs` samples and ours `min_seconds` (at most 2000)."""
    sides = [case.ours, case.peer] + ([case.base] if case.base else [])
    for fn in sides:
        _sample(fn)
    samples: list[list[float]] = [[] for _ in sides]
    while len(samples[0]) < runs or (sum(samples[0]) < min_seconds and len(samples[0]) < 2000):
        for fn, times in zip(sides, samples):
            times.append(_sample(fn))
    medians = [statistics.median(times) for times in samples]
    ours = medians[0] - (medians[2] if case.base else 0.0)
    return ours, medians[1]


@contextlib.contextmanager
def stdout_to_devnull():
    """The network writes its progress lines to the process's descriptor 1, not through sys.stdout."""
    sys.stdout.flush()
    saved = os.dup(1)
    devnull = os.open(os.devnull, os.O_WRONLY)
    os.dup2(devnull, 1)
    try:
        yield
    finally:
        os.dup2(saved, 1)
        os.close(devnull)
        os.close(saved)
