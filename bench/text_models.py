"""Fit and predict times of the two text classifiers against scikit-learn's count vectorizer with
its multinomial and Bernoulli naive Bayes: 20,000 training and 20,000 test documents of about 50
words, vocabulary 1,000, four classes. Run: PYTHONPATH=<build dir> python3 bench/text_models.py"""

import random
import time

import _cpp

try:
    from sklearn.feature_extraction.text import CountVectorizer
    from sklearn.naive_bayes import BernoulliNB, MultinomialNB
except ImportError:  # the peer is optional
    CountVectorizer = None


def corpus(rng, n, words, classes=4):
    texts, labels = [], []
    zipf = [1.0 / (i + 1) for i in range(len(words))]
    for _ in range(n):
        c = rng.randrange(classes)
        shifted = zipf[c * 50:] + zipf[:c * 50]
        texts.append(" ".join(rng.choices(words, shifted, k=rng.randint(40, 60))))
        labels.append("class%d" % c)
    return texts, labels


def best_of(runs, fn):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        result = fn()
        times.append(time.perf_counter() - start)
    return min(times), result


def main() -> None:
    rng = random.Random(0)
    words = list(dict.fromkeys("".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(3, 9)))
                               for _ in range(5000)))
    x_train, y_train = corpus(rng, 20000, words)
    x_test, y_test = corpus(rng, 20000, words)
    for name, ours, peer, binary in [("multinomial", _cpp.MultinomialNaiveBayes, "MultinomialNB", False),
                                     ("bernoulli", _cpp.BernoulliNaiveBayes, "BernoulliNB", True)]:
        model = ours(1000)
        fit, _ = best_of(3, lambda: model.fit(x_train, y_train))
        predict, predicted = best_of(3, lambda: model.predict(x_test))
        line = f"{name:12} tarnwick fit {fit * 1e3:7.1f} ms  predict {predict * 1e3:7.1f} ms"
        if CountVectorizer is not None:
            def sk_fit():
                vectorizer = CountVectorizer(max_features=1000, token_pattern=r"[a-z]+", binary=binary)
                nb = (MultinomialNB if peer == "MultinomialNB" else BernoulliNB)(alpha=1.0)
                nb.fit(vectorizer.fit_transform(x_train), y_train)
                return vectorizer, nb
            sk_fit_time, (vectorizer, nb) = best_of(3, sk_fit)
            sk_predict_time, sk_predicted = best_of(3, lambda: nb.predict(vectorizer.transform(x_test)))
            agree = sum(a == b for a, b in zip(predicted, sk_predicted)) / len(predicted)
            line += (f"  | scikit-learn fit {sk_fit_time * 1e3:7.1f} ms  predict {sk_predict_time * 1e3:7.1f} ms"
                     f"  | same answers {agree:.2%}")
        print(line)


if __name__ == "__main__":
    main()
