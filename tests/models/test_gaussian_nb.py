"""Gaussian naive Bayes: fit and prediction bit for bit against the rules written out in Python
floats (math.exp and math.log are the same C functions), the tables a prediction adds, refits,
the save file, and a check against scikit-learn on separated classes."""

import math
import random
from pathlib import Path

import pytest

import _cpp
from models.reference import file_number


class RefGNB:
    """The model in Python floats: the same sums, groupings and floors, insert-if-missing reads."""

    def __init__(self):
        self.n, self.ratio, self.numbering, self.mean, self.variance = 0, {}, {}, {}, {}

    def fit(self, x, y):
        self.n = len(y)
        self.ratio = {c: y.count(c) for c in set(y)}
        counter = 0
        for c in y:
            if c not in self.numbering:
                self.numbering[c] = counter
                counter += 1
        for j in range(len(x[0])):
            sums, squares = {}, {}
            for row, c in zip(x, y):
                sums[c] = sums.get(c, 0.0) + row[j] / self.ratio[c]
                squares[c] = squares.get(c, 0.0) + row[j] * row[j] / self.ratio[c]
            for c in sums:
                self.mean[(c, j)] = sums[c]
                self.variance[(c, j)] = squares[c] - self.mean[(c, j)] * self.mean[(c, j)]

    def predict_one(self, x):
        best, answer = -math.inf, ""
        for c in sorted(self.numbering, key=str.encode):
            prior = self.ratio.setdefault(c, 0) / self.n
            score = math.log(prior) if prior > 0 else -math.inf
            for j, value in enumerate(x):
                mu = self.mean.setdefault((c, j), 0.0)
                s = self.variance.setdefault((c, j), 0.0)
                v = 1e-10 if s < 1e-10 else s
                coefficient = 1 / math.sqrt(v * 6.283185307179586)
                d = value - mu
                density = math.exp((-d * d) / (v + v)) * coefficient
                score += math.log(max(density, 1e-300))
            if score > best:
                best, answer = score, c
        return answer

    def text(self):
        def obj(table, key=lambda k: k, value=str):
            items = sorted(table.items(), key=lambda kv: key(kv[0]))
            return "{" + ",".join(f'"{name(k)}":{value(v)}' for k, v in items) + "}"

        def name(k):
            return f"{k[0]}|{k[1]}" if isinstance(k, tuple) else k

        by_label = lambda k: k.encode()  # noqa: E731
        by_pair = lambda k: (k[0].encode(), k[1])  # noqa: E731
        return (f'{{"n":{self.n},"class_ratio":{obj(self.ratio, by_label)},'
                f'"class_numbering":{obj(self.numbering, by_label)},"mean":{obj(self.mean, by_pair, file_number)},'
                f'"variance":{obj(self.variance, by_pair, file_number)}}}')


def saved(model, tmp_path):
    path = tmp_path / "gnb.json"
    model.save(str(path))
    return path.read_text(encoding="utf-8")


def blobs(rng, n, features, classes):
    centres = {c: [rng.uniform(-3, 3) for _ in range(features)] for c in classes}
    y = [rng.choice(classes) for _ in range(n)]
    x = [[rng.gauss(centres[c][j], 1.0) for j in range(features)] for c in y]
    return x, y


@pytest.mark.parametrize("seed", range(4))
def test_matches_reference_bit_for_bit(seed, tmp_path):
    rng = random.Random(seed)
    x, y = blobs(rng, 120, 5, ["b", "a", "B", "c|d", "é"])
    for row in x[::7]:
        row[2] = 1.5  # a feature constant in some classes: variance 0, or a rounding below it
    model, ref = _cpp.GaussianNaiveBayes(), RefGNB()
    model.fit(x, y)
    ref.fit(x, y)
    assert saved(model, tmp_path) == ref.text()
    queries = [[rng.uniform(-6, 6) for _ in range(5)] for _ in range(60)] + [[1.5] * 5, [40.0] * 5, [0.1] * 7]
    assert model.predict(queries) == [ref.predict_one(q) for q in queries]
    # The seven-component query added zero entries for features 5 and 6 of every class.
    assert saved(model, tmp_path) == ref.text()


