"""LinearRegression, LogisticRegression and GDA: worked examples, exact arithmetic against Python
replicas, edge cases, input checks, and save-then-load round trips."""

import math
import random

import pytest

import _cpp
from models.reference import sigmoid

NAN = float("nan")

# Shared toy data: a line, a one-feature two-class set, and a GDA set with two well-separated classes.
LINE_X, LINE_Y = [1.0, 2.0, 3.0, 4.0], [3.0, 5.0, 7.0, 9.0]
STEP_X, STEP_Y = [[0.0], [1.0], [2.0], [3.0]], ["n", "n", "p", "p"]
GDA_X, GDA_Y = [[0.0], [2.0], [10.0], [12.0]], ["a", "a", "b", "b"]


def fields(model):
    """Every field of a model, by repr, so that equal states mean equal bits (and nan equals nan)."""
    names = {
        _cpp.LinearRegression: ["theta0", "theta1"],
        _cpp.LogisticRegression: ["positive_class", "thetas"],
        _cpp.GDA: ["positive_class", "negative_class", "phi", "mu_zero", "mu_one", "covariance", "dimension"],
    }[type(model)]
    return {n: repr(getattr(model, n)) for n in names}


# Python replicas of the training arithmetic, in the same order and groupings.

def ref_linear_fit(x, y, lr, iterations):
    if iterations < 1:
        return 0.0, 0.0
    step = (-lr) / len(x) if x else (math.copysign(math.inf, -lr) if lr else NAN)
    a = b = 0.0
    for _ in range(iterations):
        g0 = g1 = 0.0
        for xj, yj in zip(x, y):
            e = (b * xj + a) - yj
            g0 += e
            g1 += e * xj
        a, b = a + g0 * step, b + g1 * step
    return a, b


def ref_score(w, row):
    z = w[0]
    for j, v in enumerate(row):
        z += w[j + 1] * v
    return z


def ref_logistic_fit(X, y, positive, lr, iterations):
    d = len(X[0])
    w = [0.0] * (d + 1)
    m = float(len(X))
    for _ in range(max(iterations, 0)):
        g = [0.0] * (d + 1)
        for row, label in zip(X, y):
            e = (1.0 if label == positive else 0.0) - sigmoid(ref_score(w, row))
            g[0] = g[0] + e
            for j in range(d):
                g[j + 1] = row[j] * e + g[j + 1]
        w = [w[j] + (g[j] * lr) / m for j in range(d + 1)]
    return w


def ref_gda_fit(X, y, positive, negative):
    m, d = len(X), len(X[0])
    phi = sum(1 for label in y[:m] if label == positive) / m

    def mu(label, w):
        s = [0.0] * d
        for row, lab in zip(X, y):
            if lab == label:
                s = [row[j] + s[j] for j in range(d)]
        return [v / (w * m) for v in s]

    mu0, mu1 = mu(negative, 1.0 - phi), mu(positive, phi)
    S = [[0.0] * d for _ in range(d)]
    for row, lab in zip(X, y):
        mean = mu1 if lab == positive else mu0
        e = [row[j] - mean[j] for j in range(d)]
        S = [[(e[j] * e[k]) / m + S[j][k] for k in range(d)] for j in range(d)]
    return phi, mu0, mu1, S


def ref_gda_predict_1d(model, x):
    """predict_one for one feature: the 1x1 LU, inverse and determinant written out."""
    s = model.covariance[0][0] + 1e-6
    r = 1.0 / s
    factor = 1.0 / (math.sqrt(abs(1.0 * s)) * math.pow(6.283185307179586, 1 * 0.5))

    def log_density(mu):
        e = x - mu[0]
        q = 0.0 + e * (0.0 + (1.0 - 0.0) * r * e)
        g = math.exp(q * (-0.5)) * factor
        return math.log(max(g, 1e-300))

    s1 = math.log(model.phi) + log_density(model.mu_one)
    s0 = math.log(1.0 - model.phi) + log_density(model.mu_zero)
    return model.positive_class if s1 >= s0 else model.negative_class


