"""Two threads against one: the whole query set predicted by two Python threads, each taking one
half, on one shared model ("ours"), against one thread predicting all of it ("peer", the same
library). The ratio (one thread's time over two threads') is the throughput gained from the second
core; scikit-learn's own predict on two threads is measured the same way beside ours. The models are those of the neighbours, naive
Bayes and text scenarios."""

from concurrent.futures import ThreadPoolExecutor

import numpy as np

import _cpp
from harness import Case, scenario
from neighbours import _labelled
from text_models import VOCABULARY, data

ORDER = 90
SCENARIOS: list = []

_pool = None


def pool() -> ThreadPoolExecutor:
    global _pool
    if _pool is None:
        _pool = ThreadPoolExecutor(2)
    return _pool


def halves(predict, queries) -> Case:
    """ours: two threads, one half each; peer: one thread, every query."""
    middle = len(queries) // 2
    first, second = queries[:middle], queries[middle:]

    def two():
        a = pool().submit(predict, first)
        b = pool().submit(predict, second)
        return a.result(), b.result()

    return Case(two, lambda: predict(queries))


def _knn_data():
    rng = np.random.default_rng(5)
    x, y = _labelled(rng, 10_000, 32, 10)
    queries, _ = _labelled(rng, 2_000, 32, 10)
    return x, y, queries


def _kdtree_data():
    rng = np.random.default_rng(6)
    x, y = _labelled(rng, 100_000, 3, 10)
    queries, _ = _labelled(rng, 20_000, 3, 10)
    return x, y, queries


def _gaussian_data():
    rng = np.random.default_rng(7)
    centres = rng.normal(0.0, 2.0, size=(5, 20))
    which = rng.integers(0, 5, size=100_000)
    x = centres[which] + rng.normal(size=(100_000, 20))
    return x, [f"class{c}" for c in which]


def _neighbours_peer(k: int, algorithm: str, data) -> Case:
    from sklearn.neighbors import KNeighborsClassifier

    x, y, queries = data
    return halves(KNeighborsClassifier(n_neighbors=k, algorithm=algorithm).fit(x, y).predict, queries)


@scenario(SCENARIOS, "KNN predict on two threads / one, 10,000 x 32 points, 2,000 queries", peer="_cpp",
          needs=("KNN",))
def knn() -> Case:
    x, y, queries = _knn_data()
    model = _cpp.KNN(5)
    model.fit(x, y)
    return halves(model.predict, queries)


@scenario(SCENARIOS, "scikit-learn KNeighborsClassifier (brute) predict on two threads / one, same data",
          peer="sklearn")
def knn_peer() -> Case:
    return _neighbours_peer(5, "brute", _knn_data())


@scenario(SCENARIOS, "KDTree predict on two threads / one, 100,000 x 3 points, 20,000 queries", peer="_cpp",
          needs=("KDTree",))
def kdtree() -> Case:
    x, y, queries = _kdtree_data()
    model = _cpp.KDTree()
    model.fit(x, y)
    return halves(lambda q: model.predict(q, 1), queries)


@scenario(SCENARIOS, "scikit-learn KNeighborsClassifier (kd_tree) predict on two threads / one, same data",
          peer="sklearn")
def kdtree_peer() -> Case:
    return _neighbours_peer(1, "kd_tree", _kdtree_data())


@scenario(SCENARIOS, "GaussianNaiveBayes predict on two threads / one, 100,000 x 20", peer="_cpp",
          needs=("GaussianNaiveBayes",))
def gaussian() -> Case:
    x, y = _gaussian_data()
    model = _cpp.GaussianNaiveBayes()
    model.fit(x, y)
    return halves(model.predict, x)


@scenario(SCENARIOS, "scikit-learn GaussianNB predict on two threads / one, same data", peer="sklearn")
def gaussian_peer() -> Case:
    from sklearn.naive_bayes import GaussianNB

    x, y = _gaussian_data()
    return halves(GaussianNB().fit(x, y).predict, x)


@scenario(SCENARIOS, "MultinomialNaiveBayes predict on two threads / one, 20,000 texts", peer="_cpp",
          needs=("MultinomialNaiveBayes",))
def multinomial() -> Case:
    (x_train, y_train), (x_test, _) = data()
    model = _cpp.MultinomialNaiveBayes(VOCABULARY)
    model.fit(x_train, y_train)
    return halves(model.predict, x_test)


@scenario(SCENARIOS, "scikit-learn CountVectorizer + MultinomialNB predict on two threads / one, same texts",
          peer="sklearn")
def multinomial_peer() -> Case:
    from sklearn.feature_extraction.text import CountVectorizer
    from sklearn.naive_bayes import MultinomialNB
    from sklearn.pipeline import make_pipeline

    (x_train, y_train), (x_test, _) = data()
    model = make_pipeline(CountVectorizer(max_features=VOCABULARY, token_pattern=r"[a-z]+"), MultinomialNB())
    model.fit(x_train, y_train)
    return halves(model.predict, x_test)
