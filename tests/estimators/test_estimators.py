"""What tarnwick.sklearn promises beyond scikit-learn's checks: each estimator predicts what its
model predicts, labels of any sortable kind with ties to the earlier class of classes_, the
two-class conventions, parameters checked at fit, the network's reproducibility and quiet training,
the text models' own input, and the package around them."""

import importlib.metadata
import sys
import threading
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest
from sklearn.exceptions import NotFittedError

import _cpp
import tarnwick
from tarnwick.sklearn import (BernoulliNB, GaussianNB, GDAClassifier, KDTreeClassifier, KNeighborsClassifier,
                              LinearRegression, LogisticRegression, MLPClassifier, MultinomialNB)

RNG = np.random.default_rng(0)
X = np.vstack([RNG.normal(c, 0.8, size=(20, 3)) for c in (0.0, 2.0, 4.0)])
Y = np.repeat(["a", "b", "c"], 20)
Q = RNG.normal(2.0, 2.0, size=(15, 3))
X2, Y2 = X[:40], Y[:40]                                   # two classes for the two-class models
TEXTS = ["spam eggs spam", "ham toast", "eggs spam", "toast ham ham", "spam", "ham"]
TEXT_LABELS = ["s", "h", "s", "h", "s", "h"]
QUERIES = ["spam ham", "toast", "eggs eggs", "nothing known"]
TEXT_MODELS = [(BernoulliNB, _cpp.BernoulliNaiveBayes), (MultinomialNB, _cpp.MultinomialNaiveBayes)]
SMALL_MLP = dict(hidden_layer_sizes=(6,), epochs=5, batch_size=8, learning_rate=0.01)


def silent_train_loop(network, epochs, labels, batch, capfd):
    network.train_loop(epochs, labels, batch)
    capfd.readouterr()


class TestSameAsTheModel:
    """With labels whose byte order is their sorted order, the estimator predicts what the model
    predicts from the same rows."""

    @pytest.mark.parametrize("estimator, model", [
        (KNeighborsClassifier(k=3, metric="manhattan"), lambda: _cpp.KNN(3, "manhattan")),
        (KNeighborsClassifier(k=4, metric="cosine"), lambda: _cpp.KNN(4, "cosine")),
        (GaussianNB(), _cpp.GaussianNaiveBayes),
    ], ids=["knn-manhattan", "knn-cosine", "gaussian-nb"])
    def test_multiclass(self, estimator, model):
        raw = model()
        raw.fit(X.tolist(), Y.tolist())
        assert estimator.fit(X, Y).predict(Q).tolist() == raw.predict(Q.tolist())

    def test_kdtree_with_k(self):
        raw = _cpp.KDTree()
        raw.fit(X.tolist(), Y.tolist())
        assert KDTreeClassifier(k=3).fit(X, Y).predict(Q).tolist() == raw.predict(Q.tolist(), 3)

    def test_logistic_regression_positive_class_is_classes_1(self):
        est = LogisticRegression(learning_rate=0.1, iterations=200, threshold=0.3).fit(X2, Y2)
        raw = _cpp.LogisticRegression("b")
        raw.fit(X2.tolist(), Y2.tolist(), 0.1, 200)
        assert est.predict(Q).tolist() == [p or "a" for p in raw.predict(Q.tolist(), 0.3)]
        proba = est.predict_proba(Q)
        assert proba[:, 1].tolist() == raw.predict_proba(Q.tolist())
        assert proba[:, 0].tolist() == (1.0 - np.asarray(raw.predict_proba(Q.tolist()))).tolist()
        assert est.intercept_.tolist() == raw.thetas[:1] and est.coef_.tolist() == [raw.thetas[1:]]
        assert est.coef_.shape == (1, 3)

    def test_gda_positive_class_is_classes_1(self):
        est = GDAClassifier().fit(X2, Y2)
        raw = _cpp.GDA("b")
        raw.fit(X2.tolist(), Y2.tolist())
        assert est.predict(Q).tolist() == raw.predict(Q.tolist())
        assert est.means_.tolist() == [raw.mu_zero, raw.mu_one] and est.priors_.tolist() == [1 - raw.phi, raw.phi]

    def test_linear_regression(self):
        x = np.array([[1.0], [2.0], [3.0], [4.0]])
        est = LinearRegression(learning_rate=0.05, iterations=500).fit(x, [3, 5, 7, 9])
        raw = _cpp.LinearRegression()
        raw.fit([1, 2, 3, 4], [3, 5, 7, 9], learning_rate=0.05, iterations=500)
        assert est.coef_.shape == (1,) and est.coef_[0] == raw.theta1 and est.intercept_ == raw.theta0
        assert est.predict([[0.5], [10.0]]).tolist() == raw.predict([0.5, 10.0])

    @pytest.mark.parametrize("estimator, model", TEXT_MODELS, ids=["bernoulli", "multinomial"])
    def test_text_models(self, estimator, model):
        raw = model(5)
        raw.fit(TEXTS, TEXT_LABELS)
        est = estimator(vocab_size=5).fit(np.array(TEXTS), TEXT_LABELS)
        assert est.predict(QUERIES).tolist() == raw.predict(QUERIES)
        assert est.classes_.tolist() == ["h", "s"]


