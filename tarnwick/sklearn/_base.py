"""What every estimator of tarnwick.sklearn shares: parameter checks whose messages name the value,
input validation through scikit-learn, and the label codes that carry any sortable labels into the
models, which take str labels and settle ties by their byte order."""

from __future__ import annotations

import numbers
from collections.abc import Iterable, Sequence
from typing import Any

import numpy as np
from sklearn.base import BaseEstimator, ClassifierMixin
from sklearn.utils.multiclass import check_classification_targets, type_of_target
from sklearn.utils.validation import check_is_fitted, validate_data

# ---------------------------------------------------------------------------------------------
# Hyper-parameters: stored unchanged by __init__, checked here at fit.


def check_int(estimator: BaseEstimator, name: str, low: int) -> int:
    value = getattr(estimator, name)
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Integral) or value < low:
        raise ValueError(f"{type(estimator).__name__}: {name} must be an int of at least {low}, got {value!r}")
    return int(value)


def check_real(estimator: BaseEstimator, name: str, low: float, high: float = np.inf, *,
               low_open: bool = False, high_open: bool = False) -> float:
    value = getattr(estimator, name)
    ok = isinstance(value, numbers.Real) and not isinstance(value, (bool, np.bool_))
    if ok:
        value = float(value)
        ok = (value > low if low_open else value >= low) and (value < high if high_open else value <= high)
    if not ok:
        span = f"{'(' if low_open else '['}{low:g}, {high:g}{')' if high_open else ']'}"
        raise ValueError(f"{type(estimator).__name__}: {name} must be a real number in {span}, got {value!r}")
    return float(value)


def check_choice(estimator: BaseEstimator, name: str, choices: Sequence[str]) -> str:
    value = getattr(estimator, name)
    if not isinstance(value, str) or value not in choices:
        raise ValueError(f"{type(estimator).__name__}: {name} must be one of {', '.join(map(repr, choices))}, "
                         f"got {value!r}")
    return value


# ---------------------------------------------------------------------------------------------
# Inputs: numeric X of shape (n_samples, n_features), handed to the models as C-ordered float64
# (which the module reads in bulk).


def fit_data(estimator: BaseEstimator, X: Any, y: Any, **kwargs: Any) -> tuple[np.ndarray, np.ndarray]:
    X, y = validate_data(estimator, X, y, dtype=np.float64, order="C", **kwargs)
    return X, y


def predict_data(estimator: BaseEstimator, X: Any) -> np.ndarray:
    check_is_fitted(estimator)
    X = validate_data(estimator, X, reset=False, dtype=np.float64, order="C")
    return X


def predicted_classes(estimator: Any, X: Any) -> np.ndarray:
    """The classes the fitted model_ predicts for X, for the classifiers whose model takes X as it is."""
    X = predict_data(estimator, X)  # first: it raises NotFittedError before model_ is looked up
    result: np.ndarray = estimator._decode(estimator.model_.predict(X))
    return result


# ---------------------------------------------------------------------------------------------
# Labels. The models compare labels as bytes and give every tie to the smaller one; class i of
# classes_ goes in as the decimal i padded to one width, so byte order is the order of classes_.


def label_codes(n_classes: int) -> list[str]:
    width = len(str(max(n_classes - 1, 0)))
    return [str(i).zfill(width) for i in range(n_classes)]


class Classifier(ClassifierMixin, BaseEstimator):
    """Base of the classifiers: learns classes_ and maps labels to codes and back."""

    # Two-class models: classes_[1] is the positive class; more classes are refused.
    _binary = False

    def _learn_classes(self, y: Any) -> np.ndarray:
        """Learns classes_ from y (1-D) and returns each sample's index into it."""
        check_classification_targets(y)
        if self._binary:
            kind = type_of_target(y, input_name="y", raise_unknown=True)
            if kind != "binary":
                raise ValueError(f"Only binary classification is supported. The type of the target is {kind}.")
        classes, index = np.unique(y, return_inverse=True)
        if self._binary and len(classes) < 2:
            raise ValueError(f"{type(self).__name__} needs samples of 2 classes, but the data holds only one "
                             f"class: {classes.tolist()[0]!r}")
        self.classes_ = classes
        result: np.ndarray = index.reshape(-1)
        return result

    def _encode(self, y: Any) -> list[str]:
        """Learns classes_ from y (1-D) and returns y as codes."""
        index = self._learn_classes(y)
        codes = np.asarray(label_codes(len(self.classes_)))
        return list(codes[index].tolist())

    def _decode(self, predicted: Sequence[str], codes: dict[str, int] | None = None) -> np.ndarray:
        """The classes of the model's predicted codes (codes: code -> index into classes_)."""
        if codes is None:
            codes = {code: i for i, code in enumerate(label_codes(len(self.classes_)))}
        index = np.fromiter(map(codes.__getitem__, predicted), dtype=np.intp, count=len(predicted))
        result: np.ndarray = self.classes_[index]
        return result

    def __sklearn_tags__(self) -> Any:
        tags = super().__sklearn_tags__()
        tags.classifier_tags.multi_class = not self._binary
        return tags


def texts(estimator: BaseEstimator, X: Any) -> list[str]:
    """X as a list of documents: any iterable of str (a list, an array, a pandas Series), not one str."""
    if isinstance(X, (str, bytes)):
        raise ValueError(f"{type(estimator).__name__}: X must be a sequence of texts, one per document, "
                         f"got a single {type(X).__name__}")
    if not isinstance(X, Iterable):
        raise ValueError(f"{type(estimator).__name__}: X must be a sequence of texts, got {type(X).__name__}")
    documents = list(X.tolist() if isinstance(X, np.ndarray) else X)
    # The set of types is one pass in C; only a mixed list is walked again to name the culprit.
    if not set(map(type, documents)) <= {str}:
        for i, document in enumerate(documents):
            if not isinstance(document, str):
                raise ValueError(f"{type(estimator).__name__}: X must hold str documents; X[{i}] is "
                                 f"{type(document).__name__}")
    return documents
