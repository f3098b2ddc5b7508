"""Persistence: save then load of a KNN holding 100,000 points of 32 features (its one-line text
file, every double written with 17 significant digits and read back), against numpy.save and
numpy.load of the same array in numpy's binary format: a reference, not a target."""

import atexit
import os
import shutil
import tempfile

import numpy as np

import _cpp
from harness import Case, scenario

ORDER = 70
SCENARIOS: list = []


@scenario(SCENARIOS, "KNN save + load, 100,000 x 32 (reference: numpy.save + numpy.load)", peer="numpy",
          needs=("KNN",))
def knn_file() -> Case:
    rng = np.random.default_rng(9)
    x = rng.normal(size=(100_000, 32))
    y = [f"c{c}" for c in rng.integers(0, 10, size=100_000)]
    model = _cpp.KNN(5)
    model.fit(x, y)
    folder = tempfile.mkdtemp(prefix="tarnwick-bench-")
    atexit.register(shutil.rmtree, folder, ignore_errors=True)
    ours_path, peer_path = os.path.join(folder, "knn.json"), os.path.join(folder, "x.npy")

    def ours():
        model.save(ours_path)
        again = _cpp.KNN(5)
        again.load(ours_path)
        return again

    def peer():
        np.save(peer_path, x)
        return np.load(peer_path)

    return Case(ours, peer)
