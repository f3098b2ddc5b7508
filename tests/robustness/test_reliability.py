"""What every file of the library promises, for the eight models and the network's two files:
paths are str or any os.PathLike and a NUL is refused before anything is touched; a save replaces
its file whole or not at all (failures raise OSError as open() does, leaving the old file and no
temporary one); text read from a file must be UTF-8; and integer arguments take an int or an
__index__, never a float or another number that would be truncated.

The failing writes run in a child process under a file-size limit, so that the limit and its
signal never reach the test run.
"""

from __future__ import annotations

import errno
import os
import pathlib
import pickle
import stat
import struct
import subprocess
import sys
import textwrap
from dataclasses import dataclass
from decimal import Decimal
from fractions import Fraction
from typing import Any, Callable

import numpy as np
import pytest

import _cpp
from models.registry import BY_NAME, MODELS as REGISTRY

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import test_bad_input as walker  # noqa: E402

NET_X = [[0.0, 0.0, 1.0, 1.0], [0.0, 1.0, 0.0, 1.0]]
NET_Y = [[1.0, 0.0, 0.0, 1.0], [0.0, 1.0, 1.0, 0.0]]


def fitted(name: str, label: str = "b", word: str = "ham") -> Any:
    """A model of the class name fitted on the registry's toy data, with label as a class and as
    its label setting (positive class, metric) and word a word of the texts; or a network (name
    "Network")."""
    if name == "Network":
        return _cpp.Network(2, [3, 2], NET_X, _cpp.Adam(0.01))
    entry = BY_NAME[name]
    return entry.fitted(label, word, model=entry.labelled(label))


MODELS = [entry.name for entry in REGISTRY]


@dataclass(frozen=True)
class File:
    """One kind of file: the object that writes it and its save and load methods."""
    cls: str
    save: str = "save"
    load: str = "load"

    def __str__(self) -> str:
        return f"{self.cls}.{self.save}"

    def make(self) -> Any:
        return fitted(self.cls)

    def text(self, obj) -> str:
        """The bytes a save writes, as pickling carries them."""
        if self.cls != "Network":
            return obj.__getstate__()[0]
        weights, hyperparams = obj.__reduce__()[2]
        return weights if self.save == "save_weights" else hyperparams


FILES = [File(m) for m in MODELS] + [File("Network", "save_weights", "load_weights"),
                                     File("Network", "save_hyperparams", "load_hyperparams")]


def saved(file: File, obj, path) -> None:
    getattr(obj, file.save)(path)


def loaded(file: File, obj, path) -> None:
    getattr(obj, file.load)(path)


class StrPath:
    def __init__(self, path):
        self.path = os.fspath(path)

    def __fspath__(self):
        return self.path


class BytesPath(StrPath):
    def __fspath__(self):
        return os.fsencode(self.path)


PATH_FORMS: dict[str, Callable[[Any], Any]] = {
    "str": str, "pathlib.Path": pathlib.Path, "PathLike of str": StrPath, "PathLike of bytes": BytesPath,
    "bytes": os.fsencode,
}


def listing(directory) -> list[str]:
    return sorted(os.listdir(directory))


# ---------------------------------------------------------------------------------------------
# Paths

@pytest.mark.parametrize("file", FILES, ids=str)
def test_every_save_and_load_takes_any_path_form(file, tmp_path):
    obj = file.make()
    for form, as_path in PATH_FORMS.items():
        target = tmp_path / f"{form}.json"
        saved(file, obj, as_path(target))
        assert target.read_text() == file.text(obj), form
        again = fitted(file.cls, label="other")
        loaded(file, again, as_path(target))
        assert file.text(again) == file.text(obj), form


def test_the_network_weights_dir_takes_any_path_form(tmp_path):
    for form, as_path in PATH_FORMS.items():
        target = tmp_path / f"{form}.json"
        net = _cpp.Network(2, [3, 2], NET_X, None, weights_dir=as_path(target))
        net.save_weights("")
        other = _cpp.Network(2, [3, 2], NET_X, None, weights_dir=as_path(target))
        other.load_weights("")
        assert other == net and target.exists(), form


