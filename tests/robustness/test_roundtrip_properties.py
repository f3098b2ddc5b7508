"""Save then load restores every model and the network exactly, for arbitrary doubles (infinities,
NaN, -0.0, subnormals, the largest and smallest), arbitrary label texts (non-ASCII, "|", braces,
commas, spaces) and arbitrary shapes; a load that fails leaves the model as it was (the refusal of a
label holding a double quote is tested over the models registry, in tests/models).

Every model of the registry is one case: how to make it, how to give it a state (a strategy), its
save and load methods, and what to compare besides the file text and the readable properties. A
case whose class is not registered in the module is skipped.
"""

from __future__ import annotations

import math
import os
import struct
import sys
import tempfile
from dataclasses import dataclass
from typing import Any, Callable

import pytest
from hypothesis import HealthCheck, given, reject, settings
from hypothesis import strategies as st

import _cpp
from models.reference import file_number
from models.registry import MODELS

# ---------------------------------------------------------------------------------------------
# Strategies

EDGE_DOUBLES = [0.0, -0.0, math.inf, -math.inf, math.nan, -math.nan, 5e-324, -5e-324,
                2.2250738585072014e-308, 2.225073858507201e-308, sys.float_info.max,
                -sys.float_info.max, 0.1, 1e17, 1e-5, 1 / 3, 123456789012345680.0, -1.0]


def doubles():
    """Any double, with the edges drawn often."""
    return st.one_of(st.sampled_from(EDGE_DOUBLES), st.floats(allow_nan=True, allow_infinity=True,
                                                              allow_subnormal=True))


# Any text but a double quote, which the files cannot carry, and lone surrogates, which are no UTF-8.
LABEL_EDGES = ["", " ", "|", "a|0", "a|b|1", "{", "}", "{}", ",", "a, b", ":", "[", "]", "\\", "\t",
               "\n", "é", "€", "日本語", "🙂", "\x00", "x" * 200]


def labels():
    return st.one_of(st.sampled_from(LABEL_EDGES),
                     st.text(st.characters(blacklist_categories=("Cs",), blacklist_characters='"'),
                             max_size=12))


def vectors(max_size=8):
    return st.lists(doubles(), max_size=max_size)


def matrices(rows, cols):
    return st.lists(st.lists(doubles(), min_size=cols, max_size=cols), min_size=rows, max_size=rows)


@st.composite
def rows_and_labels(draw, max_rows=6, max_cols=4):
    """(X, y): one row per sample, one label per row."""
    rows, cols = draw(st.integers(1, max_rows)), draw(st.integers(1, max_cols))
    return draw(matrices(rows, cols)), draw(st.lists(labels(), min_size=rows, max_size=rows))


@st.composite
def texts_and_labels(draw, max_texts=6):
    """(texts, labels): raw texts of any characters, one label per text."""
    words = st.one_of(st.sampled_from(["free", "Money", "WIN!", "hello,", "naïve", "don't", "42"]),
                      st.text(st.characters(blacklist_categories=("Cs",)), max_size=10))
    n = draw(st.integers(1, max_texts))
    texts = draw(st.lists(st.lists(words, max_size=6).map(" ".join), min_size=n, max_size=n))
    return texts, draw(st.lists(labels(), min_size=n, max_size=n))


@st.composite
def gda_fields(draw, max_dimension=4):
    """Every field of a GDA, mutually consistent in size."""
    d = draw(st.integers(0, max_dimension))
    return {"positive_class": draw(labels()), "negative_class": draw(labels()), "dimension": d,
            "phi": draw(doubles()), "mu_zero": draw(st.lists(doubles(), min_size=d, max_size=d)),
            "mu_one": draw(st.lists(doubles(), min_size=d, max_size=d)), "covariance": draw(matrices(d, d))}


# The network of the network cases: two inputs, layers of 3 and 2 neurons.
NETWORK_SHAPE = [(3, 2), (2, 3)]
NETWORK_INPUT = [[0.5, -1.0, 2.0], [1.0, 0.0, -0.5]]


