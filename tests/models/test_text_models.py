"""BernoulliNaiveBayes and MultinomialNaiveBayes, and through them the tokenizer and the vocabulary:
worked examples, exact phi values, scores checked against a pure-Python reference that sums the
same terms in the same order, missing and zero phi entries, the shared file format, and the peers."""

import json
import math
import random
import re
from pathlib import Path

import pytest

import _cpp

MODELS = [_cpp.BernoulliNaiveBayes, _cpp.MultinomialNaiveBayes]
COUNTS = {_cpp.BernoulliNaiveBayes: False, _cpp.MultinomialNaiveBayes: True}

TEXTS = ["spam spam eggs", "eggs ham", "spam"]
LABELS = ["s", "h", "s"]


# ---------------------------------------------------------------- reference

def tokens(text):
    return [t.decode() for t in re.findall(rb"[a-z]+", text.encode().lower())]


def ln(v):
    return -math.inf if v == 0 else math.log(v) if v >= 0 else math.nan


def read(path):
    """The model file as a dict (its number words spelled the JSON way), phi keyed by (label, j)."""
    text = re.sub(r":nan\b", ":NaN", re.sub(r":(-?)inf\b", r":\1Infinity", Path(path).read_text()))
    m = json.loads(text)
    m["phi"] = {(k.rsplit("|", 1)[0], int(k.rsplit("|", 1)[1])): v for k, v in m["phi"].items()}
    return m


def write(path, vocab_size, n, vocab, class_ratio, phi):
    entries = ",".join('"%s|%d":%r' % (c, j, float(p)) for (c, j), p in sorted(phi.items()))
    Path(path).write_text(json.dumps({"vocab_size": vocab_size, "n": n, "vocab": vocab, "class_ratio": class_ratio},
                                     separators=(",", ":"))[:-1] + ',"phi":{' + entries + "}}")
    return str(path)


def ref_scores(m, text, counts):
    """Every class's score, the terms added one at a time in column order."""
    x = [0] * m["vocab_size"]
    for t in tokens(text):
        if t in m["vocab"]:
            x[m["vocab"][t]] = x[m["vocab"][t]] + 1 if counts else 1
    scores = {}
    for c in sorted(m["class_ratio"]):
        s = ln(m["class_ratio"][c] / m["n"])
        for j in range(m["vocab_size"]):
            p = m["phi"].get((c, j), 0.0)
            s += float(x[j]) * ln(p) if counts else ln(math.pow(1 - p, 1 - x[j]) * math.pow(p, x[j]))
        scores[c] = s
    return scores


def ref_predict(m, text, counts):
    best, answer = -math.inf, ""
    for c, s in ref_scores(m, text, counts).items():
        if s > best:
            best, answer = s, c
    return answer


def fitted(cls, tmp_path, texts=TEXTS, labels=LABELS, vocab_size=3):
    model = cls(vocab_size)
    model.fit(texts, labels)
    model.save(str(tmp_path / "m.json"))
    return model, read(tmp_path / "m.json")


# ---------------------------------------------------------------- worked examples

WORKED = {
    _cpp.BernoulliNaiveBayes: ([1 / 3, 2 / 3, 2 / 3, 3 / 4, 1 / 2, 1 / 4], "ham", -3.0082, -3.8712),
    _cpp.MultinomialNaiveBayes: ([1 / 5, 2 / 5, 2 / 5, 4 / 7, 2 / 7, 1 / 7], "spam ham ham", -4.5406, -4.8569),
}


@pytest.mark.parametrize("cls", MODELS)
def test_worked_example(cls, tmp_path):
    phi, text, score_h, score_s = WORKED[cls]
    model, m = fitted(cls, tmp_path)
    assert (m["vocab_size"], m["n"], m["vocab"]) == (3, 3, {"spam": 0, "eggs": 1, "ham": 2})
    assert m["class_ratio"] == {"h": 1, "s": 2}
    assert list(m["phi"]) == [("h", 0), ("h", 1), ("h", 2), ("s", 0), ("s", 1), ("s", 2)]
    assert list(m["phi"].values()) == phi
    scores = ref_scores(m, text, COUNTS[cls])
    assert scores == pytest.approx({"h": score_h, "s": score_s}, abs=1e-4)
    assert model.predict_one(text) == "h"


