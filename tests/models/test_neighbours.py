"""KNN and KDTree: heap and vote tie rules against a reference, the tree's split and pruning rules,
the shared model surface of all three models of this family, and a check against scikit-learn."""

import math
import os
import random
import subprocess
import sys
from pathlib import Path

import pytest

import _cpp

METRICS = {"euclidean": _cpp.euclidean, "manhattan": _cpp.manhattan, "cosine": _cpp.cosine}

# Shared toy data: two features, three classes, no ties in distance to the queries below.
X = [[0.0, 0.0], [0.2, 0.1], [1.0, 1.1], [1.2, 0.9], [3.0, 3.2], [2.9, 3.1], [0.1, 0.3]]
Y = ["a", "a", "b", "b", "c", "c", "a"]
QUERIES = [[0.05, 0.05], [1.1, 1.0], [3.1, 3.0], [2.0, 2.0]]
QUERIES_3D = [q + [0.5] for q in QUERIES]


# --- references: the rules written out in Python, distances from the library's own functions ----

def heap_key(candidate):
    """(distance, index), a not-a-number distance ordered below every number."""
    d, i = candidate
    return (0, 0.0, i) if math.isnan(d) else (1, d, i)


def offer(held, k, d, i):
    if len(held) < k:
        held.append((d, i))
    elif max(held, key=heap_key)[0] > d:
        held.remove(max(held, key=heap_key))
        held.append((d, i))


def ref_vote(labels):
    best, best_count = "", 0
    for label in sorted(set(labels), key=lambda s: s.encode()):
        if labels.count(label) > best_count:
            best, best_count = label, labels.count(label)
    return best


def ref_knn(x, y, q, k, metric):
    dist = METRICS.get(metric, _cpp.euclidean)
    held = []
    for i, row in enumerate(x):
        offer(held, k, dist(row, q), i)
    return ref_vote([y[i] for _, i in held])


def ref_kdtree(x, y, q, k):
    dim = len(x[0])

    def construct(points, axis):
        if not points:
            return None
        points = sorted(points, key=lambda p: p[0][axis])
        m = (len(points) - 1) // 2
        nxt = (axis + 1) % dim
        return (points[m], construct(points[:m], nxt), construct(points[m + 1:], nxt))

    held = []

    def search(node, axis):
        if node is None:
            return
        (point, i), left, right = node
        offer(held, k, _cpp.euclidean(point, q), i)
        near, far = (right, left) if q[axis] > point[axis] else (left, right)
        search(near, (axis + 1) % dim)
        if max(held, key=heap_key)[0] > abs(q[axis] - point[axis]):
            search(far, (axis + 1) % dim)

    search(construct([(row, i) for i, row in enumerate(x)], 0), 0)
    return ref_vote([y[i] for _, i in held])


def fitted(cls, x=X, y=Y, **kw):
    model = cls(**kw)
    model.fit(x, y)
    return model


def grid_data(rng, n, dim, values=4, ragged=False):
    """Small integer coordinates: many equal distances, so the tie rules decide."""
    x = [[float(rng.randrange(values)) for _ in range(dim + (rng.randrange(2) if ragged else 0))] for _ in range(n)]
    y = [rng.choice(["a", "b", "B", "c"]) for _ in range(n)]
    return x, y


# --- KNN -------------------------------------------------------------------------------------

@pytest.mark.parametrize("metric", ["euclidean", "manhattan", "cosine", "Manhattan", "chebyshev"])
@pytest.mark.parametrize("k", [1, 2, 5, 40])
@pytest.mark.parametrize("ragged", [False, True])
def test_knn_matches_reference_on_ties(metric, k, ragged):
    rng = random.Random(f"{metric}{k}{ragged}")
    # 37 points: two full groups of sixteen and a partial one; 7 queries: one full block and a partial.
    x, y = grid_data(rng, 37, 3, ragged=ragged)
    queries = [[float(rng.randrange(1, 4)) for _ in range(4)] for _ in range(7)]
    model = fitted(_cpp.KNN, x, y, k=k, metric=metric)
    expected = [ref_knn(x, y, q, k, metric) for q in queries]
    assert model.predict(queries) == expected
    assert [model.predict_one(q) for q in queries] == expected


