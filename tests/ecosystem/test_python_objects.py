"""Every model, Network, Adam and SGD pickles (through its own file text) to an equal object, so
copy, deepcopy, joblib and multiprocessing work; every class has a repr that shows its settings
and whether it is fitted; what cannot be pickled says so with TypeError instead of aborting."""

import copy
import multiprocessing
import operator
import pickle

import pytest

import _cpp
from models.registry import BY_NAME, MODELS as REGISTRY

XOR = [[0.0, 0.0, 1.0, 1.0], [0.0, 1.0, 0.0, 1.0]]
XOR_LABELS = [[1.0, 0.0, 0.0, 1.0], [0.0, 1.0, 1.0, 0.0]]
MODELS = [entry.cls for entry in REGISTRY]


def fitted(cls):
    """A model of cls fitted on the registry's toy data, and the queries its predict takes."""
    entry = BY_NAME[cls.__name__]
    return entry.fitted(), entry.queries


def network(optimizer=None, **kwargs):
    return _cpp.Network(2, [4, 2], XOR, optimizer, **kwargs)


@pytest.mark.parametrize("cls", MODELS, ids=lambda c: c.__name__)
@pytest.mark.parametrize("state", ["new", "fitted"])
@pytest.mark.parametrize("protocol", range(pickle.HIGHEST_PROTOCOL + 1))
def test_model_pickles_to_an_equal_model(cls, state, protocol):
    model, queries = fitted(cls) if state == "fitted" else (cls(), None)
    again = pickle.loads(pickle.dumps(model, protocol))
    assert type(again) is cls and again == model and again is not model
    if queries is not None:
        assert again.predict(queries) == model.predict(queries)


@pytest.mark.parametrize("cls", MODELS, ids=lambda c: c.__name__)
def test_pickle_carries_exactly_the_saved_file(cls, tmp_path):
    model, _ = fitted(cls)
    path = tmp_path / "model.json"
    model.save(str(path))
    assert model.__getstate__() == (path.read_text(),)
    loaded = cls()
    loaded.load(str(path))
    assert loaded == model


@pytest.mark.parametrize("cls", MODELS, ids=lambda c: c.__name__)
def test_equality_follows_the_file_text(cls):
    model, _ = fitted(cls)
    assert model == copy.deepcopy(model) and copy.copy(model) == model
    assert model != cls() and model != "a model" and not (model == None)  # noqa: E711
    with pytest.raises(TypeError, match="unhashable"):
        hash(model)


def test_a_change_makes_models_unequal():
    a, _ = fitted(_cpp.LogisticRegression)
    b = copy.deepcopy(a)
    b.thetas = b.thetas[:-1] + [b.thetas[-1] + 1e-9]
    assert a != b
    knn = _cpp.KNN(k=3)
    assert knn != _cpp.KNN(k=4) and knn != _cpp.KNN(k=3, metric="cosine")
    # The two text models share a file format but are not the same model.
    assert _cpp.BernoulliNaiveBayes() != _cpp.MultinomialNaiveBayes()


def test_an_unsavable_label_refuses_pickling_as_save_does():
    model = _cpp.KNN()
    model.fit([[1.0]], ['say "hi"'])
    with pytest.raises(ValueError, match="double-quote"):
        pickle.dumps(model)


def test_a_corrupt_pickle_state_raises_not_crashes():
    knn = pickle.dumps(_cpp.KNN(k=2))
    with pytest.raises(ValueError, match="KNN.load_text"):
        pickle.loads(knn.replace(b'"k":2', b'"k":0'))
    with pytest.raises(ValueError):
        pickle.loads(pickle.dumps(_cpp.GDA()).replace(b'"phi":0', b'"phi":x'))


@pytest.mark.parametrize("cls, rate", [(_cpp.Adam, 0.001), (_cpp.SGD, 0.01)])
def test_optimizers_pickle_their_learning_rate(cls, rate):
    opt = cls()
    assert repr(opt) == f"{cls.__name__}(learning_rate={rate})"
    for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
        assert pickle.loads(pickle.dumps(cls(0.25), protocol)) == cls(0.25)
    assert copy.deepcopy(opt) == opt and opt != cls(rate * 2)
    assert _cpp.Adam(0.1) != _cpp.SGD(0.1)


@pytest.mark.parametrize("optimizer", [_cpp.Adam(0.05), _cpp.SGD(0.5), None], ids=["Adam", "SGD", "None"])
def test_network_pickles_its_files_and_arguments(optimizer, capfd):
    net = network(optimizer, dropout_rate=0.25, function_type=_cpp.TANH, weights_dir="w.json")
    if optimizer is not None:
        net.train_loop(3, XOR_LABELS, 2)
    capfd.readouterr()
    for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
        again = pickle.loads(pickle.dumps(net, protocol))
        assert again == net and repr(again) == repr(net)
        assert again.predict(XOR) == net.predict(XOR) and again.dropout_rate == 0.25
    if optimizer is not None:
        again.train_loop(1, XOR_LABELS, 4)   # the unpickled optimizer trains the copy
        assert again != net


def test_networks_that_share_an_optimizer_still_share_it_after_one_pickle():
    adam = _cpp.Adam(0.02)
    first, second, opt = pickle.loads(pickle.dumps((network(adam), network(adam), adam)))
    assert opt == adam
    opt.learning_rate = 0.5
    assert "Adam(learning_rate=0.5)" in repr(first) and "Adam(learning_rate=0.5)" in repr(second)


