"""Matrix results are built out of the cyclic collector's sight and handed over tracked: every row
list and the outer list are tracked like any list, so a cycle a caller makes through one is
collected, and the values are those of the rows."""

import gc

import numpy as np
import pytest

import _cpp


@pytest.mark.parametrize("make", [
    lambda: _cpp.transpose_matrix([[1.0, 2.0, 3.0], [4.0, 5.0, 6.0]]),
    lambda: _cpp.matrix_with_matrix_multiplication(np.eye(3), np.arange(9.0).reshape(3, 3)),
    lambda: list(_cpp.LU_decomposition([[4.0, 3.0], [6.0, 3.0]], 2)),
    lambda: _cpp.Matrix([[1.0], [2.0]]).gradient,
    lambda: _cpp.regularize(np.zeros((3000, 2)), 0, 0.0),
], ids=["transpose", "product", "LU pair", "property", "many rows"])
def test_matrix_results_are_tracked_lists(make):
    results = make()
    matrices = results if isinstance(results[0][0], list) else [results]
    for matrix in matrices:
        assert gc.is_tracked(matrix) and all(gc.is_tracked(row) for row in matrix)
        assert all(type(x) is float for row in matrix for x in row)


def test_cycle_through_a_result_row_is_collected():
    gc.collect()
    rows = _cpp.regularize(np.ones((700, 3)), 0, 0.0)
    rows[5].append(rows)       # the row now holds its matrix: a cycle only the collector frees
    del rows
    assert gc.collect() >= 701  # the outer list and its 700 rows were found unreachable


def test_values_survive_collections_during_the_build():
    # Thousands of new lists set off collections while the result is being built.
    M = np.arange(20000.0).reshape(10000, 2)
    assert _cpp.regularize(M, 0, 0.0) == M.tolist()