@pytest.mark.parametrize("cls, texts, expected", [
    (_cpp.BernoulliNaiveBayes, ["ham", "ham ham ham", "spam spam", "spam"], ["h", "h", "s", "s"]),
    (_cpp.MultinomialNaiveBayes, ["eggs", "eggs eggs", "eggs eggs eggs"], ["s", "s", "h"]),
])
def test_repeats_count_only_for_the_multinomial_model(cls, texts, expected, tmp_path):
    model, m = fitted(cls, tmp_path)
    assert model.predict(texts) == expected == [ref_predict(m, t, COUNTS[cls]) for t in texts]


@pytest.mark.parametrize("cls", MODELS)
@pytest.mark.parametrize("labels, expected", [(["s", "h", "s"], "s"), (["b", "a", "b", "a"], "a")])
def test_prior_alone_decides_without_vocabulary_words(cls, labels, expected):
    for vocab_size, text in [(3, "nothing known here"), (0, "spam eggs")]:
        model = cls(vocab_size)
        model.fit(TEXTS + ["spam"] * (len(labels) - 3), labels)
        assert model.predict_one(text) == expected


@pytest.mark.parametrize("cls", MODELS)
def test_untrained_model_answers_empty(cls):
    assert cls().predict_one("spam") == ""
    assert cls().predict(["a", "b"]) == ["", ""]


@pytest.mark.parametrize("cls", MODELS)
def test_unused_columns_still_smooth(cls, tmp_path):
    _, m = fitted(cls, tmp_path, vocab_size=10)
    assert len(m["vocab"]) == 3 and len(m["phi"]) == 20
    # Bernoulli: count 0 over N_c + 2; multinomial: over vocab_size + words of the class.
    assert (m["phi"][("h", 9)], m["phi"][("s", 9)]) == ((1 / 3, 1 / 4) if cls is MODELS[0] else (1 / 12, 1 / 14))
    assert m["phi"][("s", 0)] == (3 / 4 if cls is MODELS[0] else 4 / 14)


# ---------------------------------------------------------------- tokenizer and vocabulary

@pytest.mark.parametrize("text, words", [
    ("Hello, World! 42 times", ["hello", "times", "world"]),
    ("don't", ["don", "t"]),
    ("naïve", ["na", "ve"]),
    ("A\tB\nC", ["a", "b", "c"]),
    ("x\vy\fz\rw\x01v\x7fu", ["u", "v", "w", "x", "y", "z"]),
    ("", []),
    ("123 !!!", []),
])
def test_tokenizer(text, words, tmp_path):
    _, m = fitted(_cpp.BernoulliNaiveBayes, tmp_path, [text], ["a"], 100)
    assert m["vocab"] == {w: i for i, w in enumerate(words)}


@pytest.mark.parametrize("corpus, vocab_size, vocab", [
    (["x x x y y z"], 2, {"x": 0, "y": 1}),
    (["x x x y y z"], 10, {"x": 0, "y": 1, "z": 2}),
    (["Spam SPAM", "spam eggs EGGS eggs"], 10, {"eggs": 0, "spam": 1}),
    # Equal counts: byte-wise ascending, and the cut keeps the smaller words.
    (["d c b a", "b c", "ab a"], 3, {"a": 0, "b": 1, "c": 2}),
    (["zz z zzz", "z zz zzz"], 10, {"z": 0, "zz": 1, "zzz": 2}),
    (["a b"], 0, {}),
    ([], 5, {}),
])
def test_vocabulary(corpus, vocab_size, vocab, tmp_path):
    _, m = fitted(_cpp.MultinomialNaiveBayes, tmp_path, corpus, ["a"] * len(corpus), vocab_size)
    assert m["vocab"] == vocab


# ---------------------------------------------------------------- exact scores