def fitted(cls):
    model = {
        _cpp.LinearRegression: lambda: _cpp.LinearRegression(),
        _cpp.LogisticRegression: lambda: _cpp.LogisticRegression("p"),
        _cpp.GDA: lambda: _cpp.GDA(),
    }[cls]()
    if cls is _cpp.LinearRegression:
        model.fit([0.1, -3.7, 12.5, 1e-5], [0.3, -7.1, 25.0, 1.0], 0.01, 300)
    elif cls is _cpp.LogisticRegression:
        model.fit([[0.1, -2.0], [1.5, 3.3], [-0.7, 0.01], [2.2, -1.1]], ["p", "n", "n", "p"], 0.3, 50)
    else:
        model.fit([[-12.5, 0.1], [-10.25, 1.7], [10.0, 33.3], [14.75, 31.1], [-11.0, 0.3]],
                  ["neg", "neg", "pos", "pos", "neg"])
    return model


def queries(cls):
    if cls is _cpp.LinearRegression:
        return [-1.0, 0.0, 0.5, 1e3]
    return [[0.0, 0.0], [1.0, -1.0], [-11.0, 1.0], [12.0, 32.0], [0.3, 15.0]]


# ---------------------------------------------------------------- round trip, all three classes

@pytest.mark.parametrize("cls", [_cpp.LinearRegression, _cpp.LogisticRegression, _cpp.GDA])
def test_save_then_load_restores_fields_and_predictions(cls, tmp_path):
    model = fitted(cls)
    path = str(tmp_path / "model.json")
    model.save(path)
    again = cls()
    again.load(path)
    assert fields(again) == fields(model)
    assert again.predict(queries(cls)) == model.predict(queries(cls))
    # save does not change the model, and saving the reloaded one writes the same bytes
    again.save(path + "2")
    assert (tmp_path / "model.json2").read_bytes() == (tmp_path / "model.json").read_bytes()


@pytest.mark.parametrize("cls", [_cpp.LinearRegression, _cpp.LogisticRegression, _cpp.GDA])
def test_list_properties_are_copies(cls):
    model = fitted(cls)
    for name, value in fields(model).items():
        got = getattr(model, name)
        if isinstance(got, list):
            got.append(1.0)
            assert repr(getattr(model, name)) == value


# ---------------------------------------------------------------- LinearRegression

