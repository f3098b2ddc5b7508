"""Nearest-neighbour classifiers over _cpp.KNN (brute force) and _cpp.KDTree."""

from __future__ import annotations

from typing import Any

import numpy as np

import _cpp
from tarnwick.sklearn._base import Classifier, check_choice, check_int, fit_data, predict_data, predicted_classes

METRICS = ("euclidean", "manhattan", "cosine")


class KNeighborsClassifier(Classifier):
    """Majority vote of the k nearest training samples, measured against every one of them.

    Among equally near samples the earlier training row counts; a tied vote goes to the earlier
    class of classes_.

    Parameters:
        k: int >= 1 (default 5); with fewer training samples, all of them vote.
        metric: "euclidean" (default), "manhattan" or "cosine".

    Attributes:
        classes_: the labels, sorted.  model_: the fitted _cpp.KNN.
    """

    def __init__(self, k: int = 5, metric: str = "euclidean") -> None:
        self.k = k
        self.metric = metric

    def fit(self, X: Any, y: Any) -> KNeighborsClassifier:
        k = check_int(self, "k", 1)
        metric = check_choice(self, "metric", METRICS)
        X, y = fit_data(self, X, y)
        labels = self._encode(y)
        model = _cpp.KNN(k=k, metric=metric)
        model.fit(X, labels)
        self.model_ = model
        return self

    def predict(self, X: Any) -> np.ndarray:
        return predicted_classes(self, X)


class KDTreeClassifier(Classifier):
    """Majority vote of the nearest training samples found in a k-d tree (Euclidean distance).

    The search crosses a splitting plane only while the farthest sample it holds lies strictly
    beyond it, so with k above 1 it may vote with fewer than k samples.

    Parameters:
        k: int >= 1 (default 1).

    Attributes:
        classes_: the labels, sorted.  model_: the fitted _cpp.KDTree.
    """

    def __init__(self, k: int = 1) -> None:
        self.k = k

    def fit(self, X: Any, y: Any) -> KDTreeClassifier:
        check_int(self, "k", 1)
        X, y = fit_data(self, X, y)
        labels = self._encode(y)
        model = _cpp.KDTree()
        model.fit(X, labels)
        self.model_ = model
        return self

    def predict(self, X: Any) -> np.ndarray:
        X = predict_data(self, X)
        return self._decode(self.model_.predict(X, k=check_int(self, "k", 1)))