@pytest.mark.parametrize("metric", ["euclidean", "manhattan", "cosine", "kdtree"])
def test_sums_run_in_index_order(metric):
    # The same components in reverse order: the two distances differ only by the rounding of the
    # sum's order, so the nearer one (or the tie, kept by the earlier point) shows that order.
    rng = random.Random(metric)
    flips = 0
    for _ in range(150):
        u, v, w = (rng.uniform(0.1, 10) for _ in range(3))
        x, q = [[u, v, w], [w, v, u]], [1.0] * 3 if metric == "cosine" else [0.0] * 3
        y = ["first", "second"]
        model = fitted(_cpp.KDTree, x, y) if metric == "kdtree" else fitted(_cpp.KNN, x, y, k=1, metric=metric)
        expected = ref_kdtree(x, y, q, 1) if metric == "kdtree" else ref_knn(x, y, q, 1, metric)
        assert model.predict_one(q) == expected
        flips += expected == "second"
    assert flips > 5  # the rounding did decide some of them


def test_knn_vote_and_tie_rules():
    knn = fitted(_cpp.KNN, [[0], [1], [2], [3]], ["b", "a", "b", "a"], k=4)
    assert knn.predict_one([0]) == "a"  # two votes each: the smaller label
    knn = fitted(_cpp.KNN, [[0], [1]], ["a", "B"], k=2)
    assert knn.predict_one([0]) == "B"  # byte order: "B" before "a"
    # Points 1 and 2 are both at distance 1 and compete for the last place: point 1 keeps it, on
    # either side of the query, and its label wins the one-to-one vote against "m".
    for x in ([[0], [1], [-1], [5]], [[0], [-1], [1], [5]]):
        assert fitted(_cpp.KNN, x, ["m", "b", "a", "a"], k=2).predict_one([0]) == "b"
    # k above the number of points: all vote.
    assert fitted(_cpp.KNN, [[0], [9], [9.5]], ["a", "b", "b"], k=10).predict_one([0]) == "b"


def test_knn_metric_names():
    x, y = [[2.0, 2.0], [3.5, 0.0]], ["diagonal", "axis"]
    # From the origin the diagonal point is nearer by Euclidean distance, the axis point by Manhattan.
    assert fitted(_cpp.KNN, x, y, k=1, metric="manhattan").predict_one([0, 0]) == "axis"
    for name in ["euclidean", "MANHATTAN", "Manhattan", "Cosine", "", "l2"]:
        assert fitted(_cpp.KNN, x, y, k=1, metric=name).predict_one([0, 0]) == "diagonal"
    # (0.5, 0.1) is nearer the diagonal point but points almost along the axis.
    assert fitted(_cpp.KNN, x, y, k=1, metric="cosine").predict_one([0.5, 0.1]) == "axis"
    assert fitted(_cpp.KNN, x, y, k=1).predict_one([0.5, 0.1]) == "diagonal"


def test_knn_cosine_zero_vectors():
    # The zero point's distance is not-a-number: it goes in while the heap fills and stays, and the
    # numbers still compete for the other place.
    knn = fitted(_cpp.KNN, [[1, 1], [0, 0], [1, 0.01]], ["a", "b", "c"], k=2, metric="cosine")
    assert knn.predict_one([1, 0]) == "b"
    assert fitted(_cpp.KNN, [[0, 0], [1, 0]], ["a", "b"], k=1, metric="cosine").predict_one([1, 0]) == "a"
    # From a zero query every distance is not-a-number: the first two stay, one vote each.
    assert knn.predict([[0, 0]]) == ["a"]


# --- KDTree ----------------------------------------------------------------------------------