class TestLabels:
    """Labels reach the models as codes in the order of classes_; "10" before "2" in byte order must
    not decide a tie between 2 and 10."""

    @pytest.mark.parametrize("labels, first", [
        ([10, 2], 2), (["b", "B"], "B"), ([True, False], False), (np.array([7, -3], dtype=np.int8), -3),
        ([np.int64(-1), np.int64(-20)], -20),
    ])
    @pytest.mark.parametrize("estimator", [KNeighborsClassifier(k=2), GaussianNB(), MLPClassifier(epochs=1)],
                             ids=lambda e: type(e).__name__)
    def test_a_tie_goes_to_the_earlier_class(self, estimator, labels, first):
        # Equidistant neighbours, identical class statistics, and a network that has learnt
        # nothing (zero learning) cannot tell the two samples apart.
        x = [[0.0], [2.0]] if isinstance(estimator, KNeighborsClassifier) else [[1.0], [1.0]]
        if isinstance(estimator, MLPClassifier):
            estimator.set_params(hidden_layer_sizes=(1,), learning_rate=1e-300, random_state=0)
            x = [[0.0], [0.0]]
        est = estimator.fit(x, labels)
        assert est.classes_.tolist() == sorted(np.asarray(labels).tolist())
        assert est.predict([[1.0] if not isinstance(estimator, MLPClassifier) else [0.0]]).tolist() == [first]
        assert est.predict(x).dtype == np.asarray(labels).dtype

    @pytest.mark.parametrize("estimator", [BernoulliNB(), MultinomialNB()], ids=lambda e: type(e).__name__)
    def test_text_tie_goes_to_the_earlier_class(self, estimator):
        assert estimator.fit(["x", "x"], [10, 2]).predict(["x", "y"]).tolist() == [2, 2]

    def test_gda_exact_tie_goes_to_the_positive_class(self):
        est = GDAClassifier().fit([[0.0], [2.0], [10.0], [12.0]], [10, 10, 2, 2])
        assert est.classes_.tolist() == [2, 10]
        assert est.predict([[6.0], [5.9], [6.1]]).tolist() == [10, 10, 2]

    def test_many_classes_keep_their_order(self):
        labels = np.arange(12)[::-1]                          # codes "00" .. "11"
        est = KNeighborsClassifier(k=1).fit(np.arange(12.0).reshape(-1, 1), labels)
        assert est.predict([[3.0], [11.0]]).tolist() == [8, 0]


class TestTwoClasses:
    @pytest.mark.parametrize("estimator", [LogisticRegression(), GDAClassifier()], ids=lambda e: type(e).__name__)
    def test_three_classes_or_one_are_refused(self, estimator):
        with pytest.raises(ValueError, match="Only binary classification is supported. The type of the target "
                                             "is multiclass."):
            estimator.fit(X, Y)
        with pytest.raises(ValueError, match="needs samples of 2 classes, but the data holds only one class: 'a'"):
            estimator.fit(X[:20], Y[:20])
        assert estimator.__sklearn_tags__().classifier_tags.multi_class is False

    def test_probabilities_follow_classes(self):
        est = LogisticRegression(learning_rate=0.5, iterations=300).fit(X2, np.where(Y2 == "a", 1, 0))
        assert est.classes_.tolist() == [0, 1]
        proba = est.predict_proba(X2)
        assert np.allclose(proba.sum(axis=1), 1.0) and est.score(X2, np.where(Y2 == "a", 1, 0)) == 1.0
        assert proba[:20, 1].min() > 0.5 > proba[20:, 1].max()
        assert (est.classes_[proba.argmax(axis=1)] == est.predict(X2)).all()


