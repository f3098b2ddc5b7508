"""Text classifiers: MultinomialNaiveBayes and BernoulliNaiveBayes fit on 20,000 generated
documents of about 50 words (vocabulary 1,000, four classes) and predict 20,000 others, raw texts
in and labels out, against scikit-learn's count vectorizer followed by its multinomial and
Bernoulli naive Bayes (the same 1,000 most frequent words, the same letters-only tokens)."""

import random

import _cpp
from harness import Case, scenario

ORDER = 60
SCENARIOS: list = []

DOCUMENTS, VOCABULARY, CLASSES = 20_000, 1_000, 4


def corpus(rng, n, words):
    """n documents of 40 to 60 words drawn from a Zipf law whose ranks each class shifts."""
    texts, labels = [], []
    zipf = [1.0 / (i + 1) for i in range(len(words))]
    for _ in range(n):
        c = rng.randrange(CLASSES)
        shifted = zipf[c * 50:] + zipf[:c * 50]
        texts.append(" ".join(rng.choices(words, shifted, k=rng.randint(40, 60))))
        labels.append("class%d" % c)
    return texts, labels


_data = None


def data():
    global _data
    if _data is None:
        rng = random.Random(0)
        words = list(dict.fromkeys("".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(3, 9)))
                                   for _ in range(5000)))
        _data = corpus(rng, DOCUMENTS, words), corpus(rng, DOCUMENTS, words)
    return _data


def _text_case(ours_class: str, peer_class: str, binary: bool) -> Case:
    from sklearn.feature_extraction.text import CountVectorizer
    from sklearn import naive_bayes

    (x_train, y_train), (x_test, _) = data()

    def ours():
        model = getattr(_cpp, ours_class)(VOCABULARY)
        model.fit(x_train, y_train)
        return model.predict(x_test)

    def peer():
        vectorizer = CountVectorizer(max_features=VOCABULARY, token_pattern=r"[a-z]+", binary=binary)
        model = getattr(naive_bayes, peer_class)(alpha=1.0)
        model.fit(vectorizer.fit_transform(x_train), y_train)
        return model.predict(vectorizer.transform(x_test))

    return Case(ours, peer)


@scenario(SCENARIOS, "MultinomialNaiveBayes fit + predict, 20,000 + 20,000 texts, vocabulary 1,000",
          peer="sklearn", needs=("MultinomialNaiveBayes",))
def multinomial() -> Case:
    return _text_case("MultinomialNaiveBayes", "MultinomialNB", binary=False)


@scenario(SCENARIOS, "BernoulliNaiveBayes fit + predict, 20,000 + 20,000 texts, vocabulary 1,000",
          peer="sklearn", needs=("BernoulliNaiveBayes",))
def bernoulli() -> Case:
    return _text_case("BernoulliNaiveBayes", "BernoulliNB", binary=True)
