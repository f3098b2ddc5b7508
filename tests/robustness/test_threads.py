"""Several threads at once on shared and private objects: no error, no crash, no hang, and every
result equal to the one a single thread computes.

Four threads spend a few seconds on random steps over models of all eight kinds: predicting,
reading properties and repr, comparing, pickling, refitting and reloading a model that the others
are reading (with the same data, so its state stays the one the single-threaded reference has),
saving it to one file that the others load from, and fitting, saving and loading private models.
Meanwhile two threads train one network that has a Python activation, and the four read it.
The run happens in a child process, so that a crash or a deadlock fails the test rather than
ending or stalling the test run.

    python tests/robustness/test_threads.py --child DIR [SECONDS]   # the run alone, longer if asked;
                                                                    # its summary is DIR/summary.json
"""

from __future__ import annotations

import json
import os
import pickle
import random
import subprocess
import sys
import threading
import time
import traceback
from dataclasses import dataclass
from typing import Any, Callable

import _cpp

SANITIZED = os.environ.get("TARNWICK_SANITIZED") == "1"
SECONDS = 1.0 if SANITIZED else 3.0
EVERY_STEP = {"predict", "read", "compare", "pickle", "refit", "reload", "save shared file", "private model",
              "linear algebra", "network", "train"}
WORKERS = 4
TRAINERS = 2

X = [[0.0, 0.1], [0.2, 0.0], [1.0, 1.1], [1.2, 0.9], [3.0, 3.2], [2.9, 3.1], [0.1, 3.0], [3.1, 0.2]]
Y = ["a", "a", "b", "b", "c", "c", "d", "d"]
BINARY = ["a", "a", "b", "b", "b", "b", "a", "b"]
QUERIES = [[0.1, 0.0], [2.5, 2.5], [1.0, 1.0], [0.0, 3.0], [3.0, 0.0]]
TEXTS = ["spam spam eggs", "eggs ham", "spam", "ham ham toast", "toast and jam", "jam spam"]
TEXT_LABELS = ["s", "h", "s", "h", "h", "s"]
TEXT_QUERIES = ["spam toast", "ham eggs zebra", "jam", ""]
NET_X = [[0.0, 0.0, 1.0, 1.0, 0.5, 0.2, 0.8, 0.9], [0.0, 1.0, 0.0, 1.0, 0.5, 0.7, 0.1, 0.9]]
NET_Y = [[1.0, 0.0, 0.0, 1.0, 1.0, 0.0, 0.0, 1.0], [0.0, 1.0, 1.0, 0.0, 0.0, 1.0, 1.0, 0.0]]


@dataclass(frozen=True)
class Kind:
    name: str
    make: Callable[[], Any]
    fit: Callable[[Any], None]
    predict: Callable[[Any], Any]


class Softsign(_cpp.ActivationFunction):
    """A Python activation: the network calls back into Python for every value."""

    def forward(self, x):
        return x / (1.0 + abs(x))

    def derivative(self, x):
        return 1.0 / (1.0 + abs(x)) ** 2


def kinds() -> list[Kind]:
    rows = lambda m: m.predict(QUERIES)  # noqa: E731
    return [
        Kind("LinearRegression", _cpp.LinearRegression,
             lambda m: m.fit([1.0, 2.0, 3.0, 4.0], [2.0, 4.1, 5.9, 8.2], learning_rate=0.02, iterations=300),
             lambda m: (m.predict([0.5, 4.0]), m.mse([1.0, 2.0], [2.0, 4.0]))),
        Kind("LogisticRegression", _cpp.LogisticRegression, lambda m: m.fit(X, BINARY, 0.1, 300),
             lambda m: (m.predict_proba(QUERIES), m.predict(QUERIES))),
        Kind("GDA", _cpp.GDA, lambda m: m.fit(X, BINARY), lambda m: (m.predict(QUERIES), m.accuracy(X, BINARY))),
        Kind("KNN", lambda: _cpp.KNN(3, "manhattan"), lambda m: m.fit(X, Y), rows),
        Kind("KDTree", _cpp.KDTree, lambda m: m.fit(X, Y), lambda m: (m.predict(QUERIES, 3), m.predict_one(X[0]))),
        Kind("GaussianNaiveBayes", _cpp.GaussianNaiveBayes, lambda m: m.fit(X, Y), rows),
        Kind("BernoulliNaiveBayes", lambda: _cpp.BernoulliNaiveBayes(20), lambda m: m.fit(TEXTS, TEXT_LABELS),
             lambda m: m.predict(TEXT_QUERIES)),
        Kind("MultinomialNaiveBayes", lambda: _cpp.MultinomialNaiveBayes(20), lambda m: m.fit(TEXTS, TEXT_LABELS),
             lambda m: (m.predict(TEXT_QUERIES), m.accuracy(TEXTS, TEXT_LABELS))),
    ]