def test_a_network_pickles_a_weights_dir_that_is_not_utf8(tmp_path):
    target = os.fsencode(tmp_path) + b"/\xff.json"
    net = _cpp.Network(2, [3, 2], NET_X, None, weights_dir=target)
    again = pickle.loads(pickle.dumps(net))
    again.save_weights("")
    assert os.listdir(os.fsencode(tmp_path)) == [b"\xff.json"] and again == net


NUL_PATHS = {"str": lambda p: str(p) + "\0.bak", "pathlib.Path": lambda p: pathlib.Path(str(p) + "\0.bak"),
             "bytes": lambda p: os.fsencode(p) + b"\0.bak", "PathLike of bytes": lambda p: BytesPath(str(p) + "\0.bak"),
             "PathLike of str": lambda p: StrPath(str(p) + "\0.bak")}


@pytest.mark.parametrize("file", FILES, ids=str)
def test_a_nul_in_a_path_raises_before_anything_is_read_or_written(file, tmp_path):
    victim = tmp_path / "victim.json"
    victim.write_bytes(b"the victim's bytes")
    obj = file.make()
    before = file.text(obj)
    for form, nul_path in NUL_PATHS.items():
        for method in (file.save, file.load):
            with pytest.raises(ValueError, match="^embedded null character$"):
                getattr(obj, method)(nul_path(victim))
            assert victim.read_bytes() == b"the victim's bytes", (form, method)
            assert listing(tmp_path) == ["victim.json"] and file.text(obj) == before, (form, method)


def test_a_nul_in_the_weights_dir_raises(tmp_path):
    victim = tmp_path / "victim.json"
    with pytest.raises(ValueError, match="^embedded null character$"):
        _cpp.Network(2, [3, 2], NET_X, None, weights_dir=str(victim) + "\0")
    assert listing(tmp_path) == []


# ---------------------------------------------------------------------------------------------
# Saves replace the file whole

FILE_SIZE_CHILD = textwrap.dedent("""
    import os, resource, signal, sys
    sys.path[:0] = [{here!r}, os.path.dirname({here!r})]   # the module and the tests' helpers
    import test_reliability as t
    file = next(f for f in t.FILES if str(f) == {file!r})
    obj = file.make()
    # Every file is longer than the limit; the process must see EFBIG rather than die of SIGXFSZ.
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    resource.setrlimit(resource.RLIMIT_FSIZE, (16, resource.getrlimit(resource.RLIMIT_FSIZE)[1]))
    try:
        t.saved(file, obj, {target!r})
    except OSError as e:
        print(e.errno, e.filename, type(e).__name__)
    else:
        print("saved")
""")


@pytest.mark.parametrize("file", FILES, ids=str)
def test_a_save_that_fails_midway_leaves_the_old_file_and_no_temporary_file(file, tmp_path):
    target = tmp_path / "model.json"
    target.write_bytes(b"old, good content")
    os.chmod(target, 0o640)
    child = FILE_SIZE_CHILD.format(here=os.path.dirname(os.path.abspath(__file__)), file=str(file), target=str(target))
    out = subprocess.run([sys.executable, "-c", child], capture_output=True, text=True, timeout=120)
    assert out.returncode == 0, out.stderr
    assert out.stdout.split() == [str(errno.EFBIG), str(target), "OSError"]
    assert target.read_bytes() == b"old, good content"
    assert stat.S_IMODE(target.stat().st_mode) == 0o640
    assert listing(tmp_path) == ["model.json"]


@pytest.mark.parametrize("file", FILES, ids=str)
def test_a_missing_directory_raises_file_not_found_naming_the_path(file, tmp_path):
    obj = file.make()
    for as_path in (str, pathlib.Path):
        target = as_path(tmp_path / "missing" / "model.json")
        with pytest.raises(FileNotFoundError) as caught:
            saved(file, obj, target)
        assert caught.value.errno == errno.ENOENT and caught.value.filename == os.fspath(target)
    assert listing(tmp_path) == []


