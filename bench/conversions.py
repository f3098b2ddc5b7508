"""Conversions of lists of lists of floats, in ns per element, against numpy's own.

In: calculate_determinant(M, 0) converts M and returns at once, against numpy.array(M).
Out: regularize(M, 0, 0.0) hands M back unchanged; its time less that of converting M in (M a
float64 array, so a memory copy) is the conversion out, against ndarray.tolist().
Array in: a float64 array into a DoubleMatrix, against ndarray.copy().
"""

import numpy as np

import _cpp
from harness import Case, scenario

ORDER = 0
SCENARIOS: list = []

_SHAPES = [(1000, 100), (10000, 10), (1000, 2)]


def _in(rows: int, cols: int):
    def build() -> Case:
        M = np.random.default_rng(rows + cols).random((rows, cols)).tolist()
        return Case(lambda: _cpp.calculate_determinant(M, 0), lambda: np.array(M), per=rows * cols)

    return build


def _out(rows: int, cols: int):
    def build() -> Case:
        M = np.random.default_rng(rows + cols).random((rows, cols))
        return Case(lambda: _cpp.regularize(M, 0, 0.0), lambda: M.tolist(), per=rows * cols,
                    base=lambda: _cpp.calculate_determinant(M, 0))

    return build


def _array_in(rows: int, cols: int):
    def build() -> Case:
        M = np.random.default_rng(rows + cols).random((rows, cols))
        return Case(lambda: _cpp.calculate_determinant(M, 0), lambda: M.copy(), per=rows * cols)

    return build


for _r, _c in _SHAPES:
    scenario(SCENARIOS, f"list to DoubleMatrix {_r}x{_c} (vs numpy.array)", peer="numpy",
             needs=("calculate_determinant",))(_in(_r, _c))
for _r, _c in _SHAPES:
    scenario(SCENARIOS, f"DoubleMatrix to list {_r}x{_c} (vs ndarray.tolist)", peer="numpy",
             needs=("regularize",))(_out(_r, _c))
for _r, _c in _SHAPES:
    scenario(SCENARIOS, f"float64 array to DoubleMatrix {_r}x{_c} (reference: ndarray.copy)", peer="numpy",
             needs=("calculate_determinant",))(_array_in(_r, _c))