class TestLinearRegression:
    def test_new_model(self, tmp_path):
        model = _cpp.LinearRegression()
        assert (model.theta0, model.theta1) == (0.0, 0.0)
        assert model.predict([1.0, -2.0, 1e300]) == [0.0, 0.0, 0.0]
        model.save(str(tmp_path / "m.json"))
        assert (tmp_path / "m.json").read_text() == '{"theta0":0,"theta1":0}'

    def test_worked_fits(self):
        model = _cpp.LinearRegression()
        model.fit(LINE_X, LINE_Y)
        assert model.theta0 == pytest.approx(0.75316, abs=5e-6)
        assert model.theta1 == pytest.approx(2.08357, abs=5e-6)
        model.fit(LINE_X, LINE_Y, learning_rate=0.05, iterations=5000)
        assert model.theta0 == pytest.approx(1.0, abs=1e-13)
        assert model.theta1 == pytest.approx(2.0, abs=1e-13)

    @pytest.mark.parametrize("lr, iterations", [(0.01, 100), (0.05, 5000), (0.001, 1), (-0.01, 7)])
    def test_fit_is_bit_exact(self, lr, iterations):
        rng = random.Random(iterations)
        x = [rng.uniform(-5, 5) for _ in range(23)]
        y = [3.0 * v - 1.0 + rng.gauss(0, 0.5) for v in x]
        model = _cpp.LinearRegression()
        model.fit(x, y, lr, iterations)
        assert (model.theta0, model.theta1) == ref_linear_fit(x, y, lr, iterations)

    @pytest.mark.parametrize("iterations", [0, -1, -(2**31)])
    def test_no_iterations_gives_exact_zeros(self, iterations):
        model = _cpp.LinearRegression()
        model.theta0, model.theta1 = 4.0, -2.0
        model.fit(LINE_X, LINE_Y, 0.01, iterations)
        assert (model.theta0, model.theta1) == (0.0, 0.0)

    def test_each_fit_starts_from_zero(self):
        model = _cpp.LinearRegression()
        model.fit(LINE_X, LINE_Y)
        first = (model.theta0, model.theta1)
        model.theta0, model.theta1 = 100.0, 100.0
        model.fit(LINE_X, LINE_Y)
        assert (model.theta0, model.theta1) == first

    @pytest.mark.parametrize("lr", [0.01, 0.0])
    def test_empty_training_set_gives_nan(self, lr):
        model = _cpp.LinearRegression()
        model.fit([], [], lr, 3)
        assert math.isnan(model.theta0) and math.isnan(model.theta1)

    def test_only_the_first_targets_are_read(self):
        a, b = _cpp.LinearRegression(), _cpp.LinearRegression()
        a.fit(LINE_X, LINE_Y)
        b.fit(LINE_X, LINE_Y + [1e300])
        assert (a.theta0, a.theta1) == (b.theta0, b.theta1)

    def test_mse(self):
        model = _cpp.LinearRegression()
        model.theta0, model.theta1 = 1.0, 2.0
        assert model.predict([0.5, -1.0]) == [2.0 * 0.5 + 1.0, 2.0 * -1.0 + 1.0]
        assert model.predict([]) == []
        assert model.mse(LINE_X, LINE_Y) == 0.0
        # two squared errors over three targets
        assert model.mse([1.0, 2.0], [1.0, 2.0, 3.0]) == ((3.0 - 1.0) ** 2 + (5.0 - 2.0) ** 2) / 3
        assert math.isnan(model.mse([], []))

    @pytest.mark.parametrize("call", [
        lambda m: m.fit([1.0, 2.0, 3.0], [1.0, 2.0]),
        lambda m: m.fit([1.0], [], 0.01, 0),
        lambda m: m.mse([1.0, 2.0], [1.0]),
    ])
    def test_fewer_targets_than_inputs_is_refused(self, call):
        model = _cpp.LinearRegression()
        model.theta0, model.theta1 = 0.5, 0.25
        with pytest.raises(ValueError, match=r"LinearRegression\.(fit|mse): y(_train)? has \d entries"):
            call(model)
        assert (model.theta0, model.theta1) == (0.5, 0.25)

    def test_keyword_arguments(self):
        model = _cpp.LinearRegression()
        model.fit(x_train=LINE_X, y_train=LINE_Y, iterations=0, learning_rate=1.0)
        assert model.theta1 == 0.0
        with pytest.raises(TypeError):
            model.predict(x=[1.0])


# ---------------------------------------------------------------- LogisticRegression

