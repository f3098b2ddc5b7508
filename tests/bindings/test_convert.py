"""Conversions of DoubleVector and DoubleMatrix arguments and results, through the free functions.

transpose_matrix and calculate_vector(a, zeros) hand their input back value for value, so what
comes out is what the conversion read in.
"""

import array
import math
import struct
import subprocess
import sys
from fractions import Fraction

import numpy as np
import pytest

import _cpp

M = [[1.5, -2.0, 3.25], [4.0, 5.5, -6.75]]  # 2x3, exact in every dtype below but the integer ones
MT = [[1.5, 4.0], [-2.0, 5.5], [3.25, -6.75]]
MI = [[1, -2, 3], [4, 5, 6]]
MIT = [[1.0, 4.0], [-2.0, 5.0], [3.0, 6.0]]


def bits(x: float) -> bytes:
    return struct.pack("<d", x)


def same_bits(a, b) -> bool:
    """Equal bit for bit, NaN as NaN (their sign and payload are not part of the arithmetic)."""
    if isinstance(a, list):
        return isinstance(b, list) and len(a) == len(b) and all(same_bits(x, y) for x, y in zip(a, b))
    return type(a) is float and ((math.isnan(a) and math.isnan(b)) or bits(a) == bits(b))


def floats_only(result) -> bool:
    if isinstance(result, list):
        return all(floats_only(x) for x in result)
    return type(result) is float


def wide(a: np.ndarray) -> np.ndarray:
    """a inside a larger array: strided in both axes, so no row is contiguous."""
    big = np.zeros((a.shape[0] * 2, a.shape[1] * 3), dtype=a.dtype)
    big[::2, 1::3] = a
    return big[::2, 1::3]


@pytest.mark.parametrize("make, expected", [
    (lambda: M, MT),
    (lambda: tuple(tuple(r) for r in M), MT),
    (lambda: [tuple(M[0]), M[1]], MT),
    (lambda: MI, MIT),
    (lambda: [[Fraction(3, 2), -2, np.float32(3.25)], [np.int64(4), True, -6.75]], [[1.5, 4.0], [-2.0, 1.0], [3.25, -6.75]]),
    (lambda: np.array(M), MT),
    (lambda: np.asfortranarray(M), MT),
    (lambda: wide(np.array(M)), MT),
    (lambda: np.array(M)[::-1, ::-1][::-1, ::-1], MT),
    (lambda: np.array(M, dtype=np.float32), MT),
    (lambda: np.array(M, dtype=">f8"), MT),
    (lambda: np.array(M, dtype=np.float16), MT),
    (lambda: np.array(MI, dtype=np.int64), MIT),
    (lambda: wide(np.array(MI, dtype=np.int32)), MIT),
    (lambda: np.array(MI, dtype=np.int8), MIT),
    (lambda: np.array([[1, 2], [3, 250]], dtype=np.uint8), [[1.0, 3.0], [2.0, 250.0]]),
    (lambda: np.array([[2**63 + 2**11]], dtype=np.uint64), [[float(2**63 + 2**11)]]),
    (lambda: np.array([[True, False]]), [[1.0], [0.0]]),
    (lambda: memoryview(np.array(M)), MT),
    (lambda: list(np.array(M)), MT),
    (lambda: (row for row in M), MT),
    (lambda: np.array(M, dtype=object), MT),
], ids=["lists", "tuples", "mixed rows", "ints", "number types", "float64", "F order", "strided",
        "reversed twice", "float32", "big-endian", "float16", "int64", "strided int32", "int8", "uint8",
        "uint64", "bool", "memoryview", "list of arrays", "generator", "object array"])
def test_matrix_forms_convert_alike(make, expected):
    result = _cpp.transpose_matrix(make())
    assert result == expected
    assert floats_only(result)


