"""The module's Python surface: docstring, registration, argument conversion rules."""

import pytest

import _cpp

FREE_FUNCTIONS = [
    "matrix_with_matrix_multiplication", "matrix_addition_and_sub", "scalar_multiply_matrix",
    "element_wise_multiplication", "element_wise_division_two_matrices", "element_wise_roots",
    "transpose_matrix", "ReLU_derivative", "sum_across_column", "matrix_product_from_vector_and_transpose",
    "calculate_vector", "LU_decomposition", "calculate_determinant", "matrix_inverse",
    "matrix_product_with_matrix_and_vector", "scalar_product_from_transpose_and_vector", "regularize",
    "euclidean", "manhattan", "cosine",
]


def test_docstring():
    assert _cpp.__doc__ == "tarnwick C++ backend"


def test_free_functions_registered_in_order():
    names = [n for n in vars(_cpp) if n in FREE_FUNCTIONS]
    assert names == FREE_FUNCTIONS


def test_keyword_arguments_are_refused():
    with pytest.raises(TypeError):
        _cpp.transpose_matrix(M=[[1.0]])


def test_int_accepted_for_double_float_refused_for_int():
    assert _cpp.scalar_multiply_matrix([[1, 2]], 2) == [[2.0, 4.0]]
    with pytest.raises(TypeError):
        _cpp.LU_decomposition([[1.0]], 1.0)
    with pytest.raises(TypeError):
        _cpp.regularize([[1.0]], 2**31, 1.0)


def test_sequences_and_wrong_types():
    assert _cpp.transpose_matrix(((1, 2),)) == [[1.0], [2.0]]
    with pytest.raises(TypeError):
        _cpp.transpose_matrix("ab")
    with pytest.raises(TypeError):
        _cpp.euclidean([1.0, "x"], [1.0, 2.0])


def test_pair_result_is_a_tuple():
    result = _cpp.LU_decomposition([[2.0]], 1)
    assert isinstance(result, tuple) and len(result) == 2
