"""help(_cpp.X) reads like a reference: every registered function, class, method and property has
a docstring of its own beyond the signature the binding layer writes; the checked-in stubs match
the built module and the examples type-check against them."""

import importlib.util
import inspect
import os
import re
import subprocess
import sys
from pathlib import Path

import pytest

import _cpp

ROOT = Path(__file__).resolve().parents[2]

# The generator and the type checker are third-party programs that the sanitizer run (whose
# runtime every child inherits) has nothing to learn from.
third_party_tool = pytest.mark.skipif(os.environ.get("TARNWICK_SANITIZED") == "1",
                                      reason="third-party tools do not run under the sanitizer build")

# Names of the enumeration, where the binding layer writes every dunder.
ENUM_OWN = {"__init__", "__repr__", "__eq__", "__str__", "__int__", "__index__", "__ne__", "__hash__",
            "__getstate__", "__setstate__", "__members__", "__entries", "name", "value"}
SIGNATURE = re.compile(r"^(\d+\. )?[A-Za-z_][A-Za-z0-9_]*\(.*\)( -> .*)?$")


def own_text(doc):
    """The docstring without the signature lines and overload headers the binding layer writes."""
    lines = [line for line in (doc or "").splitlines()
             if not SIGNATURE.match(line.strip()) and line.strip() != "Overloaded function."]
    return "\n".join(lines).strip()


def documented_entry_points():
    for name, value in vars(_cpp).items():
        if name.startswith("__") or name in ("RELU", "SIGMOID", "TANH"):
            continue
        if not isinstance(value, type):
            yield name, value.__doc__
            continue
        yield name, value.__doc__
        for attr, member in value.__dict__.items():
            if attr.startswith("_pybind11") or (value is _cpp.FunctionType and attr in ENUM_OWN):
                continue
            if attr in ("__doc__", "__module__", "__dict__", "__weakref__", "__hash__", "__getstate__"):
                continue
            if attr == "__setstate__" and value is not _cpp.Network:
                continue          # the binding layer's own, from the state __getstate__ gives
            if isinstance(member, property):
                yield f"{name}.{attr}", member.__doc__
            elif callable(member):
                yield f"{name}.{attr}", member.__doc__


ENTRY_POINTS = dict(documented_entry_points())


def test_every_registered_name_is_walked():
    assert {"KNN.fit", "Network.__init__", "Scalar.__add__", "Matrix.gradient", "euclidean",
            "FunctionType", "KNN.__eq__", "Network.__setstate__"} <= set(ENTRY_POINTS)
    assert len(ENTRY_POINTS) > 200


@pytest.mark.parametrize("name", sorted(ENTRY_POINTS))
def test_every_entry_point_has_its_own_docstring(name):
    text = own_text(ENTRY_POINTS[name])
    assert len(text) >= 12, f"{name} has no docstring beyond its signature"


# manual_seed takes one integer: it has no shape to name.
FREE_FUNCTIONS = [n for n, v in vars(_cpp).items()
                  if not n.startswith("__") and callable(v) and not isinstance(v, type) and n != "manual_seed"]
FITS_AND_PREDICTIONS = [n for n in ENTRY_POINTS if re.search(r"\.(fit|predict|accuracy|train_loop)$", n)]


@pytest.mark.parametrize("name", sorted(FREE_FUNCTIONS + FITS_AND_PREDICTIONS))
def test_methods_with_arguments_name_them_and_their_shapes(name):
    text = own_text(ENTRY_POINTS[name])
    assert "Args" in text and re.search(r"\(n_\w+|\(m, |list of|list\[", text), text


def test_module_level_help_reads_like_a_reference():
    text = inspect.getdoc(_cpp.KNN.fit)
    assert "X: (n_samples, n_features)" in text and "Raises:" in text and "ValueError" in text
    assert "sample-per-column" in _cpp.Network.__doc__.lower()
    assert _cpp.__doc__ == "tarnwick C++ backend"


@third_party_tool
def test_checked_in_stubs_match_the_built_module():
    if importlib.util.find_spec("pybind11_stubgen") is None:
        pytest.skip("pybind11-stubgen is not installed (it is a test extra)")
    proc = subprocess.run([sys.executable, str(ROOT / "tests" / "ecosystem" / "make_stubs.py"), "--check"],
                          capture_output=True, text=True, timeout=300)
    assert proc.returncode == 0, proc.stdout + proc.stderr


def test_stubs_cover_every_registered_name():
    stub = (ROOT / "_cpp.pyi").read_text()
    for name, value in vars(_cpp).items():
        if not name.startswith("__"):
            assert re.search(rf"^(class |def ){name}\b|^{name}: ", stub, re.M), name


@third_party_tool
def test_examples_type_check_against_the_stubs(tmp_path):
    if importlib.util.find_spec("mypy") is None:
        pytest.skip("mypy is not installed (it is a test extra)")
    env = {k: v for k, v in os.environ.items() if k != "MYPYPATH"}
    proc = subprocess.run([sys.executable, "-m", "mypy", "--cache-dir", str(tmp_path / "cache")], cwd=ROOT,
                          capture_output=True, text=True, timeout=600, env=env)
    assert proc.returncode == 0, proc.stdout + proc.stderr