@st.composite
def weights_files(draw):
    """The text of a weights file for the network cases, with arbitrary values."""
    def mat(m):
        return "[" + ",".join("[" + ",".join(map(file_number, row)) + "]" for row in m) + "]"
    layers = [f'{{"parameters":{mat(draw(matrices(r, c)))},"bias":{mat(draw(matrices(r, 1)))}}}'
              for r, c in NETWORK_SHAPE]
    return "[" + ",".join(layers) + "]"


# ---------------------------------------------------------------------------------------------
# How a model gets its state

@dataclass
class Setting:
    """Assigns properties."""
    fields: dict

    def __call__(self, model, workdir):
        for name, value in self.fields.items():
            setattr(model, name, value)


@dataclass
class Fitting:
    """Calls fit with the drawn arguments."""
    args: tuple

    def __call__(self, model, workdir):
        model.fit(*self.args)


@dataclass
class Loading:
    """Loads a file of the drawn text with the case's load method."""
    text: str
    load: str

    def __call__(self, model, workdir):
        path = os.path.join(workdir, "given.json")
        with open(path, "w", encoding="utf-8") as f:
            f.write(self.text)
        getattr(model, self.load)(path)


def setting(**fields):
    return st.fixed_dictionaries(fields).map(Setting)


def fitting(data):
    return data.map(Fitting)


def loading(texts, load):
    return texts.map(lambda text: Loading(text, load))


@dataclass
class Case:
    cls: str
    make: Callable[[], Any]
    state: Any                                  # strategy of a Setting, Fitting or Loading
    save: str = "save"
    load: str = "load"
    probe: Callable[[Any, Any], Any] | None = None  # (model, the state's step) -> values to compare
    unordered: bool = False                          # the file lists a hash table in its own order


def predict_rows(model, step):
    return model.predict(step.args[0])


# Models whose every field is a property take any doubles and labels that way; the others are
# fitted on drawn data of the registry's kind.
SET_STATES = {
    "LinearRegression": (setting(theta0=doubles(), theta1=doubles()), lambda m, _: m.predict([0.0, 1.0, -2.5])),
    "LogisticRegression": (setting(positive_class=labels(), thetas=vectors()), None),
    "GDA": (gda_fields().map(Setting), None),
}
FIT_STATES = {"rows": rows_and_labels, "texts": texts_and_labels}


def model_case(entry) -> Case:
    if entry.name in SET_STATES:
        state, probe = SET_STATES[entry.name]
        return Case(entry.name, entry.configured, state, probe=probe)
    return Case(entry.name, entry.configured, fitting(FIT_STATES[entry.data]()), probe=predict_rows,
                unordered=entry.hashed)


CASES = [model_case(entry) for entry in MODELS] + [
    Case("Network", lambda: _cpp.Network(2, [3, 2], NETWORK_INPUT, None), loading(weights_files(), "load_weights"),
         save="save_weights", load="load_weights", probe=lambda m, _: m.predict(NETWORK_INPUT)),
    Case("Network", lambda: _cpp.Network(2, [3, 2], NETWORK_INPUT, _cpp.Adam()),
         setting(dropout_rate=doubles()), save="save_hyperparams", load="load_hyperparams"),
]


def cases():
    """CASES as pytest parameters, skipped while their class is not registered."""
    return [pytest.param(case, id=f"{case.cls}.{case.save}", marks=pytest.mark.skipif(
        not hasattr(_cpp, case.cls), reason=f"{case.cls} is not registered in _cpp yet")) for case in CASES]


# ---------------------------------------------------------------------------------------------
# Comparison

def same(a, b) -> bool:
    """Equal, with doubles compared bit for bit except that every NaN equals every NaN."""
    if isinstance(a, float) and isinstance(b, float):
        return (math.isnan(a) and math.isnan(b)) or struct.pack("<d", a) == struct.pack("<d", b)
    if isinstance(a, (list, tuple)) and isinstance(b, (list, tuple)):
        return len(a) == len(b) and all(same(x, y) for x, y in zip(a, b))
    if isinstance(a, dict) and isinstance(b, dict):
        return a.keys() == b.keys() and all(same(a[k], b[k]) for k in a)
    return type(a) is type(b) and a == b