def test_save_file_of_the_worked_example(tmp_path):
    model = _cpp.GaussianNaiveBayes()
    assert saved(model, tmp_path) == '{"n":0,"class_ratio":{},"class_numbering":{},"mean":{},"variance":{}}'
    model.load(str(tmp_path / "gnb.json"))
    assert model.predict([[1.0]]) == [""]
    model.fit([[1], [2], [3]], ["a", "b", "a"])
    text = '{"n":3,"class_ratio":{"a":2,"b":1},"class_numbering":{"a":0,"b":1},"mean":{"a|0":2,"b|0":2},"variance":{"a|0":1,"b|0":0}}'
    assert saved(model, tmp_path) == text
    again = _cpp.GaussianNaiveBayes()
    again.load(str(tmp_path / "gnb.json"))
    assert saved(again, tmp_path) == text
    # A longer query reads features that are not there: they are added as 0 and saved.
    model.predict_one([1, 5])
    assert saved(model, tmp_path) == (
        '{"n":3,"class_ratio":{"a":2,"b":1},"class_numbering":{"a":0,"b":1},'
        '"mean":{"a|0":2,"a|1":0,"b|0":2,"b|1":0},"variance":{"a|0":1,"a|1":0,"b|0":0,"b|1":0}}')


def test_predictions_add_what_they_read_and_nothing_else(tmp_path):
    """After every call the file is the reference's, which adds each entry the moment it reads it:
    adding them all once a prediction is done gives the same bytes, and a refused call adds none."""
    model, ref = _cpp.GaussianNaiveBayes(), RefGNB()
    for m in (model, ref):
        m.fit([[1.0, 2.0, 3.0], [2.0, 1.0, 0.0], [0.5, 0.5, 0.5]], ["a", "b", "a"])
        m.fit([[4.0], [5.0]], ["c", "a"])  # "b" loses its count, "c" has one feature
    calls = [("predict", []), ("predict_one", [1.0]), ("predict", [[1.0, 2.0], [0.0]]), ("predict_one", []),
             ("accuracy", [[1.0, 2.0, 3.0, 4.0], [0.0]]), ("predict", [[9.0]])]
    for name, arg in calls:
        if name == "accuracy":
            with pytest.raises(ValueError, match="every row needs a label"):
                model.accuracy(arg, ["a"])
            assert saved(model, tmp_path) == ref.text()
            got, expected = model.accuracy(arg, ["a", "c"]), [ref.predict_one(r) for r in arg]
            assert got == 100 * sum(p == y for p, y in zip(expected, ["a", "c"])) / 2
        elif name == "predict":
            assert model.predict(arg) == [ref.predict_one(r) for r in arg]
        else:
            assert model.predict_one(arg) == ref.predict_one(arg)
        assert saved(model, tmp_path) == ref.text(), (name, arg)
    assert '"class_ratio":{"a":1,"b":0,"c":1}' in ref.text() and '"c|3":0' in ref.text()


def test_ties_and_priors():
    model = _cpp.GaussianNaiveBayes()
    model.fit([[0.0], [1.0], [0.0], [1.0], [0.5]], ["b", "b", "a", "a", "a"])
    assert model.predict_one([1e6]) == "a"  # every density floored: the larger count wins
    model.fit([[0.0], [1.0], [0.0], [1.0]], ["b", "b", "a", "a"])
    assert model.predict_one([0.3]) == "a"  # identical statistics and counts: the smaller label
    assert model.predict_one([1e6]) == "a"


