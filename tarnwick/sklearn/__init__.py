"""scikit-learn estimators over every model of tarnwick, one per model.

Each follows scikit-learn's conventions (parameters stored by __init__ and checked by fit, fit
returns self, learned attributes end in "_", numpy arrays out), so it serves in Pipeline,
GridSearchCV, cross_val_score, clone, pickle and joblib, and on a Dask cluster through joblib.
Classifiers take labels of any sortable kind; classes_ holds them sorted, and every tie a model
settles by label goes to the earlier class of classes_.

    numeric X (n_samples, n_features): LinearRegression (one feature), LogisticRegression and
        GDAClassifier (two classes), KNeighborsClassifier, KDTreeClassifier, GaussianNB,
        MLPClassifier
    raw texts, one per document: BernoulliNB, MultinomialNB
"""

from __future__ import annotations

from tarnwick.sklearn._bayes import BernoulliNB, GaussianNB, MultinomialNB
from tarnwick.sklearn._checks import expected_failed_checks
from tarnwick.sklearn._linear import GDAClassifier, LinearRegression, LogisticRegression
from tarnwick.sklearn._neighbours import KDTreeClassifier, KNeighborsClassifier
from tarnwick.sklearn._network import MLPClassifier

__all__ = ["BernoulliNB", "GDAClassifier", "GaussianNB", "KDTreeClassifier", "KNeighborsClassifier",
           "LinearRegression", "LogisticRegression", "MLPClassifier", "MultinomialNB", "expected_failed_checks"]
