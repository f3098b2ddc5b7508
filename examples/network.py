"""A feed-forward network on the bundled three-arm spiral (examples/data/spiral.csv): trains with
Adam in rounds, reports progress and test accuracy, then saves, reloads and checks the copy."""

import csv
import os
import pickle
import random
import sys
import tempfile
from pathlib import Path

import _cpp

DATA = Path(__file__).resolve().parent / "data" / "spiral.csv"
CLASSES = 3


def load():
    """Sample-per-column matrices: X is 2 x n (one row per coordinate), Y is 3 x n one-hot."""
    with open(DATA) as f:
        rows = [(float(r["x"]), float(r["y"]), int(r["label"])) for r in csv.DictReader(f)]
    random.Random(7).shuffle(rows)
    cut = len(rows) * 4 // 5

    def columns(part):
        X = [[r[0] for r in part], [r[1] for r in part]]
        Y = [[1.0 if r[2] == k else 0.0 for r in part] for k in range(CLASSES)]
        return X, Y

    return columns(rows[:cut]), columns(rows[cut:])


def captured(run):
    """Runs run() with the process's standard output sent to a temporary file (train_loop writes
    there directly, one line per batch) and returns the lines it wrote."""
    sys.stdout.flush()
    with tempfile.TemporaryFile(mode="w+") as sink:
        saved = os.dup(1)
        os.dup2(sink.fileno(), 1)
        try:
            run()
        finally:
            os.dup2(saved, 1)
            os.close(saved)
        sink.seek(0)
        return sink.read().splitlines()


def main() -> None:
    (X, Y), (X_test, Y_test) = load()
    optimizer = _cpp.Adam(0.01)
    net = _cpp.Network(3, [64, 64, CLASSES], X, optimizer, dropout_rate=0.05)
    print(f"spiral: {len(X[0])} training and {len(X_test[0])} test points, layers 2 -> 64 -> 64 -> 3 (ReLU)")
    losses = []
    for round_ in range(1, 7):
        lines = captured(lambda: net.train_loop(50, Y, 24))  # epochs count from 0 in every call
        losses += [float(line.rsplit(" ", 1)[1]) for line in lines]
        print(f"  after {50 * round_:3d} epochs, last line: {lines[-1]:<36} "
              f"train {net.accuracy(X, Y):5.1f}%  test {net.accuracy(X_test, Y_test):5.1f}%")
    accuracy = net.accuracy(X_test, Y_test)
    print(f"test accuracy: {accuracy:.1f}%")

    with tempfile.TemporaryDirectory() as tmp:
        weights, hyper = os.path.join(tmp, "weights.json"), os.path.join(tmp, "hyperparams.json")
        net.save_weights(weights)
        net.save_hyperparams(hyper)
        copy = _cpp.Network(3, [64, 64, CLASSES], X, _cpp.Adam())
        copy.load_weights(weights)
        copy.load_hyperparams(hyper)
        same = copy.predict(X_test) == net.predict(X_test)
        print(f"saved and reloaded: dropout {copy.dropout_rate}, same predictions: {same}, "
              f"test accuracy {copy.accuracy(X_test, Y_test):.1f}%")
    clone = pickle.loads(pickle.dumps(net))  # the same two files, plus the constructor's arguments
    print(f"pickled: {clone!r}\n  equal to the original: {clone == net}")

    try:
        import matplotlib
    except ImportError:
        return
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    plt.figure(figsize=(6, 3.5))
    plt.plot(losses, linewidth=0.8)
    plt.yscale("log")
    plt.title("spiral: training loss per batch")
    plt.xlabel("batch")
    plt.ylabel("cross-entropy")
    plt.tight_layout()
    out = os.path.join(tempfile.gettempdir(), "tarnwick_spiral_loss.png")
    plt.savefig(out, dpi=100)
    print(f"loss curve: {out}")


if __name__ == "__main__":
    main()