def test_refit_keeps_numbers_and_statistics(tmp_path):
    model = _cpp.GaussianNaiveBayes()
    model.fit([[1.0, 2.0], [3.0, 4.0]], ["a", "b"])
    model.fit([[5.0], [7.0]], ["c", "a"])
    # "c" is new and numbered from a counter that starts again at 0; "b" keeps its number and
    # statistics, and "a" keeps its second feature from the first fit.
    assert saved(model, tmp_path) == (
        '{"n":2,"class_ratio":{"a":1,"c":1},"class_numbering":{"a":0,"b":1,"c":0},'
        '"mean":{"a|0":7,"a|1":2,"b|0":3,"b|1":4,"c|0":5},"variance":{"a|0":0,"a|1":0,"b|0":0,"b|1":0,"c|0":0}}')
    # "b" has no count now: it is added as 0 at the next prediction and never wins, even at its
    # own mean, where "a" and "c" both have floored densities and equal priors.
    assert model.predict_one([3.0]) == "a"
    assert model.predict_one([5.0]) == "c"
    assert '"class_ratio":{"a":1,"b":0,"c":1}' in saved(model, tmp_path)


def loaded(tmp_path, text):
    """A model loaded from a file of the given text."""
    path = tmp_path / "gnb.json"
    path.write_text(text)
    model = _cpp.GaussianNaiveBayes()
    model.load(str(path))
    return model


def test_load_reads_keys_in_any_order_and_labels_with_bars(tmp_path):
    model = loaded(tmp_path, '{"variance":{"x|y|0":1,"z|0":1}, "mean":{"z|0":10,"x|y|0":0},'
                             '"class_numbering":{"z":1,"x|y":0},"class_ratio":{"x|y":1,"z":1},"n": 2}')
    assert model.predict([[1.0], [9.0]]) == ["x|y", "z"]
    assert saved(model, tmp_path) == ('{"n":2,"class_ratio":{"x|y":1,"z":1},"class_numbering":{"x|y":0,"z":1},'
                                      '"mean":{"x|y|0":0,"z|0":10},"variance":{"x|y|0":1,"z|0":1}}')


def test_not_a_number_variance_never_wins(tmp_path):
    model = loaded(tmp_path, '{"n":2,"class_ratio":{"a":1,"b":1},"class_numbering":{"a":0,"b":1},'
                             '"mean":{"a|0":0,"b|0":100},"variance":{"a|0":nan,"b|0":1}}')
    assert model.predict_one([0.0]) == "b"


def test_fit_limits():
    with pytest.raises(ValueError, match="^GaussianNaiveBayes.fit: x is empty"):
        _cpp.GaussianNaiveBayes().fit([], [])
    with pytest.raises(ValueError, match="^GaussianNaiveBayes.fit: row 2 has 1 components, fewer than the 2 "):
        _cpp.GaussianNaiveBayes().fit([[1, 2], [3, 4], [5]], ["a", "b", "c"])
    model = _cpp.GaussianNaiveBayes()
    model.fit([[1.0, 9.0], [2.0, 9.0, 9.0]], ["a", "b", "b"])  # longer rows: the extras are ignored
    assert model.predict_one([1.9, 0.0]) == "b"


def test_labels_past_the_last_row_count_but_have_no_statistics(tmp_path):
    x, y = [[1.0], [2.0], [4.0]], ["a", "b", "a", "c", "b"]
    model, ref = _cpp.GaussianNaiveBayes(), RefGNB()
    model.fit(x, y)
    ref.fit(x, y)
    assert saved(model, tmp_path) == ref.text()
    assert '"mean":{"a|0":2.5,"b|0":1}' in ref.text()  # b counts 2 but has one row
    assert model.predict([[1.5], [2.5], [30.0]]) == [ref.predict_one(q) for q in [[1.5], [2.5], [30.0]]]


def test_agrees_with_scikit_learn_on_separated_classes():
    naive_bayes = pytest.importorskip("sklearn.naive_bayes")
    np = pytest.importorskip("numpy")
    rng = np.random.default_rng(3)
    centres = rng.uniform(-10, 10, size=(4, 6))
    y = rng.integers(0, 4, size=400)
    x = centres[y] + rng.normal(size=(400, 6))
    labels = [f"class{v}" for v in y]
    queries = centres[rng.integers(0, 4, size=200)] + rng.normal(size=(200, 6))
    model = _cpp.GaussianNaiveBayes()
    model.fit(x.tolist(), labels)
    peer = naive_bayes.GaussianNB(var_smoothing=0.0).fit(x, labels)
    assert model.predict(queries.tolist()) == peer.predict(queries).tolist()
