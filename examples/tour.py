"""The tarnwick tour: one short run of every subsystem on small bundled data."""

import importlib
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import _cpp  # noqa: E402

# Each entry is a script of its own in this folder; the tour runs them in this order.
SECTIONS = ["linear_algebra", "autodiff", "network", "regression_models", "neighbour_models", "text_classification",
            "beyond_one_machine"]
# Packages of the extras (pip install "tarnwick[sklearn,dask]") that a section may need.
OPTIONAL = {"sklearn", "dask", "distributed"}


def main() -> None:
    print(_cpp.__doc__)
    for name in SECTIONS:
        if not (Path(__file__).resolve().parent / f"{name}.py").exists():
            continue
        print(f"\n== {name.replace('_', ' ')} ==")
        try:
            importlib.import_module(name).main()
        except ModuleNotFoundError as missing:
            if (missing.name or "").split(".")[0] not in OPTIONAL:
                raise
            print(f"skipped: {missing.name} is not installed (pip install \"tarnwick[sklearn,dask]\")")


if __name__ == "__main__":
    main()
