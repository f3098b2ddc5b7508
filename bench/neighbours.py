"""Nearest-neighbour prediction: KNN (brute force) and KDTree against scikit-learn's neighbours
classifier with the same algorithm. Fitting is set-up; the timed call is the prediction of every
query, arrays in, labels out."""

import numpy as np

import _cpp
from harness import Case, scenario

ORDER = 40
SCENARIOS: list = []


def _labelled(rng, n, dim, classes):
    """n points around `classes` centres, with string labels."""
    centres = rng.normal(0.0, 3.0, size=(classes, dim))
    which = rng.integers(0, classes, size=n)
    points = centres[which] + rng.normal(0.0, 1.0, size=(n, dim))
    return points, [f"c{c}" for c in which]


@scenario(SCENARIOS, "KNN predict, 10,000 x 32 training points, 1,000 queries, k=5 (vs brute)", peer="sklearn",
          needs=("KNN",))
def knn() -> Case:
    from sklearn.neighbors import KNeighborsClassifier

    rng = np.random.default_rng(5)
    x, y = _labelled(rng, 10_000, 32, 10)
    queries, _ = _labelled(rng, 1_000, 32, 10)
    ours = _cpp.KNN(5)
    ours.fit(x, y)
    peer = KNeighborsClassifier(n_neighbors=5, algorithm="brute").fit(x, y)
    return Case(lambda: ours.predict(queries), lambda: peer.predict(queries))


@scenario(SCENARIOS, "KDTree predict, 100,000 x 3 training points, 10,000 queries, k=1 (vs kd_tree)",
          peer="sklearn", needs=("KDTree",))
def kdtree() -> Case:
    from sklearn.neighbors import KNeighborsClassifier

    rng = np.random.default_rng(6)
    x, y = _labelled(rng, 100_000, 3, 10)
    queries, _ = _labelled(rng, 10_000, 3, 10)
    ours = _cpp.KDTree()
    ours.fit(x, y)
    peer = KNeighborsClassifier(n_neighbors=1, algorithm="kd_tree").fit(x, y)
    return Case(lambda: ours.predict(queries, 1), lambda: peer.predict(queries))