class TestParameters:
    @pytest.mark.parametrize("estimator, message", [
        (KNeighborsClassifier(metric="chebyshev"), "metric must be one of 'euclidean', 'manhattan', 'cosine', "
                                                   "got 'chebyshev'"),
        (KNeighborsClassifier(k=0), "k must be an int of at least 1, got 0"),
        (KDTreeClassifier(k=2.0), "k must be an int of at least 1, got 2.0"),
        (LinearRegression(learning_rate=0), r"learning_rate must be a real number in \(0, inf\], got 0.0"),
        (LogisticRegression(threshold=1.5), r"threshold must be a real number in \[0, 1\], got 1.5"),
        (LogisticRegression(iterations=True), "iterations must be an int of at least 1, got True"),
        (MLPClassifier(activation="gelu"), "activation must be one of 'relu', 'sigmoid', 'tanh', got 'gelu'"),
        (MLPClassifier(solver="lbfgs"), "solver must be one of 'adam', 'sgd', got 'lbfgs'"),
        (MLPClassifier(hidden_layer_sizes=(4, 0)), r"hidden_layer_sizes must be ints of at least 1, got \(4, 0\)"),
        (MLPClassifier(dropout_rate=1.0), r"dropout_rate must be a real number in \[0, 1\), got 1.0"),
        (MLPClassifier(random_state=-1), "random_state must be None, an int in 0 .. 2\\*\\*64 - 1 or a numpy "
                                         "RandomState, got -1"),
        (MLPClassifier(random_state=2**64), "random_state must be None"),
    ], ids=lambda v: v if isinstance(v, str) else type(v).__name__)
    def test_refused_at_fit_with_the_value(self, estimator, message):
        with pytest.raises(ValueError, match=f"{type(estimator).__name__}: {message}"):
            estimator.fit(X[:, :1], np.arange(60) % 2)

    @pytest.mark.parametrize("estimator", [BernoulliNB(vocab_size=0), MultinomialNB(vocab_size=-2)],
                             ids=lambda e: type(e).__name__)
    def test_text_vocab_size(self, estimator):
        with pytest.raises(ValueError, match="vocab_size must be an int of at least 1"):
            estimator.fit(TEXTS, TEXT_LABELS)

    def test_linear_regression_takes_one_feature(self):
        with pytest.raises(ValueError, match="LinearRegression: X must have exactly one column .one feature., "
                                             "got 3"):
            LinearRegression().fit(X, np.arange(60.0))

    @pytest.mark.parametrize("estimator", [BernoulliNB(), MultinomialNB()], ids=lambda e: type(e).__name__)
    def test_text_input(self, estimator):
        with pytest.raises(NotFittedError):
            estimator.predict(QUERIES)
        with pytest.raises(ValueError, match="X must be a sequence of texts, one per document, got a single str"):
            estimator.fit("spam eggs", ["s"])
        with pytest.raises(ValueError, match=r"X must hold str documents; X\[1\] is int"):
            estimator.fit(["spam", 3], ["s", "h"])
        with pytest.raises(ValueError, match="inconsistent numbers of samples"):
            estimator.fit(TEXTS, TEXT_LABELS[:3])
        with pytest.raises(ValueError, match="Unknown label type"):
            estimator.fit(TEXTS, np.linspace(0, 1, 6))
        pandas = pytest.importorskip("pandas")
        fitted = estimator.fit(pandas.Series(TEXTS), pandas.Series(TEXT_LABELS))
        assert fitted.predict(pandas.Series(QUERIES)).tolist() == fitted.predict(QUERIES).tolist()