@pytest.mark.parametrize("make", [
    lambda: [1.5, -2, 3.25],
    lambda: (1.5, -2, 3.25),
    lambda: np.array([1.5, -2, 3.25]),
    lambda: np.array([9, 1.5, 0, -2, 0, 3.25])[1::2],
    lambda: np.array([3.25, -2, 1.5])[::-1],
    lambda: np.array([1.5, -2, 3.25], dtype=np.float32),
    lambda: array.array("d", [1.5, -2, 3.25]),
    lambda: array.array("f", [1.5, -2, 3.25]),
    lambda: (x for x in [1.5, -2, 3.25]),
    lambda: map(float, ["1.5", "-2", "3.25"]),
], ids=["list", "tuple", "float64", "strided", "reversed", "float32", "array d", "array f", "generator", "map"])
def test_vector_forms_convert_alike(make):
    result = _cpp.calculate_vector(make(), [0.0, 0.0, 0.0])
    assert result == [1.5, -2.0, 3.25]
    assert floats_only(result)


SPECIAL = [0.0, -0.0, 5e-324, -2.2250738585072014e-308, 1.7976931348623157e308, math.inf, -math.inf,
           math.nan, 0.1, 1 / 3, -123456.789e-17]


@pytest.mark.parametrize("as_array", [False, True], ids=["list", "array"])
def test_values_pass_bit_for_bit(as_array):
    rng = np.random.default_rng(5)
    raw = rng.integers(0, 2**64, size=(7, 11), dtype=np.uint64).view(np.float64)
    rows = raw.tolist() + [SPECIAL]
    given = np.array(rows) if as_array else rows
    assert same_bits(_cpp.transpose_matrix(_cpp.transpose_matrix(given)), rows)
    assert same_bits(_cpp.calculate_vector(np.array(SPECIAL) if as_array else SPECIAL, [0.0] * len(SPECIAL)),
                     SPECIAL)


def test_unaligned_and_read_only_buffers():
    values = [0.1, -0.0, math.inf, 2.5]
    raw = b"\0" + np.array(values).tobytes()
    unaligned = np.frombuffer(raw, dtype=np.float64, offset=1)
    assert not unaligned.flags.aligned and not unaligned.flags.writeable
    assert same_bits(_cpp.calculate_vector(unaligned, [0.0] * 4), values)
    assert same_bits(_cpp.transpose_matrix(unaligned.reshape(2, 2)), [[0.1, math.inf], [-0.0, 2.5]])


@pytest.mark.parametrize("given, expected", [
    ([], []),
    ([[]], [0.0]),
    ([[], []], [0.0, 0.0]),
    (np.zeros((0, 3)), []),
    (np.zeros((2, 0)), [0.0, 0.0]),
    ([[1.0, 2.0], [3.0, 4.0]], [3.0, 7.0]),
], ids=["no rows", "one empty row", "two empty rows", "0x3 array", "2x0 array", "2x2"])
def test_empty_shapes(given, expected):
    assert _cpp.sum_across_column(given) == expected


def test_empty_vectors():
    assert _cpp.euclidean([], []) == 0.0
    assert _cpp.euclidean(np.zeros(0), ()) == 0.0
    assert _cpp.calculate_vector(np.zeros(0), []) == []


def test_ragged_lists_still_reach_the_functions():
    # Longer rows are within what the leading-block functions read.
    assert _cpp.matrix_product_with_matrix_and_vector([[1, 2, 99], [3, 4]], [1, 1], 2, 2) == [3.0, 7.0]
    assert _cpp.regularize([[1, 2, 3], [4, 5]], 2, 0.5) == [[1.5, 2.0, 3.0], [4.0, 5.5]]


