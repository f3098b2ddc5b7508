"""The overhead of tarnwick.sklearn's estimators over the raw _cpp calls they make, on the KNN and
text scenarios of neighbours.py and text_models.py (the same data): ours is the estimator, arrays in
and an array of labels out, with scikit-learn's input validation and the label codes; the peer is
the _cpp model called directly. A ratio of 0.91 or more keeps the overhead within 10 %."""

import numpy as np

import _cpp
from harness import Case, scenario
from neighbours import _labelled
from text_models import VOCABULARY, data

ORDER = 70
SCENARIOS: list = []


@scenario(SCENARIOS, "KNeighborsClassifier predict over raw KNN, 10,000 x 32 points, 1,000 queries, k=5",
          peer="_cpp", needs=("KNN",))
def knn() -> Case:
    from tarnwick.sklearn import KNeighborsClassifier

    rng = np.random.default_rng(5)
    x, y = _labelled(rng, 10_000, 32, 10)
    queries, _ = _labelled(rng, 1_000, 32, 10)
    raw = _cpp.KNN(5)
    raw.fit(x, y)
    estimator = KNeighborsClassifier(k=5).fit(x, y)
    return Case(lambda: estimator.predict(queries), lambda: raw.predict(queries))


def _text_case(estimator_class: str, model_class: str) -> Case:
    from tarnwick import sklearn

    (x_train, y_train), (x_test, _) = data()

    def ours():
        return getattr(sklearn, estimator_class)(vocab_size=VOCABULARY).fit(x_train, y_train).predict(x_test)

    def raw():
        model = getattr(_cpp, model_class)(VOCABULARY)
        model.fit(x_train, y_train)
        return model.predict(x_test)

    return Case(ours, raw)


@scenario(SCENARIOS, "MultinomialNB fit + predict over raw MultinomialNaiveBayes, 20,000 + 20,000 texts",
          peer="_cpp", needs=("MultinomialNaiveBayes",))
def multinomial() -> Case:
    return _text_case("MultinomialNB", "MultinomialNaiveBayes")


@scenario(SCENARIOS, "BernoulliNB fit + predict over raw BernoulliNaiveBayes, 20,000 + 20,000 texts",
          peer="_cpp", needs=("BernoulliNaiveBayes",))
def bernoulli() -> Case:
    return _text_case("BernoulliNB", "BernoulliNaiveBayes")