def child(workdir: str, seconds: float = SECONDS) -> None:
    all_kinds = kinds()
    # The single-threaded reference: a model fitted alone, its file text, its answers.
    reference, shared, answers, reference_files = {}, {}, {}, {}
    for kind in all_kinds:
        for table in (reference, shared):
            table[kind.name] = kind.make()
            kind.fit(table[kind.name])
            kind.predict(table[kind.name])      # whatever a prediction adds to a table, it adds now
        answers[kind.name] = kind.predict(reference[kind.name])
        reference_files[kind.name] = os.path.join(workdir, f"reference-{kind.name}.json")
        reference[kind.name].save(reference_files[kind.name])
    texts = {name: model.__getstate__()[0] for name, model in reference.items()}
    reprs = {name: repr(model) for name, model in reference.items()}
    # Diagonally dominant: the factors hold no inf or nan, which would never compare equal.
    big = [[float((i * 7 + j * 3) % 11) - 5.0 + 1000.0 * (i == j) for j in range(160)] for i in range(160)]
    product = _cpp.matrix_with_matrix_multiplication(big, big)
    lu = _cpp.LU_decomposition([row[:60] for row in big[:60]], 60)

    activation = Softsign()
    net = _cpp.Network(2, [6, 2], NET_X, _cpp.Adam(0.01), activation=activation)

    stop = threading.Event()
    errors: list[str] = []
    counts: dict[str, int] = {}
    lock = threading.Lock()

    def note(step: str) -> None:
        with lock:
            counts[step] = counts.get(step, 0) + 1

    def same_file(name: str, model) -> None:
        assert model.__getstate__()[0] == texts[name], name

    def steps(kind: Kind, rng: random.Random, index: int) -> dict[str, Callable[[], None]]:
        name, model = kind.name, shared[kind.name]
        common = os.path.join(workdir, f"shared-{name}.json")
        private = os.path.join(workdir, f"private-{index}-{name}.json")

        def predict():
            assert kind.predict(model) == answers[name], name

        def read():
            assert repr(model) == reprs[name], name
            for attr in ("theta0", "theta1", "thetas", "phi", "mu_zero", "covariance", "dimension", "positive_class"):
                if hasattr(model, attr):
                    assert getattr(model, attr) == getattr(reference[name], attr), (name, attr)

        def compare():
            assert model == reference[name] and not (model != reference[name])

        def pickled():
            again = pickle.loads(pickle.dumps(model, rng.choice([0, 2, 5])))
            assert again == reference[name] and kind.predict(again) == answers[name]

        def refit():
            kind.fit(model)
            same_file(name, model)

        def reload():
            model.load(reference_files[name])
            same_file(name, model)

        def save_shared_file():
            model.save(common)                  # the others may be saving or loading it too
            other = kind.make()
            other.load(common)
            same_file(name, other)

        def private_model():
            mine = kind.make()
            kind.fit(mine)
            assert kind.predict(mine) == answers[name]
            mine.save(private)
            again = kind.make()
            again.load(private)
            assert again == mine == reference[name]

        def linear_algebra():
            assert _cpp.matrix_with_matrix_multiplication(big, big) == product
            assert _cpp.LU_decomposition([row[:60] for row in big[:60]], 60) == lu

        def network():
            assert repr(net).startswith("Network(layer_num=2")
            assert set(net.predict(NET_X)) <= {0, 1}
            assert 0.0 <= net.accuracy(NET_X, NET_Y) <= 100.0
            assert net == net and pickle.loads(pickle.dumps(net)).predict(NET_X) is not None

        return {"predict": predict, "read": read, "compare": compare, "pickle": pickled, "refit": refit,
                "reload": reload, "save shared file": save_shared_file, "private model": private_model,
                "linear algebra": linear_algebra, "network": network}

    def worker(index: int) -> None:
        rng = random.Random(index)
        try:
            while not stop.is_set():
                kind = rng.choice(all_kinds)
                table = steps(kind, rng, index)
                step = rng.choice(list(table))
                table[step]()
                note(step)
        except BaseException:  # noqa: B036 - reported to the parent
            errors.append(traceback.format_exc())
            stop.set()

    def trainer() -> None:
        try:
            while not stop.is_set():
                net.train_loop(1, NET_Y, 4)
                note("train")
        except BaseException:  # noqa: B036
            errors.append(traceback.format_exc())
            stop.set()

    threads = [threading.Thread(target=worker, args=(i,), daemon=True) for i in range(WORKERS)]
    threads += [threading.Thread(target=trainer, daemon=True) for _ in range(TRAINERS)]
    for t in threads:
        t.start()
    # At least `seconds`; then until every kind of step has run once (a slow build may need longer
    # for the rare ones), at most a minute more.
    time.sleep(seconds)
    give_up = time.monotonic() + 60
    while (not stop.is_set() and (len(counts) < len(EVERY_STEP) or counts["train"] < TRAINERS)
           and time.monotonic() < give_up):
        time.sleep(0.1)
    stop.set()
    for t in threads:
        t.join(60)
    hung = sum(t.is_alive() for t in threads)
    # The shared models are as the reference after everything the threads did to them.
    for name, model in shared.items():
        if model.__getstate__()[0] != texts[name]:
            errors.append(f"{name}: the shared model's state changed")
    with open(os.path.join(workdir, "summary.json"), "w") as f:
        json.dump({"errors": errors, "counts": counts, "hung": hung}, f)


def run_child(tmp_path) -> dict:
    """Runs the child, which writes its summary to a file: standard output carries the network's
    progress lines."""
    env = dict(os.environ)
    env.setdefault("OPENBLAS_NUM_THREADS", "2")
    proc = subprocess.run([sys.executable, os.path.abspath(__file__), "--child", str(tmp_path)],
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env, text=True, timeout=300)
    assert proc.returncode == 0, f"the child ended with {proc.returncode}:\n{proc.stderr[-4000:]}"
    with open(os.path.join(tmp_path, "summary.json")) as f:
        return json.load(f)


def test_threads_share_models_and_a_network_without_error(tmp_path):
    summary = run_child(tmp_path)
    assert summary["errors"] == [], "\n".join(summary["errors"])
    assert summary["hung"] == 0
    # Every kind of step ran, and the network trained from both threads.
    assert set(summary["counts"]) == EVERY_STEP
    assert summary["counts"]["train"] >= TRAINERS


if __name__ == "__main__":
    if sys.argv[1:2] == ["--child"]:
        child(sys.argv[2], *map(float, sys.argv[3:4]))
    else:
        sys.exit("usage: test_threads.py --child DIR [SECONDS]")