@pytest.mark.parametrize("cls", MODELS)
def test_scores_are_summed_in_column_order(cls, tmp_path):
    """Class b's phi is class a's permuted among columns the text uses equally, so the two scores
    are equal but for rounding, and only the order of the terms decides between them."""
    rng = random.Random(11)
    words = ["".join(rng.choice("abcdefgh") for _ in range(6)) for _ in range(60)]
    vocab = {w: j for j, w in enumerate(dict.fromkeys(words))}
    V = len(vocab)
    model, answers = cls(), []
    for trial in range(150):
        x = [rng.choice([0, 0, 1, 2, 3]) if COUNTS[cls] else rng.choice([0, 1]) for _ in range(V)]
        pa = [rng.uniform(1e-3, 1 - 1e-3) for _ in range(V)]
        pb = list(pa)
        for value in set(x):
            cols = [j for j in range(V) if x[j] == value]
            shuffled = rng.sample(cols, len(cols))
            for j, k in zip(cols, shuffled):
                pb[j] = pa[k]
        phi = {("a", j): pa[j] for j in range(V)} | {("b", j): pb[j] for j in range(V)}
        path = write(tmp_path / "m.json", V, 2, vocab, {"a": 1, "b": 1}, phi)
        model.load(path)
        text = " ".join(w for w, j in vocab.items() for _ in range(x[j]))
        answers.append(model.predict_one(text))
        assert answers[-1] == ref_predict(read(path), text, COUNTS[cls])
    assert answers.count("a") > 20 and answers.count("b") > 20


@pytest.mark.parametrize("cls, phi, text, expected", [
    # A missing entry counts as 0: Bernoulli adds ln(1) = 0 when absent, -inf when present.
    (_cpp.BernoulliNaiveBayes, {("a", 0): 0.5, ("b", 0): 0.1, ("b", 1): 0.1}, "x", "a"),
    (_cpp.BernoulliNaiveBayes, {("a", 0): 0.5, ("b", 0): 0.1, ("b", 1): 0.1}, "y", "b"),
    (_cpp.BernoulliNaiveBayes, {("a", 0): 0.5, ("a", 1): 0.0, ("b", 0): 0.1, ("b", 1): 0.1}, "x", "a"),
    # p = 1 gives -inf when absent; a not-a-number p, or p > 1 for an absent word, never wins.
    (_cpp.BernoulliNaiveBayes, {("a", 0): 0.5, ("a", 1): 1.0, ("b", 0): 0.1, ("b", 1): 0.1}, "x", "b"),
    (_cpp.BernoulliNaiveBayes, {("a", 0): 0.5, ("a", 1): math.nan, ("b", 0): 0.1, ("b", 1): 0.1}, "x", "b"),
    (_cpp.BernoulliNaiveBayes, {("a", 0): 0.5, ("a", 1): 1.5, ("b", 0): 1e-300, ("b", 1): 0.0}, "x", "b"),
    # Multinomial: ln(0) = -inf for a used column, 0 * -inf = nan for an unused one.
    (_cpp.MultinomialNaiveBayes, {("a", 0): 0.9, ("b", 0): 0.1, ("b", 1): 0.1}, "x", "b"),
    (_cpp.MultinomialNaiveBayes, {("a", 0): 0.9, ("b", 0): 0.1, ("b", 1): 0.1}, "y", "b"),
    (_cpp.MultinomialNaiveBayes, {("a", 0): 0.9, ("b", 0): 0.1}, "x", ""),
    (_cpp.MultinomialNaiveBayes, {("a", 0): 0.9, ("a", 1): math.inf, ("b", 0): 0.1, ("b", 1): 0.0}, "x y", "a"),
    (_cpp.MultinomialNaiveBayes, {("a", 0): 0.9, ("a", 1): math.nan, ("b", 0): 0.1, ("b", 1): 0.1}, "x", "b"),
    (_cpp.MultinomialNaiveBayes, {("a", 0): 0.9, ("a", 1): 0.0, ("b", 0): 0.1, ("b", 1): 0.0}, "x x", ""),
])
def test_missing_zero_and_non_finite_phi(cls, phi, text, expected, tmp_path):
    path = write(tmp_path / "m.json", 2, 2, {"x": 0, "y": 1}, {"a": 1, "b": 1}, phi | {("c", 5): 0.5})
    model = cls()
    model.load(path)
    assert model.predict_one(text) == expected == ref_predict(read(path), text, COUNTS[cls])