def test_a_directory_that_cannot_be_written_raises_and_keeps_the_file(tmp_path):
    obj = fitted("KNN")
    if os.geteuid() == 0:
        # The superuser writes any directory; a file system that refuses new files stands in.
        target = pathlib.Path("/sys/tarnwick-model.json")
        with pytest.raises(OSError) as caught:
            obj.save(target)
        assert caught.value.errno in (errno.EACCES, errno.EPERM, errno.EROFS, errno.ENOENT)
        assert caught.value.filename == str(target) and not target.exists()
        return
    target = tmp_path / "model.json"
    target.write_bytes(b"old")
    tmp_path.chmod(0o555)
    try:
        with pytest.raises(PermissionError) as caught:
            obj.save(target)
        assert caught.value.filename == str(target)
    finally:
        tmp_path.chmod(0o755)
    assert target.read_bytes() == b"old" and listing(tmp_path) == ["model.json"]


def test_a_save_through_a_symlink_replaces_the_file_it_names_and_keeps_the_link(tmp_path):
    obj = fitted("GDA")
    (tmp_path / "real").mkdir()
    real = tmp_path / "real" / "model.json"
    real.write_bytes(b"old")
    link = tmp_path / "link.json"
    link.symlink_to(os.path.join("real", "model.json"))       # relative to the link's directory
    obj.save(link)
    assert link.is_symlink() and os.readlink(link) == os.path.join("real", "model.json")
    assert real.read_text() == obj.__getstate__()[0]
    assert listing(tmp_path) == ["link.json", "real"] and listing(tmp_path / "real") == ["model.json"]
    # A link to a file not there yet: the file is made where the link points.
    dangling = tmp_path / "dangling.json"
    dangling.symlink_to(tmp_path / "real" / "new.json")
    obj.save(dangling)
    assert dangling.is_symlink() and (tmp_path / "real" / "new.json").read_text() == obj.__getstate__()[0]


def test_a_new_file_gets_the_umask_mode_and_a_replaced_file_keeps_its_mode(tmp_path):
    obj = fitted("KDTree")
    old_mask = os.umask(0o027)
    try:
        obj.save(tmp_path / "new.json")
    finally:
        os.umask(old_mask)
    assert stat.S_IMODE((tmp_path / "new.json").stat().st_mode) == 0o640
    for mode in (0o600, 0o604, 0o444, 0o755):
        target = tmp_path / f"kept{mode:o}.json"
        target.write_bytes(b"old")
        target.chmod(mode)
        obj.save(target)
        assert stat.S_IMODE(target.stat().st_mode) == mode and target.read_text() == obj.__getstate__()[0]


def test_a_device_is_written_in_place():
    fitted("KNN").save("/dev/null")
    assert stat.S_ISCHR(os.stat("/dev/null").st_mode)


@pytest.mark.parametrize("file", FILES, ids=str)
def test_a_file_that_cannot_be_opened_still_raises_index_error_on_load(file, tmp_path):
    obj = file.make()
    before = file.text(obj)
    for path in (tmp_path / "absent.json", tmp_path):
        with pytest.raises(IndexError, match="cannot open"):
            loaded(file, obj, path)
    assert file.text(obj) == before


# ---------------------------------------------------------------------------------------------
# Text read from files must be UTF-8

LABEL = "labelmark"       # where a label (or the metric) is written
WORD = "wordmark"         # where a word of a text model is written
NOT_UTF8 = [b"\xff", b"\xc3", b"\xc0\xaf", b"\xed\xa0\x80", b"\xe2\x82", b"\xf4\x90\x80\x80", b"ok\x80"]
STRING_MODELS = [m for m in MODELS if m != "LinearRegression"]


def marked(name: str):
    return fitted(name, label=LABEL, word=WORD)   # KNN: any other metric text is Euclidean distance


def pickled_with_state(model, state: bytes) -> bytes:
    """The model's pickle with its file text replaced by the bytes state."""
    text = model.__getstate__()[0].encode()
    data = pickle.dumps(model, 3)
    unicode = b"X" + struct.pack("<I", len(text)) + text          # BINUNICODE
    assert data.count(unicode) == 1
    return data.replace(unicode, b"B" + struct.pack("<I", len(state)) + state)  # BINBYTES


