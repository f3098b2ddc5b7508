"""Naive Bayes classifiers: Gaussian over numeric features (_cpp.GaussianNaiveBayes), Bernoulli and
multinomial over raw texts (_cpp.BernoulliNaiveBayes, _cpp.MultinomialNaiveBayes), which tokenise
and count words themselves."""

from __future__ import annotations

from typing import Any, ClassVar

import numpy as np
from sklearn.utils import check_consistent_length
from sklearn.utils.validation import check_is_fitted, column_or_1d

import _cpp
from tarnwick.sklearn._base import Classifier, check_int, fit_data, predicted_classes, texts


class GaussianNB(Classifier):
    """Gaussian naive Bayes: per class a prior, and per feature a mean and variance (floored at
    1e-10). A tie of class scores goes to the earlier class of classes_.

    Attributes:
        classes_: the labels, sorted.  model_: the fitted _cpp.GaussianNaiveBayes.
    """

    def fit(self, X: Any, y: Any) -> GaussianNB:
        X, y = fit_data(self, X, y)
        labels = self._encode(y)
        model = _cpp.GaussianNaiveBayes()
        model.fit(X, labels)
        self.model_ = model
        return self

    def predict(self, X: Any) -> np.ndarray:
        return predicted_classes(self, X)


class _TextNB(Classifier):
    """A naive Bayes model of word features: X is a sequence of raw texts, one per document."""

    _model: ClassVar[type[_cpp.BernoulliNaiveBayes] | type[_cpp.MultinomialNaiveBayes]]

    def __init__(self, vocab_size: int = 1000) -> None:
        self.vocab_size = vocab_size

    def fit(self, X: Any, y: Any) -> Any:
        vocab_size = check_int(self, "vocab_size", 1)
        documents = texts(self, X)
        y = column_or_1d(y, warn=True)
        check_consistent_length(documents, y)
        if not documents:
            raise ValueError(f"{type(self).__name__}: X holds no texts; at least 1 is required")
        labels = self._encode(y)
        model = self._model(vocab_size)
        model.fit(documents, labels)
        self.model_ = model
        return self

    def predict(self, X: Any) -> np.ndarray:
        check_is_fitted(self)
        return self._decode(self.model_.predict(texts(self, X)))

    def __sklearn_tags__(self) -> Any:
        tags = super().__sklearn_tags__()
        tags.input_tags.two_d_array = False
        tags.input_tags.string = True
        return tags


class BernoulliNB(_TextNB):
    """Bernoulli naive Bayes over raw texts: which of the vocab_size most frequent words of the
    training texts a document holds, smoothed with add-one. Ties go to the earlier class of classes_.

    Parameters:
        vocab_size: int >= 1, the number of words kept (default 1000).

    Attributes:
        classes_: the labels, sorted.  model_: the fitted _cpp.BernoulliNaiveBayes.
    """

    _model = _cpp.BernoulliNaiveBayes


class MultinomialNB(_TextNB):
    """Multinomial naive Bayes over raw texts: how often a document uses each of the vocab_size most
    frequent words of the training texts, smoothed with add-one. Ties go to the earlier class of
    classes_.

    Parameters:
        vocab_size: int >= 1, the number of words kept (default 1000).

    Attributes:
        classes_: the labels, sorted.  model_: the fitted _cpp.MultinomialNaiveBayes.
    """

    _model = _cpp.MultinomialNaiveBayes
