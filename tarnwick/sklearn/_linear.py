"""The one-feature linear regression, the binary logistic regression and the two-class Gaussian
discriminant analysis, as scikit-learn estimators over _cpp.LinearRegression, _cpp.LogisticRegression
and _cpp.GDA."""

from __future__ import annotations

from typing import Any

import numpy as np
from sklearn.base import BaseEstimator, RegressorMixin

import _cpp
from tarnwick.sklearn._base import Classifier, check_int, check_real, fit_data, predict_data, predicted_classes


class LinearRegression(RegressorMixin, BaseEstimator):
    """Least-squares line y = intercept_ + coef_[0] * x fitted by batch gradient descent from zero.

    The model takes one feature: X is (n_samples, 1).

    Parameters:
        learning_rate: float > 0, the gradient step (default 0.01).
        iterations: int >= 1, full passes over the data (default 100).

    Attributes:
        coef_: (1,) array, the slope.  intercept_: float.  model_: the fitted _cpp.LinearRegression.
    """

    def __init__(self, learning_rate: float = 0.01, iterations: int = 100) -> None:
        self.learning_rate = learning_rate
        self.iterations = iterations

    def fit(self, X: Any, y: Any) -> LinearRegression:
        learning_rate = check_real(self, "learning_rate", 0.0, low_open=True)
        iterations = check_int(self, "iterations", 1)
        X, y = fit_data(self, X, y, y_numeric=True)
        self._check_one_column(X)
        model = _cpp.LinearRegression()
        model.fit(X.reshape(-1), y, learning_rate=learning_rate, iterations=iterations)
        self.model_ = model
        self.coef_ = np.array([model.theta1])
        self.intercept_ = model.theta0
        return self

    def predict(self, X: Any) -> np.ndarray:
        X = predict_data(self, X)
        return np.asarray(self.model_.predict(X.reshape(-1)))

    def _check_one_column(self, X: np.ndarray) -> None:
        if X.shape[1] != 1:
            raise ValueError(f"LinearRegression: X must have exactly one column (one feature), got {X.shape[1]}")


class LogisticRegression(Classifier):
    """Binary logistic regression fitted by batch gradient ascent from zero; classes_[1] is positive.

    Parameters:
        learning_rate: float > 0 (default 0.001).
        iterations: int >= 1 (default 1000).
        threshold: float in [0, 1]; a sample is positive when its probability is at least this.

    Attributes:
        classes_: the two labels, sorted.  coef_: (1, n_features).  intercept_: (1,).
        model_: the fitted _cpp.LogisticRegression.
    """

    _binary = True

    def __init__(self, learning_rate: float = 0.001, iterations: int = 1000, threshold: float = 0.5) -> None:
        self.learning_rate = learning_rate
        self.iterations = iterations
        self.threshold = threshold

    def fit(self, X: Any, y: Any) -> LogisticRegression:
        learning_rate = check_real(self, "learning_rate", 0.0, low_open=True)
        iterations = check_int(self, "iterations", 1)
        check_real(self, "threshold", 0.0, 1.0)
        X, y = fit_data(self, X, y)
        labels = self._encode(y)
        model = _cpp.LogisticRegression(positive_class="1")
        model.fit(X, labels, learning_rate=learning_rate, iterations=iterations)
        self.model_ = model
        thetas = np.asarray(model.thetas)
        self.coef_ = thetas[1:].reshape(1, -1)
        self.intercept_ = thetas[:1]
        return self

    def predict(self, X: Any) -> np.ndarray:
        X = predict_data(self, X)
        # The model predicts the empty string for every sample that is not positive.
        threshold = check_real(self, "threshold", 0.0, 1.0)
        return self._decode(self.model_.predict(X, threshold=threshold), {"": 0, "1": 1})

    def predict_proba(self, X: Any) -> np.ndarray:
        """(n_samples, 2): the probabilities of classes_[0] and classes_[1]."""
        X = predict_data(self, X)
        positive = np.asarray(self.model_.predict_proba(X), dtype=np.float64)
        return np.column_stack((1.0 - positive, positive))


class GDAClassifier(Classifier):
    """Two-class Gaussian discriminant analysis: one mean per class, one shared covariance.

    classes_[1] is the positive class, which also wins an exact tie of the two scores.

    Attributes:
        classes_: the two labels, sorted.  priors_: (2,).  means_: (2, n_features), in classes_ order.
        covariance_: (n_features, n_features).  model_: the fitted _cpp.GDA.
    """

    _binary = True

    def fit(self, X: Any, y: Any) -> GDAClassifier:
        X, y = fit_data(self, X, y)
        labels = self._encode(y)
        model = _cpp.GDA("1")
        model.fit(X, labels)
        self.model_ = model
        self.priors_ = np.array([1.0 - model.phi, model.phi])
        self.means_ = np.array([model.mu_zero, model.mu_one])
        self.covariance_ = np.array(model.covariance)
        return self

    def predict(self, X: Any) -> np.ndarray:
        return predicted_classes(self, X)
