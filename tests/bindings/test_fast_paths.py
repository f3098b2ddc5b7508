"""The LU factorisation and the inverse walk many sums side by side for speed: every sum must
still take its terms one at a time in ascending order, so the results equal, bit for bit, the
plain loops written out below (NaN as NaN: their sign and payload are not part of the arithmetic).
"""

import math

import numpy as np
import pytest

import _cpp
from core.reference import inverse, lu, same_bits


def matrices():
    rng = np.random.default_rng(11)
    for n in (1, 2, 3, 4, 7, 9, 16, 23):
        yield f"normal {n}", rng.standard_normal((n, n)).tolist()
        yield f"dominant {n}", (rng.random((n, n)) + n * np.eye(n)).tolist()
        wild = rng.standard_normal((n, n)) * 10.0 ** rng.integers(-150, 150, (n, n))
        yield f"wide exponents {n}", wild.tolist()
    special = rng.standard_normal((9, 9))
    special[[1, 4, 6, 7], [1, 2, 6, 3]] = [0.0, -0.0, np.inf, np.nan]
    yield "zero pivot, inf, nan", special.tolist()
    yield "needs an exchange", [[0.0, 1.0], [1.0, 0.0]]
    yield "singular", [[1.0, 2.0], [2.0, 4.0]]


CASES = list(matrices())


@pytest.mark.parametrize("A", [a for _, a in CASES], ids=[name for name, _ in CASES])
def test_lu_and_inverse_match_the_plain_loops(A):
    n = len(A)
    L, U = _cpp.LU_decomposition(A, n)
    L_ref, U_ref = lu(A, n)
    assert same_bits(L, L_ref) and same_bits(U, U_ref)
    assert same_bits(_cpp.matrix_inverse(L, U, n), inverse(L_ref, U_ref, n))


def test_leading_block_of_larger_containers():
    A = np.random.default_rng(3).standard_normal((6, 8)).tolist()
    L, U = _cpp.LU_decomposition(A, 5)
    L_ref, U_ref = lu(A, 5)
    assert same_bits(L, L_ref) and same_bits(U, U_ref)
    big_L = [row + [7.0] for row in L] + [[7.0] * 6]
    assert same_bits(_cpp.matrix_inverse(big_L, U, 5), inverse(L_ref, U_ref, 5))


@pytest.mark.parametrize("A, B, expected", [
    ([[]], [[1.0, 2.0]], [[0.0, 0.0]]),
    ([[], []], [[]], [[], []]),
    ([[1.0, 2.0]], [[3.0], [4.0], [99.0]], [[11.0]]),
], ids=["no inner terms", "no columns", "only k rows of B read"])
def test_product_edges(A, B, expected):
    assert _cpp.matrix_with_matrix_multiplication(A, B) == expected


def test_product_of_arrays_and_lists_agree():
    rng = np.random.default_rng(4)
    A, B = rng.standard_normal((37, 19)), rng.standard_normal((19, 23))
    from_lists = _cpp.matrix_with_matrix_multiplication(A.tolist(), B.tolist())
    assert same_bits(_cpp.matrix_with_matrix_multiplication(A, np.asfortranarray(B)), from_lists)
    np.testing.assert_allclose(from_lists, A @ B, rtol=1e-12, atol=1e-12)


def test_arrays_read_in_place_give_the_bits_of_lists():
    # Both operands C-ordered float64 take the path that reads them where they lie; every other
    # form (Fortran order, slices, other dtypes, a list beside an array) is copied into rows first.
    rng = np.random.default_rng(5)
    A, B = rng.standard_normal((13, 7)), rng.standard_normal((9, 5))  # B's last two rows unread
    expected = _cpp.matrix_with_matrix_multiplication(A.tolist(), B.tolist())
    wide = np.zeros((26, 14))
    wide[::2, ::2] = A
    forms = [(A, B), (A, B.tolist()), (A.tolist(), B), (np.asfortranarray(A), B), (wide[::2, ::2], B),
             (A, np.ascontiguousarray(B[:7])), (A[:, :], B[::-1][::-1])]
    for X, Y in forms:
        result = _cpp.matrix_with_matrix_multiplication(X, Y)
        assert type(result) is list and all(type(row) is list for row in result)
        assert same_bits(result, expected)
    one = _cpp.matrix_with_matrix_multiplication(np.array([[2.0]]), np.array([[3.0, -1.0]]))
    assert one == [[6.0, -2.0]]


@pytest.mark.parametrize("A, B", [
    (np.zeros((0, 3)), np.zeros((3, 2))),
    (np.zeros((2, 3)), np.zeros((2, 4))),
    (np.zeros((2, 3)), np.zeros((0, 3))),
], ids=["A empty", "B short", "B empty"])
def test_arrays_that_make_no_product_are_refused_as_lists_are(A, B):
    with pytest.raises(ValueError) as from_lists:
        _cpp.matrix_with_matrix_multiplication(A.tolist(), B.tolist())
    with pytest.raises(ValueError, match="^matrix_with_matrix_multiplication: ") as from_arrays:
        _cpp.matrix_with_matrix_multiplication(A, B)
    assert str(from_arrays.value) == str(from_lists.value)


def test_results_share_positive_zeros_and_keep_signed_ones():
    L, U = _cpp.LU_decomposition([[4.0, 2.0, 1.0], [2.0, 5.0, 3.0], [1.0, 3.0, 6.0]], 3)
    zeros = [L[0][1], L[0][2], L[1][2], U[1][0], U[2][0], U[2][1]]
    assert all(z == 0.0 and math.copysign(1.0, z) == 1.0 for z in zeros)
    assert all(z is zeros[0] for z in zeros)
    negative = _cpp.scalar_multiply_matrix([[0.0, 1.0], [-0.0, 0.0]], -1.0)
    assert same_bits(negative, [[-0.0, -1.0], [0.0, -0.0]])
    negative[1][0] += 1.0  # rebinding one entry leaves the shared zero alone
    assert negative[1][0] == 1.0 and _cpp.transpose_matrix([[0.0]]) == [[0.0]]
