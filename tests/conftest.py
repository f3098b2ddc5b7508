"""The tests' own helpers are imported as packages named after their subsystem (core.reference,
models.registry, ...) and the Ctrl-C harness as interrupts: the tests directory goes on the path
once, before any test module is imported (pytest's importlib mode adds nothing itself)."""

import os
import sys

TESTS = os.path.dirname(os.path.abspath(__file__))
if TESTS not in sys.path:
    sys.path.insert(0, TESTS)