@pytest.mark.parametrize("dim", [1, 2, 3])
@pytest.mark.parametrize("k", [1, 2, 3, 7])
def test_kdtree_matches_reference(dim, k):
    rng = random.Random(dim * 100 + k)
    # Distinct labels and coordinates, so the tree is unique and the vote shows which points came back.
    x = [[rng.uniform(-1, 1) * 10 ** rng.randrange(-3, 4) for _ in range(dim)] for _ in range(60)]
    y = [f"p{i:02d}" for i in range(60)]
    queries = [[rng.uniform(-2, 2) for _ in range(dim)] for _ in range(40)]
    tree = fitted(_cpp.KDTree, x, y)
    expected = [ref_kdtree(x, y, q, k) for q in queries]
    assert tree.predict(queries, k) == expected
    assert [tree.predict_one(q, k=k) for q in queries] == expected


def test_kdtree_split_and_pruning_rules():
    # 1, 2, 3, 4 (given out of order): root 2, left 1, right 3 with 4 below it.
    x, y = [[4], [3], [1], [2]], ["d", "c", "a", "b"]
    tree = fitted(_cpp.KDTree, x, y)
    for q in [0.0, 1.5, 2.0, 2.6, 3.5, 9.0]:
        assert [tree.predict_one([q], k) for k in [1, 2, 3, 4]] == [ref_kdtree(x, y, [q], k) for k in [1, 2, 3, 4]]
    # From 2.6 with k = 4: 2, 3 and 4 are held, at most 1.4 away, when the plane at 2 comes up 0.6
    # away, so 1 is visited too and all four vote: "a".
    assert tree.predict_one([2.6], 4) == "a"
    # 0, 5, 6 with query 2, k = 3: 5 and 0 are found, 6 lies beyond a plane at distance 3 = the
    # bound; one vote each and "x" wins.
    assert fitted(_cpp.KDTree, [[0], [5], [6]], ["x", "y", "y"]).predict_one([2], k=3) == "x"
    # A query on a split value goes left first: from 1 among 0, 1, 2 (root 1), k = 2 holds 1 and 0.
    assert fitted(_cpp.KDTree, [[0], [1], [2]], ["b", "c", "a"]).predict_one([1], k=2) == "b"


def test_kdtree_single_points_and_nearest():
    assert fitted(_cpp.KDTree, [[5.0, 5.0]], ["only"]).predict([[0.0, 0.0], [9.0, 9.0]], k=3) == ["only", "only"]
    assert fitted(_cpp.KDTree, [[]], ["empty"]).predict_one([]) == "empty"
    rng = random.Random(7)
    x, _ = grid_data(rng, 200, 3, values=5)
    tree = fitted(_cpp.KDTree, x, [str(i) for i in range(200)])
    for _ in range(50):
        q = [rng.uniform(-1, 5) for _ in range(3)]
        found = x[int(tree.predict_one(q))]
        assert _cpp.euclidean(found, q) == min(_cpp.euclidean(p, q) for p in x)


def test_kdtree_ragged_points_use_their_own_length():
    # The second point is longer than the first: its extra component counts in its distance.
    tree = fitted(_cpp.KDTree, [[0.0], [0.1, 5.0], [1.0]], ["a", "b", "c"])
    assert tree.predict_one([0.1, 0.0]) == "a"
    assert tree.predict_one([0.1, 5.0]) == "b"


def test_kdtree_not_a_number_coordinates_do_not_crash():
    code = (
        "import _cpp, random\n"
        "r = random.Random(1)\n"
        "x = [[float('nan') if r.random() < 0.5 else r.random() for _ in range(2)] for _ in range(500)]\n"
        "t = _cpp.KDTree(); t.fit(x, ['a'] * 500)\n"
        "print(t.predict([[0.5, 0.5], [float('nan'), 0.0]], 3))\n"
    )
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=60,
                         env={**os.environ, "PYTHONPATH": os.pathsep.join(sys.path)})
    assert out.returncode == 0, out.stderr
    assert out.stdout.strip() == "['a', 'a']"


