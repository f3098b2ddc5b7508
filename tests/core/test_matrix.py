"""Matrix helpers: exact values, partial use of the data, and shape errors that name the function."""

import math
import random

import pytest

import _cpp
from core import reference

NAN = float("nan")
INF = float("inf")


class TestProduct:
    def test_worked_examples(self):
        assert _cpp.matrix_with_matrix_multiplication([[1, 2], [3, 4]], [[5, 6], [7, 8]]) == [[19, 22], [43, 50]]
        assert _cpp.matrix_with_matrix_multiplication([[1, 2, 3]], [[1], [2], [3]]) == [[14]]

    def test_random_integers_exact(self):
        rng = random.Random(1)
        for m, k, p in [(1, 1, 1), (3, 5, 2), (7, 1, 9), (17, 13, 11)]:
            A = [[rng.randint(-9, 9) for _ in range(k)] for _ in range(m)]
            B = [[rng.randint(-9, 9) for _ in range(p)] for _ in range(k)]
            assert _cpp.matrix_with_matrix_multiplication(A, B) == reference.matmul(A, B)

    def test_only_the_first_k_rows_of_b_are_read(self):
        assert _cpp.matrix_with_matrix_multiplication([[2]], [[3, 4], [100, 100]]) == [[6, 8]]

    def test_empty_inner_dimension_gives_zeros(self):
        assert _cpp.matrix_with_matrix_multiplication([[], []], [[1, 2, 3]]) == [[0, 0, 0], [0, 0, 0]]

    @pytest.mark.parametrize(
        "A, B, message",
        [
            ([[1, 2]], [[1]], "A is 1x2, B is 1x1"),
            ([], [[1]], "A is empty"),
            ([[1, 2], [3]], [[1], [2]], "A is ragged"),
            ([[1]], [], "A is 1x1, B is empty"),
            ([[1, 2]], [[1, 2], [3]], "A is 1x2, B is ragged"),
        ],
    )
    def test_shapes_outside_the_contract(self, A, B, message):
        with pytest.raises(ValueError, match="^matrix_with_matrix_multiplication: " + message.replace("(", r"\(")):
            _cpp.matrix_with_matrix_multiplication(A, B)


class TestElementWise:
    @pytest.mark.parametrize("op", ["sub", "", "ADD", "Add", "plus"])
    def test_any_text_but_add_subtracts(self, op):
        assert _cpp.matrix_addition_and_sub([[5, 7]], [[1, 2]], op) == [[4, 5]]

    def test_add(self):
        assert _cpp.matrix_addition_and_sub([[5, 7], [1, 1]], [[1, 2], [0.5, -1]], "add") == [[6, 9], [1.5, 0]]

    def test_b_with_more_rows_uses_the_first(self):
        assert _cpp.element_wise_multiplication([[2, 3]], [[4, 5], [9, 9]]) == [[8, 15]]

    def test_division_by_zero_is_ieee(self):
        out = _cpp.element_wise_division_two_matrices([[1, 0, -1]], [[0, 0, 0]])
        assert out[0][0] == INF and math.isnan(out[0][1]) and out[0][2] == -INF

    @pytest.mark.parametrize(
        "fn",
        [
            lambda A, B: _cpp.matrix_addition_and_sub(A, B, "add"),
            _cpp.element_wise_multiplication,
            _cpp.element_wise_division_two_matrices,
        ],
    )
    @pytest.mark.parametrize("A, B", [([[1, 2]], [[1]]), ([[1, 2]], []), ([], [[1]]), ([[1], [2]], [[1]])])
    def test_mismatched_shapes(self, fn, A, B):
        with pytest.raises(ValueError, match="A is|empty"):
            fn(A, B)

    def test_roots(self):
        assert _cpp.element_wise_roots([[4, 9]], 2) == [[2, 3]]
        assert _cpp.element_wise_roots([[8]], 3) == [[8 ** (1.0 / 3)]]
        assert math.isnan(_cpp.element_wise_roots([[-8]], 3)[0][0])

    def test_scalar_multiply(self):
        assert _cpp.scalar_multiply_matrix([[1, 2]], 2) == [[2.0, 4.0]]
        assert _cpp.scalar_multiply_matrix([], 3.0) == []
        with pytest.raises(ValueError, match="^scalar_multiply_matrix: M is ragged"):
            _cpp.scalar_multiply_matrix([[1, 2], [3]], 2.0)

    def test_relu_derivative(self):
        assert _cpp.ReLU_derivative([[-1, 0, 2, NAN, INF]]) == [[0, 0, 1, 0, 1]]

    @pytest.mark.parametrize("fn", [_cpp.transpose_matrix, _cpp.ReLU_derivative, lambda M: _cpp.element_wise_roots(M, 2)])
    def test_at_least_one_rectangular_row(self, fn):
        with pytest.raises(ValueError, match="M is empty"):
            fn([])
        with pytest.raises(ValueError, match="M is ragged"):
            fn([[1.0], [1.0, 2.0]])