def canonical(text: str) -> str:
    """The text with the entries of every {...} object in sorted order (quotes respected), for files
    that list a hash table in the table's own order."""
    def parse(i):  # text[i] == "{"; returns (canonical object, index past its "}")
        entries, cur, depth, quoted, j = [], [], 0, False, i + 1
        while j < len(text):
            ch = text[j]
            if quoted:
                quoted = ch != '"'
            elif ch == '"':
                quoted = True
            elif ch == "{":
                inner, j = parse(j)
                cur.append(inner)
                continue
            elif ch in "[":
                depth += 1
            elif ch == "]":
                depth -= 1
            elif ch == "," and depth == 0:
                entries.append("".join(cur))
                cur = []
                j += 1
                continue
            elif ch == "}":
                entries.append("".join(cur))
                return "{" + ",".join(sorted(e for e in entries if e)) + "}", j + 1
            cur.append(ch)
            j += 1
        return text[i:], len(text)

    out, i = [], 0
    while i < len(text):
        if text[i] == "{":
            obj, i = parse(i)
            out.append(obj)
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def saved(model, case: Case, path: str) -> str:
    getattr(model, case.save)(path)
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        text = f.read()
    return canonical(text) if case.unordered else text


def properties(model) -> dict:
    return {name: getattr(model, name) for name, value in type(model).__dict__.items()
            if isinstance(value, property)}


def given_state(case: Case, step, workdir: str):
    """A new model in the drawn state; a state the model refuses (ValueError) is not drawn again."""
    model = case.make()
    try:
        step(model, workdir)
    except ValueError:
        reject()
    return model


def observed(model, case: Case, step, path: str):
    """Everything a user can see of the model: its file, its properties and its probe values."""
    return saved(model, case, path), properties(model), case.probe(model, step) if case.probe else None


EXAMPLES = settings(max_examples=40, deadline=None, suppress_health_check=[HealthCheck.too_slow])


# ---------------------------------------------------------------------------------------------
# Tests

@pytest.mark.parametrize("case", cases())
@EXAMPLES
@given(data=st.data())
def test_save_then_load_restores_the_model(case, data):
    step = data.draw(case.state, label="state")
    with tempfile.TemporaryDirectory() as workdir:
        model = given_state(case, step, workdir)
        path = os.path.join(workdir, "model.json")
        before = observed(model, case, step, path)
        again = case.make()
        getattr(again, case.load)(path)
        after = observed(again, case, step, os.path.join(workdir, "again.json"))
    assert same(after, before)


@pytest.mark.parametrize("case", cases())
@EXAMPLES
@given(data=st.data())
def test_failed_load_leaves_the_model_as_it_was(case, data):
    step = data.draw(case.state, label="state")
    with tempfile.TemporaryDirectory() as workdir:
        model = given_state(case, step, workdir)
        path, other = os.path.join(workdir, "model.json"), os.path.join(workdir, "other.json")
        before = observed(model, case, step, path)
        with open(path, "rb") as f:
            raw = f.read()
        # A cut, or a byte replaced, somewhere in the model's own file.
        at = data.draw(st.integers(0, max(len(raw) - 1, 0)), label="position")
        broken = data.draw(st.one_of(st.just(raw[:at]), st.binary(min_size=1, max_size=3).map(
            lambda b: raw[:at] + b + raw[at + 1:])), label="broken file")
        with open(other, "wb") as f:
            f.write(broken)
        with pytest.raises(IndexError):
            getattr(model, case.load)(os.path.join(workdir, "missing.json"))
        assert same(observed(model, case, step, path), before)
        try:
            getattr(model, case.load)(other)
        except (ValueError, IndexError):
            assert same(observed(model, case, step, path), before)


def test_canonical_sorts_object_entries_and_respects_quotes():
    text = '{"n":2,"vocab":{"b":1,"a,}":0},"phi":{"x|1":0.5,"x|0":nan}}'
    assert canonical(text) == '{"n":2,"phi":{"x|0":nan,"x|1":0.5},"vocab":{"a,}":0,"b":1}}'


@pytest.mark.parametrize("x, text", [(0.1, "0.10000000000000001"), (0.5, "0.5"), (1.0, "1"), (-0.0, "-0"),
                                     (1e-5, "1.0000000000000001e-05"), (1e17, "1e+17"),
                                     (math.inf, "inf"), (-math.inf, "-inf"), (-math.nan, "nan")])
def test_file_number_writes_as_the_model_files_do(x, text):
    assert file_number(x) == text
