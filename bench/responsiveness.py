"""How the library's long calls give way: for each, (a) the Ctrl-C latency, from SIGINT to the
KeyboardInterrupt the caller catches, and (b) the longest stall of another Python thread that ticks
every millisecond while the call runs. Prints one table.

    PYTHONPATH=build/dev python bench/responsiveness.py [--only TEXT] [--delay SECONDS]

Every case runs in a child process of its own: it builds its data, runs the call once with the
ticker thread (the longest gap between two ticks during the call is the stall; about 1 ms for a
call that releases the interpreter lock throughout), then starts the call again and tells this
process, which sends SIGINT --delay seconds later (the child's main thread is the one Python
delivers signals to). Both processes read the system-wide monotonic clock, so the latency is the
child's time of catching KeyboardInterrupt less this process's time of sending. A call that does
not look for signals shows the rest of its length instead. The calls last about a second each here.
"""

from __future__ import annotations

import argparse
import json
import os
import random
import signal
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve()
# The ticker of the Ctrl-C tests; the stall is measured on the clock both processes share.
sys.path.insert(0, str(HERE.parent.parent / "tests"))
from interrupts import longest_stall  # noqa: E402


def _np():
    import numpy as np
    return np


def _labelled(rng, n, dim, classes):
    centres = rng.normal(0.0, 3.0, size=(classes, dim))
    which = rng.integers(0, classes, size=n)
    return centres[which] + rng.normal(0.0, 1.0, size=(n, dim)), [f"c{c}" for c in which]


def matmul():
    import _cpp
    A = _np().random.default_rng(0).standard_normal((1800, 1800))
    return "arrays 1800 x 1800", lambda: _cpp.matrix_with_matrix_multiplication(A, A)


def lu():
    import _cpp
    np = _np()
    A = np.random.default_rng(0).standard_normal((1400, 1400)) + 1400 * np.eye(1400)
    return "1400 x 1400", lambda: _cpp.LU_decomposition(A, 1400)


def inverse():
    import _cpp
    np = _np()
    rng, n = np.random.default_rng(0), 1300
    L = np.tril(rng.uniform(-1, 1, (n, n)) / n, -1) + np.eye(n)
    U = np.triu(rng.uniform(-1, 1, (n, n)) / n, 1) + np.diag(rng.uniform(1, 2, n))
    return "1300 x 1300", lambda: _cpp.matrix_inverse(L, U, n)


def _network(samples):
    import _cpp
    np = _np()
    rng = np.random.default_rng(3)
    X = rng.random((64, samples))
    Y = np.eye(10)[rng.integers(0, 10, samples)].T.copy()
    return _cpp.Network(3, [256, 128, 10], X, _cpp.Adam()), X, Y


def train_loop():
    net, _, Y = _network(2000)
    return "64-256-128-10, 2,000 samples, batch 100, 10 epochs", lambda: net.train_loop(10, Y, 100)


def accuracy():
    net, X, Y = _network(40_000)
    return "64-256-128-10, 40,000 samples", lambda: net.accuracy(X, Y)


def knn_predict():
    import _cpp
    rng = _np().random.default_rng(5)
    x, y = _labelled(rng, 10_000, 32, 10)
    queries, _ = _labelled(rng, 30_000, 32, 10)
    model = _cpp.KNN(5)
    model.fit(x, y)
    return "10,000 x 32 points, 30,000 queries, k=5", lambda: model.predict(queries)


def kdtree_predict():
    import _cpp
    rng = _np().random.default_rng(6)
    x, y = _labelled(rng, 100_000, 3, 10)
    queries, _ = _labelled(rng, 300_000, 3, 10)
    model = _cpp.KDTree()
    model.fit(x, y)
    return "100,000 x 3 points, 300,000 queries, k=1", lambda: model.predict(queries)


def gaussian_nb_predict():
    import _cpp
    rng = _np().random.default_rng(7)
    x, y = _labelled(rng, 100_000, 20, 5)
    queries, _ = _labelled(rng, 300_000, 20, 5)
    model = _cpp.GaussianNaiveBayes()
    model.fit(x, y)
    return "100,000 x 20 fit, 300,000 queries, 5 classes", lambda: model.predict(queries)


def text_predict():
    import _cpp
    rng = random.Random(0)
    words = ["".join(rng.choice("abcdefghij") for _ in range(rng.randint(3, 8))) for _ in range(3000)]

    def corpus(n):
        texts = [" ".join(rng.choices(words, k=rng.randint(40, 60))) for _ in range(n)]
        return texts, [f"class{rng.randrange(4)}" for _ in range(n)]

    x_train, y_train = corpus(20_000)
    x_test, _ = corpus(100_000)
    model = _cpp.MultinomialNaiveBayes(1000)
    model.fit(x_train, y_train)
    return "MultinomialNaiveBayes, 100,000 texts of ~50 words", lambda: model.predict(x_test)


