"""Model files: save then load of a KNN holding 100,000 points of 32 features (a one-line text of 3.2
million doubles, each written with 17 significant digits and read back), of a network's weights and
of a text classifier, against a JSON library's dumps and loads of the same data as Python lists,
dicts and strings, with the text written to a file and read back from it. The peers are orjson and,
for the KNN, Python's own json."""

import atexit
import json
import os
import shutil
import tempfile

import numpy as np

import _cpp
from harness import Case, scenario

ORDER = 70
SCENARIOS: list = []

KNN_ROWS, KNN_FEATURES = 100_000, 32
NETWORK = (784, 512, 512, 10)
TEXT_VOCABULARY = 5_000

_folder = None


def folder() -> str:
    global _folder
    if _folder is None:
        _folder = tempfile.mkdtemp(prefix="tarnwick-bench-")
        atexit.register(shutil.rmtree, _folder, ignore_errors=True)
    return _folder


def _json_peer(library: str, data, path: str):
    """dumps, write the file, read it back, loads: what the peer's users do to keep the same data."""
    if library == "orjson":
        import orjson
        dumps, loads = orjson.dumps, orjson.loads
    else:
        dumps, loads = (lambda obj: json.dumps(obj).encode()), json.loads

    def peer():
        with open(path, "wb") as f:
            f.write(dumps(data))
        with open(path, "rb") as f:
            return loads(f.read())

    return peer


def _knn_case(library: str) -> Case:
    rng = np.random.default_rng(9)
    x = rng.normal(size=(KNN_ROWS, KNN_FEATURES))
    y = [f"c{c}" for c in rng.integers(0, 10, size=KNN_ROWS)]
    model = _cpp.KNN(5)
    model.fit(x, y)
    ours_path = os.path.join(folder(), "knn.json")
    data = {"k": 5, "metric": "euclidean", "x_train": x.tolist(), "y_train": y}

    def ours():
        model.save(ours_path)
        again = _cpp.KNN(5)
        again.load(ours_path)
        return again

    return Case(ours, _json_peer(library, data, os.path.join(folder(), f"knn.{library}.json")))


@scenario(SCENARIOS, "KNN file round trip, 100,000 x 32: save + load (vs orjson dumps + loads, file written "
          "and read)", peer="orjson", needs=("KNN",))
def knn_file_orjson() -> Case:
    return _knn_case("orjson")


@scenario(SCENARIOS, "KNN file round trip, 100,000 x 32: save + load (vs json dumps + loads, file written "
          "and read)", peer="json", needs=("KNN",))
def knn_file_json() -> Case:
    return _knn_case("json")


def _peer_of_our_file(path: str):
    """The data our file holds, as the peer's users would keep it: the file read once by orjson."""
    import orjson
    with open(path, "rb") as f:
        return orjson.loads(f.read())


@scenario(SCENARIOS, "Network weights file round trip, 784-512-512-10: save_weights + load_weights (vs orjson "
          "dumps + loads)", peer="orjson", needs=("Network",))
def network_file() -> Case:
    net = _cpp.Network(len(NETWORK) - 1, list(NETWORK[1:]), np.zeros((NETWORK[0], 1)), None)
    ours_path = os.path.join(folder(), "weights.json")
    net.save_weights(ours_path)

    def ours():
        net.save_weights(ours_path)
        net.load_weights(ours_path)

    return Case(ours, _json_peer("orjson", _peer_of_our_file(ours_path), os.path.join(folder(), "weights.orjson.json")))


@scenario(SCENARIOS, "MultinomialNaiveBayes file round trip, vocabulary 5,000, 4 classes: save + load (vs orjson "
          "dumps + loads)", peer="orjson", needs=("MultinomialNaiveBayes",))
def text_model_file() -> Case:
    from text_models import data

    (texts, labels), _ = data()
    model = _cpp.MultinomialNaiveBayes(TEXT_VOCABULARY)
    model.fit(texts, labels)
    ours_path = os.path.join(folder(), "multinomial_nb.json")
    model.save(ours_path)

    def ours():
        model.save(ours_path)
        again = _cpp.MultinomialNaiveBayes()
        again.load(ours_path)
        return again

    return Case(ours, _json_peer("orjson", _peer_of_our_file(ours_path), os.path.join(folder(), "nb.orjson.json")))