@pytest.mark.parametrize("name", STRING_MODELS)
def test_text_that_is_not_utf8_fails_the_load_and_changes_nothing(name, tmp_path):
    source = marked(name)
    good = source.__getstate__()[0].encode()
    places = []
    for marker in (LABEL, WORD):
        found = [i for i in range(len(good)) if good.startswith(marker.encode(), i)]
        places += sorted(set(found[:3] + found[-1:]))   # every kind of place, not every place alike
    assert places, "the file holds no label to spoil"
    model = fitted(name, label="other")
    before = pickle.dumps(model)
    path = tmp_path / "bad.json"
    for start in places:
        end = good.index(b'"', start)
        for bad in NOT_UTF8:
            spoiled = good[:start] + bad + good[end:]
            path.write_bytes(spoiled)
            with pytest.raises(ValueError, match="UTF-8"):
                model.load(path)
            assert pickle.dumps(model) == before
            with pytest.raises(ValueError, match="UTF-8"):     # a pickle's state may be bytes
                type(model).__new__(type(model)).__setstate__((spoiled,))
            with pytest.raises(ValueError, match="UTF-8"):
                pickle.loads(pickled_with_state(source, spoiled))
    assert pickle.dumps(model) == before


@pytest.mark.parametrize("name", STRING_MODELS)
def test_multibyte_labels_round_trip(name, tmp_path):
    label = "caf\u00e9 \u20ac \U0001f600 \u4e2d"
    model = fitted(name, label=label)
    model.save(tmp_path / "m.json")
    again = fitted(name, label="other")
    again.load(tmp_path / "m.json")
    assert again == model and pickle.loads(pickle.dumps(model)) == model
    assert label in repr(again) or label in again.__getstate__()[0]
    if name not in ("BernoulliNaiveBayes", "MultinomialNaiveBayes"):
        assert again.predict([[3.0, 3.0]]) == model.predict([[3.0, 3.0]])
    else:
        assert again.predict(["eggs ham"]) == model.predict(["eggs ham"]) == [label]


def test_messages_show_file_text_and_paths_that_are_not_utf8_escaped(tmp_path):
    model = _cpp.LinearRegression()
    path = tmp_path / "m.json"
    path.write_bytes(b'{"theta0":\xff\xfe,"theta1":1}')
    with pytest.raises(ValueError, match=r"found '\\xff\\xfe,\"theta1\":\.\.\.'$"):
        model.load(path)
    # Twelve bytes would cut the last character in two: the excerpt ends after it instead.
    path.write_bytes('{"theta0":xaaaaaaaaaa\u00e9\u00e9,"theta1":1}'.encode())
    with pytest.raises(ValueError, match="found 'xaaaaaaaaaa\u00e9...'$"):
        model.load(path)
    missing = os.fsencode(tmp_path) + b"/\xff.json"
    with pytest.raises(IndexError, match=r"cannot open '.*/\\xff\.json'$"):
        model.load(missing)


@pytest.mark.parametrize("call", [
    lambda: _cpp.KNN(1).fit([[1.0]], [b"\xff"]), lambda: _cpp.KNN(1, b"\xc0\xaf"), lambda: _cpp.GDA(b"\xed\xa0\x80"),
    lambda: setattr(_cpp.LogisticRegression(), "positive_class", bytearray(b"\xff")),
    lambda: _cpp.MultinomialNaiveBayes().fit(["a"], [b"\xe2\x82"]),
], ids=["KNN.fit", "KNN()", "GDA()", "positive_class =", "MultinomialNaiveBayes.fit"])
def test_text_given_as_bytes_must_be_utf8(call):
    with pytest.raises(ValueError, match="text given as bytes must be UTF-8"):
        call()
    knn = _cpp.KNN(1)
    knn.fit([[1.0]], ["caf\u00e9".encode()])
    assert knn.predict([[1.0]]) == ["caf\u00e9"]


# ---------------------------------------------------------------------------------------------
# Integer arguments

class OnlyInt:
    def __int__(self):
        return 2


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