class TestLogisticRegression:
    @pytest.mark.parametrize("given, labels, chosen", [
        ("", ["no", "yes", "no"], "no"),
        ("yes", ["no", "yes", "no"], "yes"),
        ("", ["b", "B", "a"], "B"),            # byte order: upper case first
        ("", ["\u00e9", "z"], "z"),            # and bytes above 0x7f last
    ])
    def test_positive_class_choice(self, given, labels, chosen):
        model = _cpp.LogisticRegression(given)
        model.fit([[0.0]] * len(labels), labels, 0.1, 1)
        assert model.positive_class == chosen
        model.fit([[0.0]], ["zzz"], 0.1, 1)   # once set, it stays
        assert model.positive_class == chosen

    def test_worked_fit(self):
        model = _cpp.LogisticRegression("p")
        model.fit(STEP_X, STEP_Y, 0.1, 10000)
        assert model.thetas[0] == pytest.approx(-10.7767, abs=5e-5)
        assert model.thetas[1] == pytest.approx(7.3455, abs=5e-5)
        assert model.predict(STEP_X) == ["", "", "p", "p"]

    @pytest.mark.parametrize("d, iterations", [(1, 10), (3, 200), (5, 37)])
    def test_fit_is_bit_exact(self, d, iterations):
        rng = random.Random(d)
        X = [[rng.gauss(0, 2) for _ in range(d)] for _ in range(31)]
        y = [rng.choice(["p", "q", "r"]) for _ in X]
        model = _cpp.LogisticRegression("q")
        model.fit(X, y, 0.05, iterations)
        w = ref_logistic_fit(X, y, "q", 0.05, iterations)
        assert model.thetas == w
        assert model.predict_proba(X) == [sigmoid(ref_score(w, row)) for row in X]

    def test_no_iterations(self):
        model = _cpp.LogisticRegression("p")
        model.thetas = [9.0]
        model.fit([[1.0, 2.0, 3.0], [4.0, 5.0, 6.0]], ["p", "n"], 0.1, 0)
        assert model.thetas == [0.0, 0.0, 0.0, 0.0]
        assert model.predict_proba([[1.0, 2.0, 3.0], [-7.0, 0.0, 1e9]]) == [0.5, 0.5]
        assert model.predict([[1.0, 2.0, 3.0], [-7.0, 0.0, 1e9]]) == ["p", "p"]

    def test_thresholds_and_extremes(self):
        model = _cpp.LogisticRegression("p")
        model.thetas = [0.0, 1.0]
        rows = [[-1000.0], [-1.0], [0.0], [1.0], [1000.0], [NAN]]
        p = model.predict_proba(rows)
        assert p[0] == 0.0 and p[4] == 1.0 and p[2] == 0.5 and math.isnan(p[5])
        assert model.predict(rows) == ["", "", "p", "p", "p", ""]
        assert model.predict(rows, threshold=1.0) == ["", "", "", "", "p", ""]
        assert model.predict(x_test=rows, threshold=-1.0) == ["p", "p", "p", "p", "p", ""]
        assert model.predict_proba([]) == [] and model.predict([]) == []

    def test_shorter_rows_read_fewer_weights(self):
        model = _cpp.LogisticRegression("p")
        model.thetas = [0.5, 2.0, 3.0]
        assert model.predict_proba([[1.0], []]) == [sigmoid(0.5 + 2.0), sigmoid(0.5)]

    def test_accuracy(self):
        model = _cpp.LogisticRegression("p")
        model.thetas = [-100.0, 1.0]
        rows = [[0.0], [0.0], [200.0]]
        assert model.predict(rows) == ["", "", "p"]
        assert model.accuracy(rows, ["a", "b", "p"]) == 100.0      # every other label is negative
        assert model.accuracy(rows, ["p", "b", "p"]) == (2 / 3) * 100
        assert model.accuracy(rows[:2], ["a", "b", "c"]) == (2 / 3) * 100
        assert model.accuracy(rows, ["p", "p", "p"], threshold=2.0) == 0.0
        assert math.isnan(model.accuracy([], []))

    @pytest.mark.parametrize("X, y, message", [
        ([], [], r"x_train is empty"),
        ([], ["a"], r"x_train is empty"),
        ([[1.0, 2.0], [3.0]], ["a", "b"], r"x_train is ragged"),
        ([[1.0], [2.0]], ["a"], r"y_train has 1 labels, x_train has 2 rows"),
    ])
    def test_fit_refuses_data_it_cannot_read(self, X, y, message):
        model = _cpp.LogisticRegression()
        model.thetas = [1.0]
        with pytest.raises(ValueError, match=r"LogisticRegression\.fit: " + message):
            model.fit(X, y)
        assert (model.positive_class, model.thetas) == ("", [1.0])

    @pytest.mark.parametrize("thetas, rows", [([], [[]]), ([], [[1.0]]), ([0.0, 1.0], [[1.0], [1.0, 2.0]])])
    def test_predict_refuses_rows_longer_than_the_weights(self, thetas, rows):
        model = _cpp.LogisticRegression("p")
        model.thetas = thetas
        for call in (model.predict_proba, model.predict, lambda r: model.accuracy(r, ["p"] * len(r))):
            with pytest.raises(ValueError, match=rf"predict_proba: row {len(rows) - 1} has {len(rows[-1])} entries"):
                call(rows)

    def test_accuracy_refuses_fewer_labels_than_rows(self):
        model = _cpp.LogisticRegression("p")
        model.thetas = [0.0, 1.0]
        with pytest.raises(ValueError, match=r"accuracy: y_test has 1 labels, x_test has 2 rows"):
            model.accuracy([[1.0], [2.0]], ["p"])

    def test_save_format(self, tmp_path):
        path = tmp_path / "m.json"
        model = _cpp.LogisticRegression("x")
        model.save(str(path))
        assert path.read_text() == '{"positive_class":"x","thetas":[]}'
        model.thetas = [5.0]
        model.load(str(path))
        assert model.thetas == []
        model = _cpp.LogisticRegression("spam")
        model.thetas = [0.5, -1.0, 2.0]
        model.save(str(path))
        assert path.read_text() == '{"positive_class":"spam","thetas":[0.5,-1,2]}'

    def test_load_keys_in_other_order_with_spaces(self, tmp_path):
        path = tmp_path / "m.json"
        path.write_text('{"thetas":[1, 2,3],"positive_class":"q"}')
        model = _cpp.LogisticRegression()
        model.load(path=str(path))
        assert (model.positive_class, model.thetas) == ("q", [1.0, 2.0, 3.0])