class TestReshaping:
    def test_transpose(self):
        assert _cpp.transpose_matrix([[1, 2, 3]]) == [[1], [2], [3]]
        assert _cpp.transpose_matrix([[1, 2], [3, 4], [5, 6]]) == [[1, 3, 5], [2, 4, 6]]

    def test_row_sums(self):
        assert _cpp.sum_across_column([[1, 2], [3, 4]]) == [3, 7]
        assert _cpp.sum_across_column([]) == []
        assert _cpp.sum_across_column([[], []]) == [0, 0]

    def test_row_sums_are_ascending_from_zero(self):
        # (1e16 + 1) + 1 loses both ones; a reordered or pairwise sum would keep one.
        assert _cpp.sum_across_column([[1e16, 1.0, 1.0]]) == [1e16]
        assert _cpp.sum_across_column([[-0.0]]) == [0.0]

    def test_outer_product(self):
        assert _cpp.matrix_product_from_vector_and_transpose(2, [1, 2, 5]) == [[1, 2], [2, 4]]
        assert _cpp.matrix_product_from_vector_and_transpose(0, []) == []
        with pytest.raises(ValueError, match="^vector$"):
            _cpp.matrix_product_from_vector_and_transpose(-1, [])
        with pytest.raises(ValueError, match="n is 3 but v has 2 entries"):
            _cpp.matrix_product_from_vector_and_transpose(3, [1, 2])

    def test_vector_difference(self):
        assert _cpp.calculate_vector([5, 7], [1, 2, 100]) == [4, 5]
        with pytest.raises(ValueError, match="^calculate_vector: a has 2 entries, b has 1"):
            _cpp.calculate_vector([5, 7], [1])


class TestMatrixVector:
    def test_worked_examples(self):
        M = [[1, 2], [3, 4]]
        assert _cpp.matrix_product_with_matrix_and_vector(M, [1, 1], 2, 2) == [3, 7]
        assert _cpp.matrix_product_with_matrix_and_vector(M, [1, 1], 1, 2) == [3]
        assert _cpp.matrix_product_with_matrix_and_vector(M, [1, 1], 0, 2) == []
        assert _cpp.matrix_product_with_matrix_and_vector(M, [1, 1], 2, 0) == [0, 0]

    @pytest.mark.parametrize("rows, cols", [(-1, 2), (2, -1)])
    def test_negative_sizes(self, rows, cols):
        with pytest.raises(ValueError, match="^vector$"):
            _cpp.matrix_product_with_matrix_and_vector([[1, 2]], [1, 1], rows, cols)

    @pytest.mark.parametrize("M, v, rows, cols", [([[1, 2]], [1, 1], 2, 2), ([[1, 2]], [1, 1], 1, 3), ([[1, 2]], [1], 1, 2)])
    def test_block_beyond_the_data(self, M, v, rows, cols):
        with pytest.raises(ValueError, match="^matrix_product_with_matrix_and_vector: "):
            _cpp.matrix_product_with_matrix_and_vector(M, v, rows, cols)

    def test_dot(self):
        assert _cpp.scalar_product_from_transpose_and_vector([1, 2], [3, 4, 99]) == 11
        assert _cpp.scalar_product_from_transpose_and_vector([], []) == 0.0
        with pytest.raises(ValueError):
            _cpp.scalar_product_from_transpose_and_vector([1, 2], [3])

    def test_regularize(self):
        assert _cpp.regularize([[1, 2], [3, 4]], 2, 0.5) == [[1.5, 2], [3, 4.5]]
        assert _cpp.regularize([[1, 2], [3, 4]], 1, 0.5) == [[1.5, 2], [3, 4]]
        assert _cpp.regularize([[1, 2], [3, 4]], 0, 0.5) == [[1, 2], [3, 4]]
        assert _cpp.regularize([], -3, 0.5) == []
        with pytest.raises(ValueError, match="^regularize: M is 1x1"):
            _cpp.regularize([[1]], 2, 0.5)

    def test_arguments_are_copied(self):
        M = [[1.0, 2.0], [3.0, 4.0]]
        _cpp.regularize(M, 2, 1.0)
        _cpp.scalar_multiply_matrix(M, 5.0)
        assert M == [[1.0, 2.0], [3.0, 4.0]]
