"""Writes _cpp.pyi, the type stubs of the extension module, from the built module itself.

    PYTHONPATH=build/dev python3 tests/ecosystem/make_stubs.py           # rewrites _cpp.pyi
    PYTHONPATH=build/dev python3 tests/ecosystem/make_stubs.py --check   # exits 1 if it would change

The stubs are pybind11-stubgen's reading of the registered signatures and docstrings, with the few
fixes below; tests/ecosystem/test_stubs.py runs the check, so the checked-in file follows every
registration.
"""

import difflib
import subprocess
import sys
import tempfile
from pathlib import Path

STUB = Path(__file__).resolve().parents[2] / "_cpp.pyi"

# What the generated text cannot say by itself, each (generated, meant).
FIXES = [
    # collections.abc has Buffer only from Python 3.12; typing_extensions has it for every version.
    ("collections.abc.Buffer", "typing_extensions.Buffer"),
    ("import typing\n", "import typing\nimport typing_extensions\n"),
    # The Network constructors take None for an optimizer or an activation, which the signatures
    # the binding layer writes for a class argument do not show.
    ("optimizer: Adam,", "optimizer: Adam | None,"),
    ("optimizer: SGD,", "optimizer: SGD | None,"),
    ("activation: ActivationFunction = None", "activation: ActivationFunction | None = None"),
    # A class with __eq__ is unhashable; type checkers want that said as Python's own stubs say it.
    ("__hash__: typing.ClassVar[None] = None", "__hash__: typing.ClassVar[None]  # type: ignore[assignment]"),
    # Network.__setstate__ is registered under another name (see src/bindings/nn.cpp), which the
    # generator cannot match to its signature.
    ("    @staticmethod\n    def __setstate__(*args, **kwargs):",
     "    def __setstate__(self, arg0: tuple[str, str]) -> None:"),
    # manual_seed takes any object with __index__ (its range check needs the object itself).
    ("def manual_seed(seed: typing.Any) -> None:", "def manual_seed(seed: typing.SupportsIndex) -> None:"),
]


def generate() -> str:
    with tempfile.TemporaryDirectory() as out:
        subprocess.run(
            [sys.executable, "-m", "pybind11_stubgen", "_cpp", "--output-dir", out, "--exit-code",
             "--enum-class-locations", "FunctionType:_cpp", "--ignore-unresolved-names", r"collections\.abc\.Buffer"],
            check=True, capture_output=True, text=True)
        text = (Path(out) / "_cpp.pyi").read_text()
    for generated, meant in FIXES:
        if generated not in text:
            raise SystemExit(f"make_stubs: the generated stubs no longer hold {generated!r}; review FIXES")
        text = text.replace(generated, meant)
    return text


def main() -> int:
    text = generate()
    if "--check" not in sys.argv[1:]:
        STUB.write_text(text)
        return 0
    current = STUB.read_text() if STUB.exists() else ""
    if current == text:
        return 0
    diff = difflib.unified_diff(current.splitlines(), text.splitlines(), "_cpp.pyi (checked in)",
                                "_cpp.pyi (from the build)", lineterm="", n=1)
    print("\n".join(list(diff)[:80]))
    print("make_stubs: _cpp.pyi differs from the built module; run tests/ecosystem/make_stubs.py")
    return 1


if __name__ == "__main__":
    sys.exit(main())