# --- the surface shared by the three models ----------------------------------------------------

MODELS = {
    "knn": (lambda: _cpp.KNN(3), lambda m, q: m.predict(q)),
    "kdtree": (_cpp.KDTree, lambda m, q: m.predict(q, 2)),
    "gnb": (_cpp.GaussianNaiveBayes, lambda m, q: m.predict(q)),
}


@pytest.fixture(params=list(MODELS))
def family(request):
    return MODELS[request.param]


def test_untrained_models_predict_empty_labels(family):
    make, predict = family
    assert predict(make(), [[1.0, 2.0], [3.0, 4.0]]) == ["", ""]
    assert make().predict_one([1.0, 2.0]) == ""
    assert predict(make(), []) == []


def test_round_trip_restores_the_model(family, tmp_path):
    make, predict = family
    x = [row + [v] for row, v in zip(X, [0.1, 1e-05, 1e17, -0.0, 2.5e-300, 7.0, -3.25])]
    model = make()
    model.fit(x, [label + "|{x}" for label in Y])
    path = str(tmp_path / "model.json")
    model.save(path=path)
    text = Path(path).read_text(encoding="utf-8")
    again = make()
    again.load(path=path)
    assert predict(again, QUERIES_3D) == predict(model, QUERIES_3D)
    again.save(path)
    assert Path(path).read_text(encoding="utf-8") == text


def test_accuracy_divides_by_the_labels_given(family):
    make, _ = family
    model = make()
    model.fit(X, Y)
    right = [model.predict_one(q) for q in QUERIES[:2]]
    assert model.accuracy(QUERIES[:2], right + ["z"]) == 2 / 3 * 100 == 66.66666666666666
    assert math.isnan(model.accuracy([], []))
    with pytest.raises(ValueError, match="x_test has 2 rows but y_test has 1 labels"):
        model.accuracy(QUERIES[:2], right[:1])


def test_fit_needs_a_label_per_row(family):
    make, _ = family
    with pytest.raises(ValueError, match=r"\.fit: x has 7 rows but y has 6 labels"):
        make().fit(X, Y[:-1])


def test_missing_file_raises_index_error_and_changes_nothing(family, tmp_path):
    make, predict = family
    model = make()
    model.fit(X, Y)
    before = predict(model, QUERIES)
    with pytest.raises(IndexError, match="cannot open"):
        model.load(str(tmp_path / "absent.json"))
    assert predict(model, QUERIES) == before


BAD_FILES = [
    ("knn", '{"k":3,"metric":"euclidean","x_train":[[1,x]],"y_train":["a"]}', ValueError),
    ("knn", '{"k":0,"metric":"euclidean","x_train":[[1]],"y_train":["a"]}', ValueError),
    ("knn", '{"k":3,"x_train":[[1]],"y_train":["a"]}', ValueError),
    ("knn", '{"k":3,"metric":"euclidean","x_train":[[1],[2]],"y_train":["a"]}', ValueError),
    ("knn", '{"k":3,"metric":"euclidean","x_train":[[1],[2', ValueError),
    ("knn", '{"k":3,"metric":"euclidean","x_train":[[1e999]],"y_train":["a"]}', IndexError),
    ("knn", "", ValueError),
    ("kdtree", '{"x_train":[[1],[2,x]],"y_train":["a","b"]}', ValueError),
    ("kdtree", '{"x_train":[[1],[2]],"y_train":["a"]}', ValueError),
    ("kdtree", '{"x_train":[[],[]],"y_train":["a","b"]}', ValueError),
    ("kdtree", '{"x_train":[[1],[2]],"y_train":["a","b"', ValueError),
    ("kdtree", '{"y_train":["a"]}', ValueError),
    ("gnb", '{"n":x,"class_ratio":{},"class_numbering":{},"mean":{},"variance":{}}', ValueError),
    ("gnb", '{"n":1,"class_ratio":{"a":1},"class_numbering":{"a":0},"mean":{"a0":1},"variance":{}}', ValueError),
    ("gnb", '{"n":1,"class_ratio":{"a":1},"class_numbering":{"a":0},"mean":{"a|0":z},"variance":{}}', ValueError),
    ("gnb", '{"n":1,"class_ratio":{"a":1},"class_numbering":{"a":0},"mean":{"a|0":1}}', ValueError),
    ("gnb", '{"n":1,"class_ratio":{"a":1},"class_numbering":{"a":0},"mean":{},"variance":{"a|0":1', ValueError),
    ("gnb", '{"n":99999999999,"class_ratio":{},"class_numbering":{},"mean":{},"variance":{}}', IndexError),
]