def linear_fit():
    import _cpp
    rng = _np().random.default_rng(8)
    x = rng.random(100_000)
    y = 3.0 * x + 1.0 + rng.normal(0, 0.1, 100_000)
    model = _cpp.LinearRegression()
    return "100,000 samples, 12,000 iterations", lambda: model.fit(x, y, 0.01, 12_000)


def logistic_fit():
    import _cpp
    rng = _np().random.default_rng(9)
    x, y = _labelled(rng, 20_000, 10, 2)
    model = _cpp.LogisticRegression()
    return "20,000 x 10, 1,500 iterations", lambda: model.fit(x, y, 0.01, 1500)


def _knn_file():
    import _cpp
    import tempfile
    rng = _np().random.default_rng(10)
    x, y = _labelled(rng, 100_000, 32, 10)
    model = _cpp.KNN(5)
    model.fit(x, y)
    path = os.path.join(tempfile.mkdtemp(), "knn.json")
    return model, path


def knn_save():
    model, path = _knn_file()
    return "100,000 x 32 points", lambda: model.save(path)


def knn_load():
    import _cpp
    model, path = _knn_file()
    model.save(path)
    fresh = _cpp.KNN()
    return "100,000 x 32 points", lambda: fresh.load(path)


CASES = {
    "matrix_with_matrix_multiplication": matmul,
    "LU_decomposition": lu,
    "matrix_inverse": inverse,
    "Network.train_loop": train_loop,
    "Network.accuracy": accuracy,
    "KNN.predict": knn_predict,
    "KDTree.predict": kdtree_predict,
    "GaussianNaiveBayes.predict": gaussian_nb_predict,
    "MultinomialNaiveBayes.predict": text_predict,
    "LinearRegression.fit": linear_fit,
    "LogisticRegression.fit": logistic_fit,
    "KNN.save": knn_save,
    "KNN.load": knn_load,
}


def child(name: str) -> None:
    # The network's progress lines go to descriptor 1: the reports to this process take a copy.
    report = os.fdopen(os.dup(1), "w")
    devnull = os.open(os.devnull, os.O_WRONLY)
    os.dup2(devnull, 1)
    size, call = CASES[name]()
    stall, duration = longest_stall(call, clock=time.monotonic, settle=0.05)
    print(json.dumps({"size": size, "stall": stall, "duration": duration}), file=report, flush=True)
    caught = ended = None
    try:
        print(json.dumps({"started": time.monotonic()}), file=report, flush=True)
        call()
        ended = time.monotonic()
        time.sleep(5)  # the signal still comes: it is caught here, not in the interpreter's exit
    except KeyboardInterrupt:
        caught = time.monotonic()
    print(json.dumps({"caught": caught, "ended": ended}), file=report, flush=True)


def measure(name: str, delay: float) -> dict:
    proc = subprocess.Popen([sys.executable, str(HERE), "--child", name], stdout=subprocess.PIPE, text=True)
    try:
        first = json.loads(proc.stdout.readline())
        json.loads(proc.stdout.readline())
        time.sleep(delay)
        sent = time.monotonic()
        proc.send_signal(signal.SIGINT)
        last = json.loads(proc.stdout.readline())
    finally:
        proc.wait(timeout=120)
    if last["caught"] is None:
        first["latency"] = None
    else:
        first["latency"] = last["caught"] - sent
        first["after_end"] = last["ended"] is not None and last["ended"] <= sent
    return first


def parse_args() -> argparse.Namespace:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--only", default="", help="run only the calls whose name contains this text")
    parser.add_argument("--delay", type=float, default=0.3,
                        help="seconds from the start of the interrupted call to SIGINT (default 0.3)")
    parser.add_argument("--child", help=argparse.SUPPRESS)
    return parser.parse_args()


def main() -> None:
    args = parse_args()
    if args.child:
        child(args.child)
        return
    print(f"SIGINT {args.delay:g} s into each call; the ticker thread ticks every 1 ms.\n")
    print("| call | size | length | longest ticker stall | Ctrl-C latency |\n|---|---|---:|---:|---:|")
    for name in CASES:
        if args.only not in name:
            continue
        r = measure(name, args.delay)
        if r["latency"] is None:
            latency = "not caught"
        elif r.get("after_end"):
            latency = "call ended first"
        else:
            latency = f"{r['latency'] * 1e3:.1f} ms"
        print(f"| {name} | {r['size']} | {r['duration']:.2f} s | {r['stall'] * 1e3:.1f} ms | {latency} |", flush=True)


if __name__ == "__main__":
    main()