@pytest.mark.parametrize("call, message", [
    (lambda: _cpp.transpose_matrix([[1, 2], [3]]),
     "transpose_matrix: M is ragged (2 rows; row 0 has 2 entries, row 1 has 1), a rectangular matrix is required"),
    (lambda: _cpp.transpose_matrix([]), "transpose_matrix: M is empty, at least one row is required"),
    (lambda: _cpp.transpose_matrix(np.zeros((0, 2))), "transpose_matrix: M is empty, at least one row is required"),
    (lambda: _cpp.scalar_multiply_matrix(((1.0,), (2.0, 3.0)), 2),
     "scalar_multiply_matrix: M is ragged (2 rows; row 0 has 1 entries, row 1 has 2), a rectangular matrix is required"),
    (lambda: _cpp.matrix_with_matrix_multiplication(np.ones((2, 3)), np.ones((2, 2))),
     "matrix_with_matrix_multiplication: A is 2x3, B is 2x2"),
    (lambda: _cpp.euclidean(np.ones(3), [1.0]),
     "euclidean: a has 3 entries, b has 1; b must be at least as long as a"),
], ids=["ragged", "empty", "empty array", "ragged tuples", "array shapes", "short b"])
def test_shape_errors_keep_their_messages(call, message):
    with pytest.raises(ValueError) as info:
        call()
    assert str(info.value) == message


class NotANumber:
    pass


@pytest.mark.parametrize("given", [
    "ab", b"ab", [[1, "a"]], [[1, b"a"]], ["ab"], [1.0, 2.0], [[[1.0]]], [[None]], None, 3.0, {"a": 1},
    [[NotANumber()]], [[10**400]], [[1 + 2j]],
    np.ones(3), np.ones((2, 2, 2)), np.ones((2, 2), dtype=complex), np.array([["1", "2"]]),
], ids=["str", "bytes", "str item", "bytes item", "str row", "flat", "too deep", "None item", "None",
        "float", "dict", "object item", "huge int", "complex", "1-D array", "3-D array", "complex array",
        "str array"])
def test_matrix_refuses_non_numbers(given):
    with pytest.raises(TypeError, match="incompatible function arguments"):
        _cpp.transpose_matrix(given)


@pytest.mark.parametrize("given", ["ab", b"ab", None, [[1.0]], np.ones((1, 3)), [1.0, "a"], np.array(1.0),
                                   [np.complex128(1.0)], np.ones(3, dtype=np.complex64)],
                         ids=["str", "bytes", "None", "nested", "2-D array", "str item", "0-D array",
                              "complex scalar", "complex array"])
def test_vector_refuses_non_numbers(given):
    with pytest.raises(TypeError, match="incompatible function arguments"):
        _cpp.euclidean(given, [1.0, 2.0, 3.0])


def test_int_parameters_still_refuse_floats():
    with pytest.raises(TypeError):
        _cpp.LU_decomposition([[1.0]], 1.0)
    with pytest.raises(TypeError):
        _cpp.LU_decomposition(np.ones((1, 1)), np.float64(1.0))
    assert _cpp.LU_decomposition(np.ones((1, 1)), np.int64(1)) == ([[1.0]], [[1.0]])


def test_results_are_new_lists_and_arguments_copies():
    given = [[1.0, 2.0]]
    arr = np.array(given)
    result = _cpp.regularize(arr, 0, 0.0)
    assert result == given and type(result) is list and type(result[0]) is list
    arr[0, 0] = 9.0
    assert result == given
    pair = _cpp.LU_decomposition(np.array([[4.0, 3.0], [6.0, 3.0]]), 2)
    assert type(pair) is tuple and pair == ([[1.0, 0.0], [1.5, 1.0]], [[4.0, 3.0], [0.0, -1.5]])


MUTATING = """
import _cpp
rows = [[0.0, 2.0, 3.0]]
class Clears:
    def __init__(self, target): self.target = target
    def __float__(self):
        self.target.clear()
        return 1.0
rows[0][0] = Clears(rows[0])
print(_cpp.sum_across_column(rows))
outer = [[0.0, 1.0], [2.0, 3.0], [4.0, 5.0]]
outer[0][0] = Clears(outer)
print(_cpp.sum_across_column(outer))
"""


def test_lists_changed_while_converting_do_not_crash():
    # A __float__ that empties the list being read: the conversion sees the list as it now is.
    done = subprocess.run([sys.executable, "-c", MUTATING], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert done.stdout.split("\n")[:2] == ["[1.0]", "[2.0]"]