@pytest.mark.parametrize("name,text,error", BAD_FILES)
def test_malformed_files_raise_and_change_nothing(name, text, error, tmp_path):
    make, predict = MODELS[name]
    model = make()
    model.fit(X, Y)
    good, bad = str(tmp_path / "good.json"), str(tmp_path / "bad.json")
    model.save(good)
    before = predict(model, QUERIES)
    Path(bad).write_text(text, encoding="utf-8")
    with pytest.raises(error):
        model.load(bad)
    assert predict(model, QUERIES) == before
    model.save(bad)
    assert Path(bad).read_text(encoding="utf-8") == Path(good).read_text(encoding="utf-8")


def test_unwritable_path_raises(family, tmp_path):
    make, _ = family
    with pytest.raises(FileNotFoundError, match="No such file or directory"):
        make().save(str(tmp_path / "no" / "such" / "dir.json"))


def test_arguments_by_name_and_by_position():
    knn = _cpp.KNN(k=2, metric="manhattan")
    knn.fit(X, Y)
    assert knn.predict_one(QUERIES[0]) == "a"
    tree = fitted(_cpp.KDTree)
    assert tree.predict_one(query=QUERIES[1], k=1) == tree.predict(x_test=[QUERIES[1]], k=1)[0] == "b"
    assert tree.accuracy(x_test=QUERIES[:1], y_test=["a"], k=1) == 100.0
    for call in [lambda: knn.fit(x=X, y=Y), lambda: knn.predict_one(x=QUERIES[0]),
                 lambda: _cpp.GaussianNaiveBayes().fit(x=X, y=Y), lambda: tree.fit(x=X, y=Y)]:
        with pytest.raises(TypeError):
            call()


# --- errors specific to the neighbour models --------------------------------------------------

def test_k_below_one_is_refused():
    for k in [0, -3]:
        with pytest.raises(ValueError, match=f"^KNN: k must be at least 1, got {k}$"):
            _cpp.KNN(k)
    tree = fitted(_cpp.KDTree)
    for call, fn in [(lambda: tree.predict_one(QUERIES[0], 0), "predict_one"),
                     (lambda: tree.predict(QUERIES, 0), "predict"),
                     (lambda: tree.accuracy(QUERIES, Y, 0), "predict")]:
        with pytest.raises(ValueError, match=f"^KDTree.{fn}: k must be at least 1, got 0$"):
            call()
    with pytest.raises(ValueError, match="k must be at least 1"):
        _cpp.KDTree().predict_one([1.0], k=0)


@pytest.mark.parametrize("cls", [_cpp.KNN, _cpp.KDTree])
def test_queries_shorter_than_a_training_point_are_refused(cls):
    model = _cpp.KNN(1) if cls is _cpp.KNN else _cpp.KDTree()
    model.fit([[5.0, 5.0], [1.0, 2.0, 3.0]], ["a", "b"])
    name = cls.__name__
    with pytest.raises(ValueError, match=f"^{name}.predict_one: the query has 2 components, fewer than the 3 "):
        model.predict_one([1.0, 2.0])
    with pytest.raises(ValueError, match=f"^{name}.predict: row 1 has 1 components, fewer than the 3 "):
        model.predict([[1.0, 2.0, 3.0], [1.0]])
    assert model.predict_one([1.0, 2.0, 3.0, 99.0]) == "b"  # extra components are ignored