@pytest.mark.parametrize("cls", MODELS)
def test_first_prediction_adds_the_missing_entries(cls, tmp_path):
    path = write(tmp_path / "m.json", 3, 2, {"x": 0}, {"a": 1, "b": 1}, {("a", 1): 0.5, ("z", 0): 0.5})
    model = cls()
    model.load(path)
    out = str(tmp_path / "out.json")
    model.predict([])
    model.save(out)
    assert read(out)["phi"] == read(path)["phi"]
    model.predict_one("nothing")
    model.save(out)
    assert read(out)["phi"] == {("a", 0): 0, ("a", 1): 0.5, ("a", 2): 0, ("b", 0): 0, ("b", 1): 0, ("b", 2): 0,
                                ("z", 0): 0.5}


@pytest.mark.parametrize("cls", MODELS)
def test_accuracy_adds_the_missing_entries_unless_refused(cls, tmp_path):
    path = write(tmp_path / "m.json", 2, 2, {"x": 0}, {"a": 1, "b": 1}, {("a", 1): 0.5})
    model = cls()
    model.load(path)
    out = str(tmp_path / "out.json")
    with pytest.raises(ValueError, match="every text needs a label"):
        model.accuracy(["x", "y"], ["a"])
    model.save(out)
    assert Path(out).read_bytes() == Path(path).read_bytes()
    assert model.accuracy(["x"], ["b"]) == 100 * (ref_predict(read(path), "x", COUNTS[cls]) == "b")
    model.save(out)
    assert read(out)["phi"] == {("a", 0): 0, ("a", 1): 0.5, ("b", 0): 0, ("b", 1): 0}


# ---------------------------------------------------------------- fitting again, files

@pytest.mark.parametrize("cls", MODELS)
def test_refit_replaces_counts_and_keeps_other_phi(cls, tmp_path):
    model, _ = fitted(cls, tmp_path)
    model.fit(["eggs", "ham"], ["t", "h"])
    fresh = cls(3)
    fresh.fit(["eggs", "ham"], ["t", "h"])
    model.save(str(tmp_path / "m.json"))
    m = read(tmp_path / "m.json")
    assert (m["n"], m["class_ratio"]) == (2, {"h": 1, "t": 1})
    assert {k for k in m["phi"] if k[0] == "s"} == {("s", 0), ("s", 1), ("s", 2)}
    assert model.predict(["eggs", "ham", "spam"]) == fresh.predict(["eggs", "ham", "spam"]) == ["t", "h", "h"]


@pytest.mark.parametrize("writer", MODELS)
@pytest.mark.parametrize("reader", MODELS)
def test_files_round_trip_and_cross_load(writer, reader, tmp_path):
    labels = ["a{b}|c", "", "a{b}|c", "d:e"]
    model, m = fitted(writer, tmp_path, TEXTS + ["ham eggs"], labels, 7)
    loaded = reader(2)
    loaded.load(str(tmp_path / "m.json"))
    loaded.save(str(tmp_path / "again.json"))
    assert (tmp_path / "again.json").read_bytes() == (tmp_path / "m.json").read_bytes()
    assert m["class_ratio"] == {"": 1, "a{b}|c": 2, "d:e": 1}
    queries = ["spam", "eggs ham", "ham ham", "x"]
    if reader is writer:
        assert loaded.predict(queries) == model.predict(queries)
    assert loaded.predict(queries) == [ref_predict(m, q, COUNTS[reader]) for q in queries]


def test_empty_model_file(tmp_path):
    _cpp.BernoulliNaiveBayes(5).save(str(tmp_path / "m.json"))
    assert (tmp_path / "m.json").read_text() == '{"vocab_size":5,"n":0,"vocab":{},"class_ratio":{},"phi":{}}'


# ---------------------------------------------------------------- refused input

def snapshot(model, tmp_path):
    model.save(str(tmp_path / "snap.json"))
    return (tmp_path / "snap.json").read_bytes()