class TestMLPClassifier:
    def test_same_random_state_same_network(self):
        a = MLPClassifier(**SMALL_MLP, dropout_rate=0.2, random_state=3).fit(X, Y)
        b = MLPClassifier(**SMALL_MLP, dropout_rate=0.2, random_state=3).fit(X, Y)
        c = MLPClassifier(**SMALL_MLP, dropout_rate=0.2, random_state=4).fit(X, Y)
        assert a.network_ == b.network_ and a.loss_curve_ == b.loss_curve_
        assert a.predict(Q).tolist() == b.predict(Q).tolist()
        assert a.network_ != c.network_

    def test_trains_as_the_seeded_network(self, capfd):
        est = MLPClassifier(**SMALL_MLP, activation="tanh", solver="sgd", dropout_rate=0.1, random_state=9).fit(X, Y)
        onehot = (Y == np.array([["a"], ["b"], ["c"]])).astype(float)
        _cpp.manual_seed(9)
        raw = _cpp.Network(2, [6, 3], X.T, _cpp.SGD(0.01), 0.1, _cpp.TANH)
        silent_train_loop(raw, 5, onehot, 8, capfd)
        assert est.network_ == raw
        assert est.predict(Q).tolist() == [["a", "b", "c"][i] for i in raw.predict(Q.T)]
        _cpp.manual_seed(9)
        raw = _cpp.Network(2, [6, 3], X.T, _cpp.SGD(0.01), 0.1, _cpp.TANH)
        losses = np.array(raw.train_epochs_quiet(5, onehot, 8)).reshape(5, 7)   # 60 // 8 batches an epoch
        assert est.loss_curve_ == [sum(row) / 7 for row in losses.tolist()] and est.loss_ == est.loss_curve_[-1]

    def test_a_batch_larger_than_the_data_takes_all_samples(self, capfd):
        est = MLPClassifier(hidden_layer_sizes=[4, 5], epochs=3, batch_size=1000, random_state=1).fit(X, Y)
        onehot = (Y == np.array([["a"], ["b"], ["c"]])).astype(float)
        _cpp.manual_seed(1)
        raw = _cpp.Network(3, [4, 5, 3], X.T, _cpp.Adam(0.001))
        silent_train_loop(raw, 3, onehot, 60, capfd)
        assert est.network_ == raw and len(est.loss_curve_) == 3

    def test_fitting_prints_nothing_unless_verbose(self, capfd, monkeypatch):
        MLPClassifier(**SMALL_MLP).fit(X, Y)
        assert capfd.readouterr() == ("", "")
        monkeypatch.setitem(sys.modules, "tqdm", None)            # no tqdm: one line per epoch
        est = MLPClassifier(**SMALL_MLP, verbose=True).fit(X, Y)
        out, err = capfd.readouterr()
        assert out.splitlines() == [f"MLPClassifier: epoch {e + 1}/5, loss {loss:.6g}"
                                    for e, loss in enumerate(est.loss_curve_)] and err == ""

    def test_verbose_shows_a_tqdm_bar(self, capfd):
        pytest.importorskip("tqdm")
        MLPClassifier(**SMALL_MLP, verbose=True).fit(X, Y)
        out, err = capfd.readouterr()
        assert out == "" and "MLPClassifier" in err and "5/5" in err

    def test_seeded_fits_in_threads_equal_fits_in_turn(self):
        params = [dict(SMALL_MLP, dropout_rate=0.3, random_state=s % 3) for s in range(6)]
        in_turn = [MLPClassifier(**p).fit(X, Y).network_ for p in params]
        with ThreadPoolExecutor(3) as pool:
            threaded = list(pool.map(lambda p: MLPClassifier(**p).fit(X, Y).network_, params))
        assert threaded == in_turn

    def test_a_random_state_object_draws_the_seed(self):
        a = MLPClassifier(**SMALL_MLP, random_state=np.random.RandomState(5)).fit(X, Y)
        b = MLPClassifier(**SMALL_MLP, random_state=np.random.RandomState(5)).fit(X, Y)
        assert a.network_ == b.network_


class TestPackage:
    def test_version_comes_from_the_metadata(self):
        try:
            expected = importlib.metadata.version("tarnwick")
        except importlib.metadata.PackageNotFoundError:
            expected = "0+unknown"
        assert tarnwick.__version__ == expected

    def test_manual_seed_repeats_a_network_and_waits_for_training(self):
        tarnwick.manual_seed(21)
        first = _cpp.Network(1, [3], [[0.0]], None)
        tarnwick.manual_seed(21)
        assert _cpp.Network(1, [3], [[0.0]], None) == first
        with pytest.raises(ValueError, match="seed must lie in 0 .. 2"):
            tarnwick.manual_seed(-5)

        from tarnwick import _random
        done = threading.Event()
        with _random.training:
            worker = threading.Thread(target=lambda: (tarnwick.manual_seed(1), done.set()))
            worker.start()
            assert not done.wait(0.2)
        worker.join(5)
        assert done.is_set()

    def test_the_estimators_load_on_first_use(self):
        assert tarnwick.sklearn.MLPClassifier is MLPClassifier
        with pytest.raises(AttributeError, match="no attribute 'nope'"):
            tarnwick.nope

    def test_dataframes_give_feature_names(self):
        pandas = pytest.importorskip("pandas")
        frame = pandas.DataFrame(X, columns=["height", "width", "depth"])
        est = KNeighborsClassifier().fit(frame, Y)
        assert est.feature_names_in_.tolist() == ["height", "width", "depth"] and est.n_features_in_ == 3
        assert est.predict(frame).tolist() == KNeighborsClassifier().fit(X, Y).predict(X).tolist()
