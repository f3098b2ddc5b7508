"""Long calls give way: other Python threads keep running during a second of matrix product, LU,
inverse or network training, and Ctrl-C stops LU and the inverse within a few milliseconds (in a
child process, whose main thread is the one Python delivers signals to)."""

import json
import os

import numpy as np
import pytest

import _cpp
from interrupts import LATENCY_BOUND, longest_stall, run_child


def lower_upper(n, rng):
    """Well-conditioned unit lower and upper triangular factors of size n."""
    L = np.tril(rng.uniform(-1, 1, (n, n)) / n, -1) + np.eye(n)
    U = np.triu(rng.uniform(-1, 1, (n, n)) / n, 1) + np.diag(rng.uniform(1, 2, n))
    return L, U


def train_for_a_second():
    rng = np.random.default_rng(3)
    X = rng.random((64, 4000))
    Y = np.eye(10)[rng.integers(0, 10, 4000)].T.copy()
    net = _cpp.Network(2, [128, 10], X, _cpp.Adam())
    return lambda: net.train_loop(25, Y, 100)


# Each takes about a second on a 2020s laptop core; a call holding the interpreter lock would stall
# the ticker for all of it.
LONG_CALLS = {
    "matrix_with_matrix_multiplication": lambda rng: (
        lambda A: lambda: _cpp.matrix_with_matrix_multiplication(A, A))(rng.standard_normal((1800, 1800))),
    "LU_decomposition": lambda rng: (
        lambda A: lambda: _cpp.LU_decomposition(A, 1400))(rng.standard_normal((1400, 1400)) + 1400 * np.eye(1400)),
    "matrix_inverse": lambda rng: (lambda LU: lambda: _cpp.matrix_inverse(*LU, 1300))(lower_upper(1300, rng)),
    "Network.train_loop": lambda rng: train_for_a_second(),
}


@pytest.mark.skipif(os.environ.get("TARNWICK_SANITIZED") == "1",
                    reason="timing under the sanitizer says nothing about the lock")
@pytest.mark.parametrize("name", LONG_CALLS)
def test_other_threads_run_during_a_long_call(name, capfd):
    call = LONG_CALLS[name](np.random.default_rng(0))
    stall, duration = longest_stall(call)
    with capfd.disabled():
        print(f"\n{name}: {duration:.2f} s, longest ticker stall {stall * 1e3:.1f} ms")
    assert stall < 0.5


CHILD = """
    import json
    import numpy as np
    import _cpp
    from interrupts import interrupted

    rng = np.random.default_rng(1)
    n = 1600
    A = rng.uniform(-1, 1, (n, n)) + n * np.eye(n)
    L = np.tril(rng.uniform(-1, 1, (n, n)) / n, -1) + np.eye(n)
    U = np.triu(rng.uniform(-1, 1, (n, n)) / n, 1) + np.diag(rng.uniform(1, 2, n))
    def small():
        L, U = _cpp.LU_decomposition([[4.0, 3.0], [6.0, 3.0]], 2)
        return L, U, _cpp.matrix_inverse(L, U, 2)
    before = small()
    latency = {"LU_decomposition": interrupted(lambda: _cpp.LU_decomposition(A, n), 0.15),
               "matrix_inverse": interrupted(lambda: _cpp.matrix_inverse(L, U, n), 0.15)}
    print(json.dumps({"latency": latency, "unchanged": small() == before}))
"""


def test_ctrl_c_stops_lu_and_the_inverse(capfd):
    # Both would take seconds; the interrupt comes at 0.15 s. Afterwards both work as before.
    report = json.loads(run_child(CHILD))
    with capfd.disabled():
        print("\n" + ", ".join(f"{name}: Ctrl-C after {t * 1e3:.1f} ms" for name, t in report["latency"].items() if t))
    assert all(t is not None and t < LATENCY_BOUND for t in report["latency"].values()), report["latency"]
    assert report["unchanged"]
