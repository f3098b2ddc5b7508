"""The estimators on a real Dask cluster (two worker processes on the loopback address): GridSearchCV
and cross_val_score spread their fits over the workers through joblib, fitted estimators travel to
and from them, and predictions run block by block over a chunked dask array; every result equals the
one-process result."""

import os

import numpy as np
import pytest

# Starting worker interpreters under the sanitizer's preloaded runtime takes minutes; the module's
# calls made here are the same ones the one-process tests make there.
pytestmark = pytest.mark.skipif(os.environ.get("TARNWICK_SANITIZED") == "1",
                                reason="a Dask cluster under the sanitizer build is too slow")

da = pytest.importorskip("dask.array")
distributed = pytest.importorskip("distributed")
joblib = pytest.importorskip("joblib")

from sklearn.datasets import make_classification  # noqa: E402
from sklearn.model_selection import GridSearchCV, cross_val_score  # noqa: E402

from tarnwick.sklearn import (GaussianNB, KDTreeClassifier, KNeighborsClassifier, LogisticRegression,  # noqa: E402
                              MLPClassifier, MultinomialNB)

X, y = make_classification(n_samples=240, n_features=6, n_informative=4, n_classes=3, n_clusters_per_class=1,
                           random_state=0)
LABELS = np.array(["low", "mid", "high"])[y]
NET = dict(hidden_layer_sizes=(12,), epochs=15, learning_rate=0.01, dropout_rate=0.1)


@pytest.fixture(scope="module")
def client():
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                       dashboard_address=None)
    with cluster, distributed.Client(cluster) as client:
        yield client


def on_the_cluster(client, work, backend=lambda: joblib.parallel_config(backend="dask")):
    """work() under joblib's dask backend, and the addresses of the workers that ran tasks for it."""
    with distributed.get_task_stream(client) as stream, backend():
        result = work()
    return result, {task["worker"] for task in stream.data}


@pytest.mark.parametrize("estimator, grid", [
    (KNeighborsClassifier(), {"k": [1, 5, 9], "metric": ["euclidean", "manhattan", "cosine"]}),
    (MLPClassifier(**NET, random_state=4), {"hidden_layer_sizes": [(6,), (12,)], "solver": ["adam", "sgd"]}),
], ids=["knn", "seeded-network"])
def test_grid_search_spreads_its_fits_over_the_workers(client, estimator, grid):
    local = GridSearchCV(estimator, grid, cv=3).fit(X, LABELS)
    spread, workers = on_the_cluster(client, lambda: GridSearchCV(estimator, grid, cv=3, n_jobs=-1).fit(X, LABELS))
    assert workers and workers <= set(client.scheduler_info()["workers"])
    np.testing.assert_array_equal(spread.cv_results_["mean_test_score"], local.cv_results_["mean_test_score"])
    assert spread.best_params_ == local.best_params_
    np.testing.assert_array_equal(spread.predict(X), local.predict(X))


def test_cross_val_score_on_the_cluster(client):
    for estimator in (LogisticRegression(), GaussianNB(), MLPClassifier(**NET, random_state=1)):
        binary = LABELS != "mid" if isinstance(estimator, LogisticRegression) else slice(None)
        local = cross_val_score(estimator, X[binary], LABELS[binary], cv=4)
        # joblib's older spelling of the same switch
        spread, workers = on_the_cluster(client, lambda: cross_val_score(estimator, X[binary], LABELS[binary],
                                                                         cv=4, n_jobs=-1),
                                         backend=lambda: joblib.parallel_backend("dask"))
        assert workers
        np.testing.assert_array_equal(spread, local)


def test_a_seeded_network_fitted_on_a_worker_is_the_local_one(client):
    fitted = client.submit(lambda est: est.fit(X, LABELS), MLPClassifier(**NET, random_state=8)).result()
    local = MLPClassifier(**NET, random_state=8).fit(X, LABELS)
    assert fitted.network_ == local.network_ and fitted.loss_curve_ == local.loss_curve_


@pytest.mark.parametrize("estimator", [KNeighborsClassifier(k=3), KDTreeClassifier(), GaussianNB(),
                                       MLPClassifier(**NET, random_state=0)], ids=lambda e: type(e).__name__)
def test_predictions_block_by_block(client, estimator):
    est = estimator.fit(X, LABELS)
    blocks = da.from_array(X, chunks=(50, X.shape[1]))
    predicted = blocks.map_blocks(est.predict, drop_axis=1, dtype=est.classes_.dtype, meta=np.array([], dtype="<U4"))
    assert predicted.numblocks == (5,)
    np.testing.assert_array_equal(client.compute(predicted).result(), est.predict(X))


def test_text_predictions_block_by_block(client):
    words = np.array(["alpha", "beta", "gamma", "delta"])
    texts = np.array([" ".join(words[(i + j) % 4] for j in range(i % 3 + 1)) for i in range(40)], dtype=object)
    est = MultinomialNB(vocab_size=4).fit(texts, texts.astype(str).astype("U1"))
    predicted = da.from_array(texts, chunks=10).map_blocks(est.predict, dtype=est.classes_.dtype)
    np.testing.assert_array_equal(client.compute(predicted).result(), est.predict(texts))