@pytest.mark.parametrize("cls", MODELS)
def test_refused_fit_and_accuracy(cls, tmp_path):
    model, _ = fitted(cls, tmp_path)
    before = snapshot(model, tmp_path)
    with pytest.raises(ValueError, match=r"fit: 3 texts but 2 labels"):
        model.fit(TEXTS, ["s", "h"])
    with pytest.raises(ValueError, match=r"accuracy: 3 texts but 2 labels"):
        model.accuracy(TEXTS, ["s", "h"])
    assert snapshot(model, tmp_path) == before
    assert model.accuracy(["spam", "ham"], ["s", "h", "x"]) == 2 / 3 * 100
    with pytest.raises(TypeError):
        model.fit(texts=TEXTS, labels=LABELS)


@pytest.mark.parametrize("cls", MODELS)
def test_negative_vocab_size(cls):
    model = cls(vocab_size=-1)
    with pytest.raises(ValueError, match=r"fit: vocab_size is -1; a vector cannot"):
        model.fit(TEXTS, LABELS)
    with pytest.raises(ValueError, match=r"predict_one: vocab_size is -1"):
        model.predict_one("spam")
    assert model.predict([]) == []


GOOD = '{"vocab_size":2,"n":2,"vocab":{"x":0,"y":1},"class_ratio":{"a":1,"b":1},"phi":{"a|0":0.5}}'


@pytest.mark.parametrize("text, error", [
    ('{"n":2,"vocab":{},"class_ratio":{},"phi":{}}', ValueError),
    (GOOD.replace('"n":2', '"n":two'), ValueError),
    (GOOD.replace('"vocab":{"x":0,"y":1},', ""), ValueError),
    (GOOD.replace('"y":1', '"y":2'), ValueError),
    (GOOD.replace('"x":0', '"x":-1'), ValueError),
    (GOOD.replace('"b":1', '"b":x'), ValueError),
    (GOOD.replace('0.5', 'half'), ValueError),
    (GOOD.replace('a|0', 'a0'), ValueError),
    (GOOD.replace('"b":1', '"b":99999999999'), IndexError),
    (GOOD[:-3], ValueError),
    ("", ValueError),
])
def test_malformed_files_change_nothing(text, error, tmp_path):
    for cls in MODELS:
        model, _ = fitted(cls, tmp_path)
        before = snapshot(model, tmp_path)
        (tmp_path / "bad.json").write_text(text)
        with pytest.raises(error):
            model.load(str(tmp_path / "bad.json"))
        with pytest.raises(IndexError, match="cannot open"):
            model.load(str(tmp_path / "missing.json"))
        assert snapshot(model, tmp_path) == before


# ---------------------------------------------------------------- peers

def corpus(rng, n, classes, words):
    """Texts whose word frequencies lean towards each class's own share of the word list."""
    texts, labels = [], []
    for _ in range(n):
        c = rng.randrange(classes)
        weights = [3.0 if (i + c) % classes == 0 else 1.0 for i in range(len(words))]
        texts.append(" ".join(rng.choices(words, weights, k=rng.randint(5, 40))))
        labels.append("class%d" % c)
    return texts, labels


@pytest.mark.parametrize("cls", MODELS)
def test_same_predictions_as_scikit_learn(cls, tmp_path):
    sk_text = pytest.importorskip("sklearn.feature_extraction.text")
    sk_nb = pytest.importorskip("sklearn.naive_bayes")
    rng = random.Random(5)
    words = list(dict.fromkeys("".join(rng.choice("abcdefghijklmnop") for _ in range(5)) for _ in range(400)))
    x_train, y_train = corpus(rng, 3000, 4, words)
    x_test, y_test = corpus(rng, 1000, 4, words)
    model, m = fitted(cls, tmp_path, x_train, y_train, 250)
    assert len(m["vocab"]) == 250
    vectorizer = sk_text.CountVectorizer(vocabulary=m["vocab"], token_pattern=r"[a-z]+", binary=not COUNTS[cls])
    peer = sk_nb.MultinomialNB(alpha=1.0) if COUNTS[cls] else sk_nb.BernoulliNB(alpha=1.0)
    peer.fit(vectorizer.transform(x_train), y_train)
    assert model.predict(x_test) == list(peer.predict(vectorizer.transform(x_test)))
    assert model.accuracy(x_test, y_test) > 50
