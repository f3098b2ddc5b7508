"""Gaussian naive Bayes, fit then predict on 100,000 rows of 20 features in 5 classes, against
scikit-learn's GaussianNB; arrays in, labels out."""

import numpy as np

import _cpp
from harness import Case, scenario

ORDER = 50
SCENARIOS: list = []


@scenario(SCENARIOS, "GaussianNaiveBayes fit + predict, 100,000 x 20, 5 classes", peer="sklearn",
          needs=("GaussianNaiveBayes",))
def gaussian() -> Case:
    from sklearn.naive_bayes import GaussianNB

    rng = np.random.default_rng(7)
    centres = rng.normal(0.0, 2.0, size=(5, 20))
    spread = rng.uniform(0.5, 2.0, size=(5, 20))
    which = rng.integers(0, 5, size=100_000)
    x = centres[which] + spread[which] * rng.normal(size=(100_000, 20))
    y = [f"class{c}" for c in which]

    def ours():
        model = _cpp.GaussianNaiveBayes()
        model.fit(x, y)
        return model.predict(x)

    def peer():
        return GaussianNB().fit(x, y).predict(x)

    return Case(ours, peer)
