"""LU without pivoting, determinant and inverse: exact roundings and IEEE results for bad pivots."""

import math
import random

import pytest

import _cpp
from core import reference


def well_conditioned(n, seed):
    rng = random.Random(seed)
    return [[rng.uniform(-1, 1) + (n if i == j else 0) for j in range(n)] for i in range(n)]


def test_worked_example():
    L, U = _cpp.LU_decomposition([[4, 3], [6, 3]], 2)
    assert (L, U) == ([[1, 0], [1.5, 1]], [[4, 3], [0, -1.5]])
    assert _cpp.calculate_determinant(U, 2) == -6
    inv = _cpp.matrix_inverse(L, U, 2)
    assert inv[0] == [-0.5, 0.5] and inv[1][0] == 1.0 and inv[1][1] == pytest.approx(-2 / 3, abs=1e-15)


def test_one_by_one():
    L, U = _cpp.LU_decomposition([[2]], 1)
    assert (L, U, _cpp.calculate_determinant(U, 1), _cpp.matrix_inverse(L, U, 1)) == ([[1]], [[2]], 2, [[0.5]])


@pytest.mark.parametrize("n", [3, 6, 12])
def test_bit_for_bit_against_the_written_order(n):
    A = well_conditioned(n, n)
    L, U = _cpp.LU_decomposition(A, n)
    assert (L, U) == reference.lu(A, n)
    assert _cpp.matrix_inverse(L, U, n) == reference.inverse(L, U, n)


def test_reciprocal_then_multiply_rounding():
    # (A - s) * (1/u) and (A - s) / u differ here: the multiply is what the factorisation does.
    A = [[1.0, 0.0], [7.0, 3.0]]
    A = [[1.0, 1.0, 0.0], [0.0, 3.0, 0.0], [0.0, 7.0, 1.0]]
    L, U = _cpp.LU_decomposition(A, 3)
    u11 = U[1][1]
    s = L[2][0] * U[0][1]
    assert L[2][1] == (A[2][1] - s) * (1.0 / u11)
    assert (A[2][1] - s) * (1.0 / u11) != (A[2][1] - s) / u11


def test_zero_pivot_propagates_silently():
    L, U = _cpp.LU_decomposition([[0, 1], [1, 0]], 2)
    assert math.isnan(L[0][0]) and math.isinf(L[1][0])
    inv = _cpp.matrix_inverse(L, U, 2)
    assert not all(math.isfinite(x) for row in inv for x in row)


def test_singular_matrix():
    L, U = _cpp.LU_decomposition([[1, 2], [2, 4]], 2)
    assert U[1][1] == 0.0 and _cpp.calculate_determinant(U, 2) == 0.0
    assert any(not math.isfinite(x) for row in _cpp.matrix_inverse(L, U, 2) for x in row)


def test_sizes():
    assert _cpp.LU_decomposition([], 0) == ([], [])
    assert _cpp.matrix_inverse([], [], 0) == []
    assert _cpp.calculate_determinant([], 0) == 1.0
    assert _cpp.calculate_determinant([], -4) == 1.0
    assert _cpp.calculate_determinant([[2, 9], [9, 3]], 2) == 6
    for call in (lambda: _cpp.LU_decomposition([[1]], -1), lambda: _cpp.matrix_inverse([[1]], [[1]], -1)):
        with pytest.raises(ValueError, match="^vector$"):
            call()


def test_leading_block_only():
    A = [[4, 3, 99], [6, 3, 99], [99, 99, 99]]
    assert _cpp.LU_decomposition(A, 2) == _cpp.LU_decomposition([[4, 3], [6, 3]], 2)


@pytest.mark.parametrize(
    "call",
    [
        lambda: _cpp.LU_decomposition([[1, 2]], 2),
        lambda: _cpp.LU_decomposition([[1], [2]], 2),
        lambda: _cpp.calculate_determinant([[1]], 2),
        lambda: _cpp.matrix_inverse([[1, 0], [0, 1]], [[1]], 2),
    ],
)
def test_n_larger_than_the_matrix(call):
    with pytest.raises(ValueError, match="smaller than the 2x2 block"):
        call()
