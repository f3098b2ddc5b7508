"""The harness of the tests that stop long calls with Ctrl-C, shared with bench/responsiveness.py:
a ticker thread that measures how long a call keeps other Python threads waiting, a SIGINT sent to
the main thread while a call runs, and a child interpreter to run it all in (Python delivers
signals to the main thread only, and a call that ignored them could hang the test run)."""

from __future__ import annotations

import os
import signal
import subprocess
import sys
import textwrap
import threading
import time

TESTS = os.path.dirname(os.path.abspath(__file__))

# How soon Ctrl-C must stop a long call. Under ThreadSanitizer every instrumented loop runs many
# times slower between two polls of the clock, so the bound says nothing about the library there
# and only the arrival of the interrupt is checked.
LATENCY_BOUND = float("inf") if os.environ.get("TARNWICK_TSAN") == "1" else 0.2


def longest_stall(call, clock=time.perf_counter, settle=0.02) -> tuple[float, float]:
    """(longest gap between a ticker thread's 1 ms ticks while call() ran, the call's length).
    The ticker gets `settle` seconds to start ticking before the call begins."""
    ticks, running = [], threading.Event()
    running.set()

    def tick():
        while running.is_set():
            ticks.append(clock())
            time.sleep(0.001)

    ticker = threading.Thread(target=tick)
    ticker.start()
    time.sleep(settle)
    start = clock()
    call()
    end = clock()
    running.clear()
    ticker.join()
    during = [start] + [t for t in ticks if start < t < end] + [end]
    return max(b - a for a, b in zip(during, during[1:])), end - start


def interrupted(call, after: float) -> float | None:
    """Runs call() on the main thread and sends SIGINT to it `after` seconds in: the seconds from
    the signal to the KeyboardInterrupt caught here, or None when the call returned first (the
    signal is then not sent)."""
    # A process started in the background of a shell inherits SIGINT ignored, and Python then
    # installs no handler of its own: install it, so that the signal raises KeyboardInterrupt.
    signal.signal(signal.SIGINT, signal.default_int_handler)
    main = threading.main_thread().ident
    sent = []

    def interrupt():
        sent.append(time.perf_counter())
        signal.pthread_kill(main, signal.SIGINT)

    timer = threading.Timer(after, interrupt)
    timer.start()
    try:
        call()
    except KeyboardInterrupt:
        return time.perf_counter() - sent[0]
    timer.cancel()
    return None


def run_child(script: str | None = None, args: tuple = (), timeout: float = 120, cwd=None, env=None) -> str:
    """Runs script (dedented), or the given arguments, in a fresh interpreter that can import this
    module: its standard output, or a test failure naming what went wrong."""
    import pytest

    env = dict(os.environ if env is None else env)
    env["PYTHONPATH"] = os.pathsep.join(p for p in (TESTS, env.get("PYTHONPATH")) if p)
    command = [sys.executable, "-c", textwrap.dedent(script)] if script is not None else [sys.executable, *args]
    try:
        done = subprocess.run(command, capture_output=True, text=True, timeout=timeout, cwd=cwd, env=env)
    except subprocess.TimeoutExpired:
        pytest.fail(f"the child process hung for {timeout} s")
    assert done.returncode == 0, done.stderr
    return done.stdout
