"""The estimators where scikit-learn's own would go: Pipeline, GridSearchCV over processes,
cross_val_score, clone, and pickle and joblib round trips that predict the same."""

import pickle

import joblib
import numpy as np
import pytest
from sklearn.base import clone
from sklearn.datasets import load_iris
from sklearn.model_selection import GridSearchCV, cross_val_score
from sklearn.pipeline import make_pipeline
from sklearn.preprocessing import FunctionTransformer, StandardScaler

from tarnwick.sklearn import (BernoulliNB, GaussianNB, GDAClassifier, KDTreeClassifier, KNeighborsClassifier,
                              LinearRegression, LogisticRegression, MLPClassifier, MultinomialNB)

IRIS = load_iris()
X, Y = IRIS.data, IRIS.target_names[IRIS.target]           # string labels
TWO = Y != "setosa"
TEXTS = ["cheap pills now", "meeting at noon", "cheap cheap offer", "lunch at noon", "offer pills", "noon call"] * 3
TEXT_LABELS = ["spam", "ham", "spam", "ham", "spam", "ham"] * 3


def fitted(estimator):
    """The estimator fitted on data it takes, and queries for it."""
    if isinstance(estimator, (BernoulliNB, MultinomialNB)):
        return estimator.fit(TEXTS, TEXT_LABELS), ["pills at noon", "cheap lunch", "call"]
    if isinstance(estimator, LinearRegression):
        return estimator.fit(X[:, 2:3], X[:, 3]), X[::7, 2:3]
    if isinstance(estimator, (LogisticRegression, GDAClassifier)):
        return estimator.fit(X[TWO], Y[TWO]), X[::7]
    return estimator.fit(X, Y), X[::7]


EVERY = [LinearRegression(), LogisticRegression(), GDAClassifier(), KNeighborsClassifier(k=3), KDTreeClassifier(),
         GaussianNB(), MLPClassifier(hidden_layer_sizes=(8,), epochs=10, dropout_rate=0.2, random_state=0),
         BernoulliNB(vocab_size=6), MultinomialNB(vocab_size=6)]


@pytest.mark.parametrize("estimator", EVERY, ids=lambda e: type(e).__name__)
def test_pickle_and_joblib_round_trips_predict_the_same(estimator, tmp_path):
    est, queries = fitted(clone(estimator))
    expected = est.predict(queries)
    joblib.dump(est, tmp_path / "est.joblib")
    for again in (pickle.loads(pickle.dumps(est)), joblib.load(tmp_path / "est.joblib")):
        assert type(again) is type(est) and again is not est
        np.testing.assert_array_equal(again.predict(queries), expected)
        assert again.get_params() == est.get_params()


@pytest.mark.parametrize("estimator", EVERY, ids=lambda e: type(e).__name__)
def test_clone_keeps_the_parameters_and_drops_the_fit(estimator):
    est, _ = fitted(clone(estimator))
    copy = clone(est)
    assert copy.get_params() == estimator.get_params() and not hasattr(copy, "model_")
    assert not hasattr(copy, "network_")


def test_pipeline_scales_then_classifies():
    pipe = make_pipeline(StandardScaler(), KNeighborsClassifier(k=5)).fit(X, Y)
    scaled = StandardScaler().fit(X)
    alone = KNeighborsClassifier(k=5).fit(scaled.transform(X), Y)
    np.testing.assert_array_equal(pipe.predict(X), alone.predict(scaled.transform(X)))
    assert pipe.score(X, Y) > 0.9


def test_grid_search_over_processes_equals_one_process():
    grid = {"k": [1, 5, 15], "metric": ["euclidean", "manhattan", "cosine"]}
    two = GridSearchCV(KNeighborsClassifier(), grid, cv=3, n_jobs=2).fit(X, Y)
    one = GridSearchCV(KNeighborsClassifier(), grid, cv=3, n_jobs=1).fit(X, Y)
    assert two.best_params_ == one.best_params_
    np.testing.assert_array_equal(two.cv_results_["mean_test_score"], one.cv_results_["mean_test_score"])
    assert len(two.cv_results_["params"]) == 9 and two.best_score_ > 0.9


def test_cross_val_score_of_a_seeded_network_repeats():
    net = MLPClassifier(hidden_layer_sizes=(16,), epochs=30, learning_rate=0.01, random_state=2)
    first = cross_val_score(make_pipeline(StandardScaler(), net), X, Y, cv=3)
    again = cross_val_score(make_pipeline(StandardScaler(), net), X, Y, cv=3, n_jobs=2)
    np.testing.assert_array_equal(first, again)
    assert first.mean() > 0.8


def test_text_models_in_pipeline_and_grid_search():
    lower = FunctionTransformer(lambda docs: [d.lower() for d in docs])
    pipe = make_pipeline(lower, MultinomialNB(vocab_size=6)).fit(TEXTS, TEXT_LABELS)
    assert pipe.predict(["CHEAP OFFER", "Lunch At Noon"]).tolist() == ["spam", "ham"]
    search = GridSearchCV(BernoulliNB(), {"vocab_size": [1, 3, 8]}, cv=3).fit(TEXTS, TEXT_LABELS)
    # One word cannot tell every text apart; three can, and the first of the best wins.
    np.testing.assert_array_equal(search.cv_results_["mean_test_score"], [5 / 6, 1.0, 1.0])
    assert search.best_params_ == {"vocab_size": 3}
    assert cross_val_score(MultinomialNB(vocab_size=8), TEXTS, TEXT_LABELS, cv=3).tolist() == [1.0, 1.0, 1.0]
