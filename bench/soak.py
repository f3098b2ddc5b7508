"""Soak test: many cycles of building, training, saving and loading small models and networks, with
the process's resident memory printed after a warm-up and at the end. Memory that keeps growing
after the warm-up is a leak (or a cache that never stops filling).

Every cycle runs one round of each workload whose classes the module registers; workloads of
classes not yet registered are skipped with a note. Failed loads of a broken file are part of each
round, because error paths are where a leak hides.

    PYTHONPATH=build/dev python3 bench/soak.py                 # 10,000 cycles
    PYTHONPATH=build/dev python3 bench/soak.py --cycles 500 --max-growth-mb 8

Exits with status 1 if memory grew by more than --max-growth-mb between warm-up and end.
"""

from __future__ import annotations

import argparse
import contextlib
import os
import sys
import tempfile
import time

import _cpp
from harness import stdout_to_devnull

X = [[0.0, 1.0], [1.0, 0.5], [3.0, 3.5], [4.0, 3.0], [0.5, 0.0], [3.5, 4.0]]
Y = ["a", "a", "b", "b", "a", "b"]
TEXTS = ["free money now", "hello friend", "win free money", "see you at lunch", "money money", "hi"]
TEXT_LABELS = ["spam", "ham", "spam", "ham", "spam", "ham"]
BROKEN = '{"k":3,"x_train":[[1,0.5],[-2,oops'


def resident_mb() -> float:
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return float("nan")


def round_trip(make, path, broken, save="save", load="load"):
    """Saves a model, loads it into a new one, then fails to load a broken file into that one."""
    model = make()
    getattr(model, save)(path)
    again = make()
    getattr(again, load)(path)
    with contextlib.suppress(ValueError, IndexError):
        getattr(again, load)(broken)
    return again


def linear_algebra(d):
    a = [[4.0, 3.0, 1.0], [6.0, 3.0, 2.0], [1.0, 5.0, 7.0]]
    lower, upper = _cpp.LU_decomposition(a, 3)
    _cpp.matrix_inverse(lower, upper, 3)
    _cpp.matrix_with_matrix_multiplication(a, _cpp.transpose_matrix(a))
    _cpp.euclidean(a[0], a[1])
    with contextlib.suppress(ValueError):
        _cpp.matrix_with_matrix_multiplication([[1.0, 2.0]], [[1.0]])


def autodiff(d):
    x, y = _cpp.Scalar(0.5), _cpp.Scalar(-1.5)
    z = (x * y + x).tanh_op()
    z.gradient = 1.0
    z.backprop(z.topo_sort())
    m = _cpp.Matrix([[1.0, 2.0], [3.0, 4.0]])
    out = (m * m).sigmoid().sum_cols()
    out.gradient = [[1.0], [1.0]]
    out.backprop(out.topo_sort())


def network(d):
    inputs = [list(col) for col in zip(*X)]                      # one row per feature
    labels = [[1.0 if y == c else 0.0 for y in Y] for c in ("a", "b")]
    make = lambda: _cpp.Network(2, [4, 2], inputs, _cpp.Adam())  # noqa: E731
    net = make()
    net.train_loop(1, labels, 3)
    net.save_weights(d["weights"])
    again = make()
    again.load_weights(d["weights"])
    again.predict(inputs)
    with contextlib.suppress(ValueError, IndexError):
        again.load_weights(d["broken"])
    round_trip(make, d["hyper"], d["broken"], "save_hyperparams", "load_hyperparams")


def fitted(cls, *args, data=(X, Y)):
    def make():
        model = getattr(_cpp, cls)(*args)
        model.fit(*data)
        return model
    return make


def model(cls, *args, data=(X, Y), predict=True):
    def run(d):
        again = round_trip(fitted(cls, *args, data=data), d["model"], d["broken"])
        if predict:
            again.predict(data[0])
    return run


# (name, classes it needs, one round)
WORKLOADS = [
    ("matrix helpers, LU, distances", ["LU_decomposition"], linear_algebra),
    ("autodiff graph and back-propagation", ["Scalar", "Matrix"], autodiff),
    ("network: train, weights and hyper-parameter files", ["Network", "Adam"], network),
    ("LinearRegression", ["LinearRegression"],
     model("LinearRegression", data=([0.0, 1.0, 2.0, 3.0], [1.0, 3.0, 5.0, 7.0]))),
    ("LogisticRegression", ["LogisticRegression"], model("LogisticRegression")),
    ("GDA", ["GDA"], model("GDA")),
    ("KNN", ["KNN"], model("KNN", 3, "euclidean")),
    ("KDTree", ["KDTree"], model("KDTree")),
    ("GaussianNaiveBayes", ["GaussianNaiveBayes"], model("GaussianNaiveBayes")),
    ("BernoulliNaiveBayes", ["BernoulliNaiveBayes"], model("BernoulliNaiveBayes", data=(TEXTS, TEXT_LABELS))),
    ("MultinomialNaiveBayes", ["MultinomialNaiveBayes"],
     model("MultinomialNaiveBayes", data=(TEXTS, TEXT_LABELS))),
]




def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--cycles", type=int, default=10_000)
    parser.add_argument("--warmup", type=int, default=None, help="cycles before the first reading "
                        "(default: a tenth of the cycles, at most 500)")
    parser.add_argument("--max-growth-mb", type=float, default=16.0)
    args = parser.parse_args()
    warmup = args.warmup if args.warmup is not None else min(500, args.cycles // 10)

    workloads = []
    for name, needs, run in WORKLOADS:
        missing = [n for n in needs if not hasattr(_cpp, n)]
        if missing:
            print(f"skipped: {name} ({', '.join(missing)} not registered)")
        else:
            workloads.append((name, run))
    with tempfile.TemporaryDirectory() as tmp:
        paths = {k: os.path.join(tmp, f"{k}.json") for k in ("model", "weights", "hyper", "broken")}
        with open(paths["broken"], "w") as f:
            f.write(BROKEN)
        for name, run in list(workloads):                  # a workload that fails once is dropped
            try:
                with stdout_to_devnull():
                    run(paths)
            except Exception as exc:
                print(f"skipped: {name} (raised {type(exc).__name__}: {exc})")
                workloads.remove((name, run))
        print(f"running {args.cycles} cycles of: {', '.join(n for n, _ in workloads)}")
        start, after_warmup = time.perf_counter(), None
        with stdout_to_devnull():
            for cycle in range(args.cycles):
                if cycle == warmup:
                    after_warmup = resident_mb()
                for _, run in workloads:
                    run(paths)
        end = resident_mb()
    if after_warmup is None:
        after_warmup = end
    growth = end - after_warmup
    print(f"resident memory after {warmup} warm-up cycles: {after_warmup:.1f} MB")
    print(f"resident memory after {args.cycles} cycles:   {end:.1f} MB ({growth:+.1f} MB) "
          f"in {time.perf_counter() - start:.1f} s")
    if growth > args.max_growth_mb:
        print(f"memory grew by more than {args.max_growth_mb} MB after the warm-up")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
