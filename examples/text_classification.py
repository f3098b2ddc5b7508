"""Text classification: both naive Bayes models on a small bundled corpus of labelled sentences
(examples/data/text_corpus.tsv), their accuracy on held-out sentences, and one file read by both."""

import tempfile
from pathlib import Path

import _cpp

CORPUS = Path(__file__).resolve().parent / "data" / "text_corpus.tsv"


def main() -> None:
    labels, texts = zip(*(line.split("\t", 1) for line in CORPUS.read_text().splitlines()))
    # Every fifth sentence is held out for testing.
    train = [i for i in range(len(texts)) if i % 5]
    test = [i for i in range(len(texts)) if not i % 5]
    x_train, y_train = [texts[i] for i in train], [labels[i] for i in train]
    x_test, y_test = [texts[i] for i in test], [labels[i] for i in test]
    print(f"{len(x_train)} training and {len(x_test)} test sentences, labels {sorted(set(labels))}")

    queries = ["Heavy rain and a cold wind tonight", "Roast the garlic in butter", "A late goal won the cup"]
    with tempfile.TemporaryDirectory() as tmp:
        for cls in (_cpp.BernoulliNaiveBayes, _cpp.MultinomialNaiveBayes):
            model = cls(vocab_size=100)
            model.fit(x_train, y_train)
            print(f"{cls.__name__:22} accuracy {model.accuracy(x_test, y_test):.1f}%  ", model.predict(queries))
            model.save(str(Path(tmp) / "model.json"))
        # The two share one file format: the multinomial model's file loads into a Bernoulli model.
        other = _cpp.BernoulliNaiveBayes()
        other.load(str(Path(tmp) / "model.json"))
        print("Bernoulli scoring of the multinomial file:", other.predict(queries))


if __name__ == "__main__":
    main()
