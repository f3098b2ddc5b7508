"""Writes the seed corpora of the fuzz targets, fuzz/corpus/<target>/, from files that the library
itself saves: each model new, fitted on a few rows, and given awkward values and labels. The
network files are those of the fuzz targets' network (2 inputs, layers of 3 and 2 neurons).

    PYTHONPATH=build/dev python3 fuzz/make_seeds.py
"""

from __future__ import annotations

import math
import os
import sys

import _cpp

CORPUS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")

X = [[1.0, 0.5], [-2.0, 0.1], [0.0, 3.0], [1.0, 1.0], [4.0, -1.0]]
Y = ["a", "b", "a", "b", "c"]
ODD = ["été €", "x|0", "{b}", "a, b", " "]
ODD_X = [[5e-324, -0.0], [1.7976931348623157e308, 0.1], [-1e-5, 1e17], [3.0, 2.0], [0.25, -7.5]]
TEXTS = ["Free money now!", "hello friend", "win FREE money", "lunch at noon, friend", "naïve don't"]
TEXT_LABELS = ["spam", "ham", "spam", "ham", "ham"]
NETWORK_INPUT = [[0.5, -1.0, 2.0, 0.0], [1.0, 0.0, -0.5, 3.0]]


def fitted(model, *args):
    model.fit(*args)
    return model


def assigned(model, **fields):
    for name, value in fields.items():
        setattr(model, name, value)
    return model


def network(optimizer=None, dropout_rate=0.25):
    return _cpp.Network(2, [3, 2], NETWORK_INPUT, optimizer, dropout_rate)


def seeds():
    """(target, file name, model, save method name)."""
    yield "linear_regression", "new", _cpp.LinearRegression(), "save"
    yield "linear_regression", "fitted", fitted(_cpp.LinearRegression(), [0, 1, 2, 3], [1, 3.5, 5, 7], 0.05, 40), "save"
    yield "linear_regression", "edges", assigned(_cpp.LinearRegression(), theta0=-0.0, theta1=math.inf), "save"
    yield "logistic_regression", "new", _cpp.LogisticRegression(), "save"
    yield "logistic_regression", "fitted", fitted(_cpp.LogisticRegression(), X, Y, 0.1, 30), "save"
    yield "logistic_regression", "edges", assigned(_cpp.LogisticRegression(), positive_class="été|{,}",
                                                   thetas=[math.nan, -math.inf, 5e-324, 1e-5]), "save"
    yield "gda", "new", _cpp.GDA(), "save"
    yield "gda", "fitted", fitted(_cpp.GDA(), X, ["p", "n", "p", "n", "n"]), "save"
    yield "gda", "one_feature", fitted(_cpp.GDA("x|0"), [[1.0], [2.0], [0.5]], ["x|0", "{b}", "{b}"]), "save"
    for cls, target in (("KNN", "knn"), ("KDTree", "kdtree"), ("GaussianNaiveBayes", "gaussian_nb")):
        make = (lambda: _cpp.KNN(3, "manhattan")) if cls == "KNN" else getattr(_cpp, cls)
        yield target, "new", make(), "save"
        yield target, "fitted", fitted(make(), X, Y), "save"
        yield target, "edges", fitted(make(), ODD_X, ODD), "save"
    yield "knn", "cosine", fitted(_cpp.KNN(1, "cosine"), [[1.0, 0.0, 2.0]], ["only"]), "save"
    yield "kdtree", "three_features", fitted(_cpp.KDTree(), [r + [r[0] - r[1]] for r in X], Y), "save"
    for cls, target in (("BernoulliNaiveBayes", "bernoulli_nb"), ("MultinomialNaiveBayes", "multinomial_nb")):
        yield target, "new", getattr(_cpp, cls)(6), "save"
        yield target, "fitted", fitted(getattr(_cpp, cls)(6), TEXTS, TEXT_LABELS), "save"
        yield target, "edges", fitted(getattr(_cpp, cls)(3), TEXTS, ODD), "save"
    yield "weights", "adam", network(_cpp.Adam()), "save_weights"
    yield "weights", "sgd", network(_cpp.SGD()), "save_weights"
    yield "hyperparams", "adam", network(_cpp.Adam(0.01)), "save_hyperparams"
    yield "hyperparams", "sgd", network(_cpp.SGD(0.1), 0.0), "save_hyperparams"
    yield "hyperparams", "no_optimizer", network(None, 0.1), "save_hyperparams"


# tokenize reads any bytes: texts of every kind of byte it treats differently.
TOKENIZE = {
    "plain": b"Hello, World! 42 times",
    "whitespace": b"A\tB\nC\x0bD\x0cE\rF  g",
    "utf8": "naïve café — don't 日本語 🙂".encode(),
    "bytes": bytes(range(256)),
}


# The number conversions read any bytes: texts of each form strtod knows, and their first eight
# bytes are written as a double.
NUMBERS = {
    "written": b"-0.10000000000000001,",
    "exponent": b"1.0000000000000001e-05]",
    "integer": b"99999999999999984}",
    "tie": b"1000000000000000.25",
    "spaced": b" \t+.5e+1",
    "hexadecimal": b"-0x1.8p-3",
    "words": b"-Infinity nan(7)",
    "underflow": b"2.4703282292062328e-324",
    "overflow": b"1.7976931348623159e308",
}


def main() -> int:
    written = 0
    for target, name, model, save in seeds():
        folder = os.path.join(CORPUS, target)
        os.makedirs(folder, exist_ok=True)
        getattr(model, save)(os.path.join(folder, name + ".json"))
        written += 1
    folder = os.path.join(CORPUS, "tokenize")
    os.makedirs(folder, exist_ok=True)
    for name, data in TOKENIZE.items():
        with open(os.path.join(folder, name + ".txt"), "wb") as f:
            f.write(data)
        written += 1
    folder = os.path.join(CORPUS, "numbers")
    os.makedirs(folder, exist_ok=True)
    for name, data in NUMBERS.items():
        with open(os.path.join(folder, name + ".txt"), "wb") as f:
            f.write(data)
        written += 1
    print(f"wrote {written} seeds under {CORPUS}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
