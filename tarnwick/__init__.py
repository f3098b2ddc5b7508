"""tarnwick: a small machine-learning library written from first principles in C++.

The extension module `_cpp` holds the library itself; this package adds what a Python user expects
around it: the version, `manual_seed` for repeatable networks, and `tarnwick.sklearn`, one
scikit-learn estimator per model (imported on first use, since it needs scikit-learn).
"""

from __future__ import annotations

import importlib
from importlib import metadata
from types import ModuleType

from tarnwick._random import manual_seed

try:
    __version__: str = metadata.version("tarnwick")
except metadata.PackageNotFoundError:  # a source tree on the path without an installed copy
    __version__ = "0+unknown"

__all__ = ["__version__", "manual_seed", "sklearn"]


def __getattr__(name: str) -> ModuleType:
    # `import tarnwick` stays light: scikit-learn is loaded only when tarnwick.sklearn is asked for.
    if name == "sklearn":
        return importlib.import_module("tarnwick.sklearn")
    raise AttributeError(f"module 'tarnwick' has no attribute {name!r}")