NOT_INTEGERS = {"2.0": 2.0, "2.5": 2.5, "Decimal('2.9')": Decimal("2.9"), "Decimal('2')": Decimal("2"),
                "Fraction(5, 2)": Fraction(5, 2), "Fraction(2, 1)": Fraction(2, 1), "OnlyInt()": OnlyInt(),
                "'2'": "2", "np.float64(2.0)": np.float64(2.0), "complex(2)": complex(2)}
INTEGERS = {"Index(2)": (Index(2), 2), "np.int64(2)": (np.int64(2), 2), "np.int8(2)": (np.int8(2), 2),
            "np.uint16(2)": (np.uint16(2), 2), "True": (True, 1), "False": (False, 0), "np.bool_(True)": None}


def integer_parameters() -> list[tuple[str, Any, list, int, bool]]:
    """(label, entry point, plausible arguments, index of an int parameter, whether it is an item of
    a list) for every int parameter of every free function, constructor, method and setter."""
    found = []
    for point in walker.entry_points():
        if point.label.endswith("(fitted)") or "__setstate__" in point.label and "FunctionType" not in point.label:
            continue
        for params in point.sigs:
            args = [walker.plausible(p.kind, p.name) for p in params]
            for i, p in enumerate(params):
                if p.kind == ("int",) or p.kind == ("list", ("int",)):
                    found.append((f"{point.label} {p.name}", point, args, i, p.kind[0] == "list"))
    return found


def _make(name: str, state: str = "new"):
    """The walk's objects, but a network that can train (the walk's has an abstract activation)."""
    if name == "Network":
        return _cpp.Network(2, [2, 2], [[1.0, 2.0], [3.0, 5.0]], _cpp.Adam())
    return walker._make(name, state)


def call(point, args: list[str], i: int, value, listed: bool):
    """Makes the call with the i-th argument replaced by value; its outcome as (kind, value)."""
    _cpp.manual_seed(0)     # networks built and trained by two calls draw the same numbers
    namespace = dict(walker._namespace(), make=_make)
    values = [eval(a, namespace) for a in args]
    values[i] = [value] + values[i][1:] if listed else value
    callee = point.callee
    if "__setstate__" in callee:        # a constructor: it runs only on an object not yet built
        callee = callee.replace("make('FunctionType', 'new')", "_cpp.FunctionType.__new__(_cpp.FunctionType)")
    try:
        if point.mode == "set":
            obj_expr, attr = callee.rsplit(".", 1)
            obj = eval(obj_expr, namespace)
            setattr(obj, attr, values[0])
            return "returned", repr(getattr(obj, attr))
        result = eval(callee, namespace)(*values)
        return "returned", type(result).__name__ if isinstance(result, _cpp.Network) else repr(result)
    except Exception as e:
        return "raised", type(e).__name__


def test_every_int_parameter_is_found():
    labels = {label for label, *_ in integer_parameters()}
    assert {"KNN() k", "KDTree.predict (new) k", "LU_decomposition arg1", "matrix_inverse arg2", "Network() layer_num",
            "Network() neurons_in_layers", "Network.train_loop (new) epochs", "Network.train_loop (new) batch_size",
            "BernoulliNaiveBayes() vocab_size", "GDA.dimension = (new) arg1", "LinearRegression.fit (new) iterations",
            "FunctionType.__setstate__ (new) state"} <= labels


def test_integer_arguments_take_int_and_index_and_refuse_other_numbers(capfd):
    wrong = []
    for label, point, args, i, listed in integer_parameters():
        for text, value in NOT_INTEGERS.items():
            if call(point, args, i, value, listed) != ("raised", "TypeError"):
                wrong.append(f"{label} = {text}: {call(point, args, i, value, listed)}")
        for text, pair in INTEGERS.items():
            if pair is None:
                continue
            value, plain = pair
            got, expected = call(point, args, i, value, listed), call(point, args, i, plain, listed)
            if got != expected or got[0] == "raised" and got[1] in ("TypeError", "SetupError"):
                wrong.append(f"{label} = {text}: {got}, with {plain}: {expected}")
    capfd.readouterr()      # the network's progress lines
    assert wrong == []