def test_kdtree_fit_limits():
    with pytest.raises(ValueError, match="^KDTree.fit: x is empty"):
        _cpp.KDTree().fit([], [])
    with pytest.raises(ValueError, match="^KDTree.fit: the first row has no components"):
        _cpp.KDTree().fit([[], []], ["a", "b"])
    with pytest.raises(ValueError, match="^KDTree.fit: row 2 has 1 components, fewer than the 2 of the first row"):
        _cpp.KDTree().fit([[1, 2], [3, 4], [5]], ["a", "b", "c"])


def test_kdtree_file_without_points_loads_as_untrained(tmp_path):
    path = str(tmp_path / "empty.json")
    _cpp.KDTree().save(path)
    assert Path(path).read_text(encoding="utf-8") == '{"x_train":[],"y_train":[]}'
    tree = fitted(_cpp.KDTree)
    tree.load(path)
    assert tree.predict(QUERIES) == [""] * 4


def test_save_files_byte_for_byte(tmp_path):
    path = str(tmp_path / "m.json")
    fitted(_cpp.KNN, [[1, 0.5], [-2, 0.1]], ["a", "b"], k=3, metric="cosine").save(path)
    assert Path(path).read_text(encoding="utf-8") == '{"k":3,"metric":"cosine","x_train":[[1,0.5],[-2,0.10000000000000001]],"y_train":["a","b"]}'
    fitted(_cpp.KNN, [[], [1e17, -1e-05, float("inf"), float("nan")]], ["", "é"]).save(path)
    assert Path(path).read_text(encoding="utf-8") == (
        '{"k":5,"metric":"euclidean","x_train":[[],[1e+17,-1.0000000000000001e-05,inf,nan]],"y_train":["","é"]}')
    fitted(_cpp.KDTree, [[0, 1], [2.5, -1]], ["x", "y"]).save(path)
    assert Path(path).read_text(encoding="utf-8") == '{"x_train":[[0,1],[2.5,-1]],"y_train":["x","y"]}'


def test_knn_load_reads_keys_in_any_order(tmp_path):
    path = tmp_path / "knn.json"
    path.write_text('{"y_train":["far", "near"], "x_train":[[9, 9], [0.5, 0]],"metric":"manhattan","k":1}')
    knn = _cpp.KNN()
    knn.load(str(path))
    assert knn.predict_one([0, 0]) == "near"
    knn.save(str(path))
    assert path.read_text() == '{"k":1,"metric":"manhattan","x_train":[[9,9],[0.5,0]],"y_train":["far","near"]}'


# --- peer: scikit-learn's brute-force neighbours classifier -------------------------------------

@pytest.mark.parametrize("metric", ["euclidean", "manhattan", "cosine"])
def test_agrees_with_scikit_learn(metric):
    neighbors = pytest.importorskip("sklearn.neighbors")
    np = pytest.importorskip("numpy")
    rng = np.random.default_rng(42)
    x = rng.normal(size=(500, 6))
    queries = rng.normal(size=(200, 6))
    y = rng.choice(["u", "v", "w"], size=500)
    y2 = rng.choice(["u", "v"], size=500)  # two classes and k = 5: no tied votes
    for labels, k in [(y, 1), (y2, 5)]:
        peer = neighbors.KNeighborsClassifier(k, algorithm="brute", metric=metric).fit(x, labels)
        expected = peer.predict(queries).tolist()
        assert fitted(_cpp.KNN, x.tolist(), labels.tolist(), k=k, metric=metric).predict(queries.tolist()) == expected
        if metric == "euclidean" and k == 1:
            assert fitted(_cpp.KDTree, x.tolist(), labels.tolist()).predict(queries.tolist()) == expected
