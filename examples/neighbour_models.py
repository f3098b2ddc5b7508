"""Nearest neighbours and Gaussian naive Bayes on examples/data/clusters.csv: fit, accuracy, and a
save-then-load round trip of each model."""

import csv
import pickle
import tempfile
from pathlib import Path

import _cpp

DATA = Path(__file__).resolve().parent / "data" / "clusters.csv"


def load_clusters():
    """Every fourth row is held out for testing."""
    with DATA.open(newline="") as f:
        rows = list(csv.DictReader(f))
    x = [[float(r["height"]), float(r["width"]), float(r["length"]), float(r["depth"])] for r in rows]
    y = [r["kind"] for r in rows]
    train = [i for i in range(len(rows)) if i % 4]
    test = [i for i in range(len(rows)) if i % 4 == 0]
    return [x[i] for i in train], [y[i] for i in train], [x[i] for i in test], [y[i] for i in test]


def main() -> None:
    x_train, y_train, x_test, y_test = load_clusters()
    print(f"{len(x_train)} training rows, {len(x_test)} test rows, kinds {sorted(set(y_train))}")

    knn = _cpp.KNN(k=5)
    knn.fit(x_train, y_train)
    manhattan = _cpp.KNN(k=5, metric="manhattan")
    manhattan.fit(x_train, y_train)
    tree = _cpp.KDTree()
    tree.fit(x_train, y_train)
    bayes = _cpp.GaussianNaiveBayes()
    bayes.fit(x_train, y_train)

    print(f"KNN, k=5, euclidean   accuracy {knn.accuracy(x_test, y_test):.2f} %")
    print(f"KNN, k=5, manhattan   accuracy {manhattan.accuracy(x_test, y_test):.2f} %")
    print(f"KDTree, k=1           accuracy {tree.accuracy(x_test, y_test):.2f} %")
    print(f"KDTree, k=3           accuracy {tree.accuracy(x_test, y_test, k=3):.2f} %")
    print(f"GaussianNaiveBayes    accuracy {bayes.accuracy(x_test, y_test):.2f} %")
    print("first test row", x_test[0], "->", knn.predict_one(x_test[0]), "/", tree.predict_one(x_test[0]),
          "/", bayes.predict_one(x_test[0]), f"(truly {y_test[0]})")

    # Each model writes one line of text and reads it back; a pickle carries the same text.
    models: list[_cpp.KNN | _cpp.KDTree | _cpp.GaussianNaiveBayes] = [knn, tree, bayes]
    with tempfile.TemporaryDirectory() as folder:
        for model in models:
            path = Path(folder) / "model.json"
            model.save(str(path))
            again = type(model)()
            again.load(str(path))
            copied = pickle.loads(pickle.dumps(model))
            print(f"{model!r:44} {path.stat().st_size:5} bytes, reloaded == model: {again == model}, "
                  f"unpickled == model: {copied == model}")

if __name__ == "__main__":
    main()