def test_network_equality_reads_weights_and_hyperparameters():
    net = network(_cpp.SGD())
    clone = copy.deepcopy(net)
    assert clone == net
    clone.dropout_rate = 0.5
    assert clone != net
    assert network(_cpp.SGD()) != net   # fresh random weights
    assert net != _cpp.SGD()


class Square(_cpp.ActivationFunction):
    def __init__(self, scale=1.0):
        _cpp.ActivationFunction.__init__(self)
        self.scale = scale

    def forward(self, x):
        return self.scale * x * x

    def derivative(self, x):
        return 2 * self.scale * x


def test_activations_copy_with_their_python_state():
    act = Square(3.0)
    twin = copy.deepcopy(act)
    assert type(twin) is Square and twin.scale == 3.0 and twin.forward(2.0) == 12.0
    net = network(_cpp.Adam(), activation=act)
    again = copy.deepcopy(net)
    assert again == net and again.predict(XOR) == net.predict(XOR)
    assert repr(again).endswith("activation=Square())")
    for builtin in (_cpp.ReLU(), _cpp.Sigmoid(), _cpp.Tanh()):
        assert type(pickle.loads(pickle.dumps(builtin))) is type(builtin)


@pytest.mark.parametrize("node", [lambda: _cpp.Scalar(1.5), lambda: _cpp.Matrix([[1.0, 2.0]])],
                         ids=["Scalar", "Matrix"])
@pytest.mark.parametrize("protocol", [0, 1, 2, pickle.HIGHEST_PROTOCOL])
def test_autodiff_nodes_refuse_pickling(node, protocol):
    with pytest.raises(TypeError, match="cannot pickle"):
        pickle.dumps(node(), protocol)
    with pytest.raises(TypeError, match="cannot pickle"):
        copy.deepcopy(node())


def test_the_enumeration_pickles_at_every_protocol():
    for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
        assert pickle.loads(pickle.dumps(_cpp.TANH, protocol)) == _cpp.TANH


def test_joblib_round_trip(tmp_path):
    joblib = pytest.importorskip("joblib")
    models = [fitted(cls)[0] for cls in MODELS] + [network(_cpp.Adam(0.1)), _cpp.SGD(0.3)]
    joblib.dump(models, tmp_path / "models.joblib")
    assert joblib.load(tmp_path / "models.joblib") == models


def test_multiprocessing_round_trip():
    """Models go to a fresh interpreter and come back: predictions there match those here."""
    pairs = [fitted(cls) for cls in MODELS]
    with multiprocessing.get_context("spawn").Pool(1) as pool:
        returned = pool.map(copy.copy, [model for model, _ in pairs])
        remote = [pool.apply(operator.methodcaller("predict", queries), (model,)) for model, queries in pairs]
    assert returned == [model for model, _ in pairs]
    assert remote == [model.predict(queries) for model, queries in pairs]


REPRS = [
    (lambda: _cpp.KNN(), "KNN(k=5, metric='euclidean', points=0)"),
    (lambda: fitted(_cpp.KNN)[0], "KNN(k=5, metric='euclidean', points=6)"),
    (lambda: _cpp.KDTree(), "KDTree(points=0, dimension=0)"),
    (lambda: fitted(_cpp.KDTree)[0], "KDTree(points=6, dimension=2)"),
    (lambda: _cpp.GaussianNaiveBayes(), "GaussianNaiveBayes(classes=0, samples=0)"),
    (lambda: fitted(_cpp.GaussianNaiveBayes)[0], "GaussianNaiveBayes(classes=3, samples=6)"),
    (lambda: _cpp.GDA("b"), "GDA(positive_class='b', negative_class='', dimension=0)"),
    (lambda: fitted(_cpp.GDA)[0], "GDA(positive_class='a', negative_class='b', dimension=2)"),
    (lambda: _cpp.LinearRegression(), "LinearRegression(theta0=0.0, theta1=0.0)"),
    (lambda: _cpp.LogisticRegression(), "LogisticRegression(positive_class='', features=0)"),
    (lambda: fitted(_cpp.LogisticRegression)[0], "LogisticRegression(positive_class='a', features=2)"),
    (lambda: _cpp.BernoulliNaiveBayes(), "BernoulliNaiveBayes(vocab_size=1000, words=0, classes=0, texts=0)"),
    (lambda: fitted(_cpp.MultinomialNaiveBayes)[0],
     "MultinomialNaiveBayes(vocab_size=1000, words=4, classes=2, texts=4)"),
    (lambda: network(_cpp.Adam(0.05)),
     "Network(layer_num=2, neurons_in_layers=[4, 2], inputs=2, samples=4, optimizer=Adam(learning_rate=0.05), "
     "dropout_rate=0.0, activation=ReLU())"),
    (lambda: network(None, function_type=_cpp.SIGMOID),
     "Network(layer_num=2, neurons_in_layers=[4, 2], inputs=2, samples=4, optimizer=None, "
     "dropout_rate=0.0, activation=Sigmoid())"),
    (lambda: _cpp.Scalar(2.0) * _cpp.Scalar(3.0), "Scalar(digit=6.0, gradient=0.0, operation='mul')"),
    (lambda: _cpp.Matrix([[1.0, 2.0, 3.0]]).transpose_op(), "Matrix(shape=3x1, operation='transpose')"),
    (lambda: _cpp.Tanh(), "Tanh()"),
    (lambda: Square(), "Square()"),
]


@pytest.mark.parametrize("make, expected", REPRS, ids=[r for _, r in REPRS])
def test_repr_shows_settings_and_fitted_state(make, expected):
    assert repr(make()) == expected