# ---------------------------------------------------------------- GDA

class TestGDA:
    def test_worked_example(self):
        model = _cpp.GDA()
        model.fit(GDA_X, GDA_Y)
        assert (model.positive_class, model.negative_class, model.dimension) == ("a", "b", 1)
        assert (model.phi, model.mu_one, model.mu_zero, model.covariance) == (0.5, [1.0], [11.0], [[1.0]])
        assert [model.predict_one(x) for x in ([1.0], [11.0], [6.0], [5.9])] == ["a", "b", "a", "a"]
        assert model.predict([[1.0], [11.0], [6.0], [5.9], [6.1]]) == ["a", "b", "a", "a", "b"]
        assert model.predict([]) == []

    @pytest.mark.parametrize("given, positive, negative", [("c", "c", "b"), ("", "a", "c"), ("zz", "zz", "c")])
    def test_class_choice(self, given, positive, negative):
        model = _cpp.GDA(given)
        model.fit([[1.0], [2.0], [3.0]], ["b", "c", "a"])
        assert (model.positive_class, model.negative_class) == (positive, negative)

    def test_third_label_counts_in_the_negative_prior_only(self):
        model = _cpp.GDA("a")
        model.fit([[1.0], [10.0], [20.0], [30.0]], ["a", "b", "c", "c"])
        assert model.negative_class == "c" and model.phi == 0.25
        assert model.mu_zero == [(20.0 + 30.0) / (0.75 * 4)]
        assert model.mu_one == [1.0 / (0.25 * 4)]

    def test_single_label(self):
        model = _cpp.GDA()
        model.fit([[1.0, 2.0], [3.0, 5.0]], ["x", "x"])
        assert (model.positive_class, model.negative_class, model.phi) == ("x", "", 1.0)
        assert all(math.isnan(v) for v in model.mu_zero)
        assert model.predict([[1.0, 2.0], [2.0, 3.5]]) == ["", ""]
        # the negative class of an earlier fit is kept
        model.fit(GDA_X, ["x", "y", "y", "y"])
        model.fit(GDA_X, ["x"] * 4)
        assert model.negative_class == "y" and model.predict_one([0.0]) == "y"

    @pytest.mark.parametrize("d", [1, 2, 4])
    def test_fit_is_bit_exact(self, d):
        rng = random.Random(d)
        X = [[rng.gauss(0, 3) + (5 if i % 3 else -5) for _ in range(d)] for i in range(40)]
        y = ["pos" if i % 3 else "neg" for i in range(40)]
        model = _cpp.GDA("pos")
        model.fit(X, y)
        phi, mu0, mu1, S = ref_gda_fit(X, y, "pos", "neg")
        assert (model.phi, model.mu_zero, model.mu_one, model.covariance, model.dimension) == (phi, mu0, mu1, S, d)

    def test_predictions_match_the_written_density(self):
        rng = random.Random(5)
        model = _cpp.GDA()
        model.fit([[rng.gauss(0, 1)] for _ in range(10)] + [[rng.gauss(3, 1.5)] for _ in range(7)],
                  ["left"] * 10 + ["right"] * 7)
        xs = [1.0 + i * 1e-3 for i in range(1000)] + [rng.uniform(-50, 50) for _ in range(300)]
        assert model.predict([[x] for x in xs]) == [ref_gda_predict_1d(model, x) for x in xs]

    def test_diagonal_gets_one_millionth(self):
        # x at mu_one, mu_zero at distance sqrt(20) with the identity covariance: the log-density gap
        # is 10 / (1 + 1e-6), about 10 - 1e-5. A prior gap of 10 - 0.5e-5 decides for the negative
        # class only when 1e-6 is added to the diagonal.
        model = _cpp.GDA("p")
        model.negative_class, model.dimension = "n", 2
        model.mu_one, model.mu_zero = [0.0, 0.0], [math.sqrt(20.0), 0.0]
        model.covariance = [[1.0, 0.0], [0.0, 1.0]]
        model.phi = 1.0 / (1.0 + math.exp(10.0 - 0.5e-5))
        assert model.predict_one([0.0, 0.0]) == "n"
        model.phi = 1.0 / (1.0 + math.exp(10.0 - 1.5e-5))
        assert model.predict_one([0.0, 0.0]) == "p"
        assert model.covariance == [[1.0, 0.0], [0.0, 1.0]]

    @pytest.mark.parametrize("phi, expected", [(0.5, "p"), (0.6, "p"), (0.4, "n")])
    def test_vanishing_densities_are_floored(self, phi, expected):
        # both densities underflow to 0 and are raised to 1e-300: only the prior decides
        model = _cpp.GDA("p")
        model.negative_class, model.dimension, model.phi = "n", 1, phi
        model.mu_one, model.mu_zero, model.covariance = [0.0], [1.0], [[1.0]]
        assert model.predict_one([1e6]) == expected

    def test_singular_covariance_gives_no_error(self):
        model = _cpp.GDA()
        model.fit([[1.0, 1.0], [2.0, 2.0], [5.0, 5.0], [6.0, 6.0]], ["a", "a", "b", "b"])
        assert model.predict([[1.5, 1.5], [5.5, 5.5]]) == ["a", "b"]

    def test_accuracy(self):
        model = _cpp.GDA()
        model.fit(GDA_X, GDA_Y)
        assert model.accuracy(GDA_X, GDA_Y) == 100.0
        assert model.accuracy([[1.0], [11.0]], ["a", "b", "a"]) == (2 / 3) * 100
        assert model.accuracy([[1.0], [11.0]], ["b", "b"]) == 50.0
        assert math.isnan(model.accuracy([], []))

    @pytest.mark.parametrize("X, y, message", [
        ([], [], r"X is empty"),
        ([[1.0], [2.0, 3.0]], ["a", "b"], r"X is ragged"),
        ([[1.0], [2.0]], ["a"], r"y has 1 labels, X has 2 rows"),
    ])
    def test_fit_refuses_data_it_cannot_read(self, X, y, message):
        model = _cpp.GDA()
        before = fields(model)
        with pytest.raises(ValueError, match=r"GDA\.fit: " + message):
            model.fit(X, y)
        assert fields(model) == before

    def test_queries_of_another_length_are_refused(self):
        model = _cpp.GDA()
        model.fit(GDA_X, GDA_Y)
        with pytest.raises(ValueError, match=r"GDA\.predict_one: x has 2 entries, the model's dimension is 1"):
            model.predict_one([1.0, 2.0])
        with pytest.raises(ValueError, match=r"GDA\.predict: row 1 of X has 0 entries"):
            model.predict([[1.0], []])
        with pytest.raises(ValueError, match=r"GDA\.accuracy: y has 1 labels, X has 2 rows"):
            model.accuracy([[1.0], [2.0]], ["a"])

    @pytest.mark.parametrize("name, value, message", [
        ("mu_zero", [1.0, 2.0], r"mu_zero has 2 entries"),
        ("mu_one", [], r"mu_one has 0 entries"),
        ("covariance", [[1.0, 0.0]], r"covariance is 1x2"),
        ("covariance", [], r"covariance is 0x0"),
        ("dimension", -1, r"dimension is -1"),
    ])
    def test_inconsistent_fields_are_refused(self, name, value, message):
        model = _cpp.GDA()
        model.fit(GDA_X, GDA_Y)
        setattr(model, name, value)
        with pytest.raises(ValueError, match=r"GDA\.predict(_one)?: " + message):
            model.predict_one([1.0] * max(model.dimension, 0))
        with pytest.raises(ValueError, match=r"GDA\.predict: " + message):
            model.predict([[1.0] * max(model.dimension, 0)])

    def test_save_format_and_empty_model(self, tmp_path):
        path = tmp_path / "m.json"
        model = _cpp.GDA("p")
        model.save(str(path))
        empty = ('{"positive_class":"p","negative_class":"","dimension":0,"phi":0,'
                 '"mu_zero":[],"mu_one":[],"covariance":[]}')
        assert path.read_text() == empty
        other = _cpp.GDA("q")
        other.fit(GDA_X, GDA_Y)
        other.load(str(path))
        assert fields(other) == fields(model)
        # the loaded positive class "p" is kept: neither "a" nor "b" is positive, "a" rows sit in no
        # mean yet count in 1 - phi, and every row is measured against mu_zero
        other.fit(GDA_X, GDA_Y)
        other.save(str(path))
        assert path.read_text() == ('{"positive_class":"p","negative_class":"b","dimension":1,"phi":0,'
                                    '"mu_zero":[5.5],"mu_one":[nan],"covariance":[[26.25]]}')

    def test_save_format_two_features(self, tmp_path):
        path = tmp_path / "m.json"
        model = _cpp.GDA()
        model.fit([[-12.0, 0.5], [-10.0, 1.5], [10.0, 30.0], [14.0, 32.0]], ["a", "a", "b", "b"])
        model.save(str(path))
        assert path.read_text() == ('{"positive_class":"a","negative_class":"b","dimension":2,"phi":0.5,'
                                    '"mu_zero":[12,31],"mu_one":[-11,1],"covariance":[[2.5,1.25],[1.25,0.625]]}')

    def test_load_keys_in_other_order_with_spaces(self, tmp_path):
        path = tmp_path / "m.json"
        path.write_text('{"covariance":[ [1, 0.5] , [0.5,2] ],"mu_one":[ -1 ,2],"phi": 0.25,'
                        '"mu_zero":[3, 4 ],"dimension": 2,"negative_class":"n","positive_class":"p"}')
        model = _cpp.GDA()
        model.load(str(path))
        assert fields(model) == fields(_cpp_gda("p", "n", 0.25, [3.0, 4.0], [-1.0, 2.0], [[1.0, 0.5], [0.5, 2.0]], 2))


def _cpp_gda(positive, negative, phi, mu_zero, mu_one, covariance, dimension):
    model = _cpp.GDA(positive)
    model.negative_class, model.phi, model.mu_zero = negative, phi, mu_zero
    model.mu_one, model.covariance, model.dimension = mu_one, covariance, dimension
    return model
