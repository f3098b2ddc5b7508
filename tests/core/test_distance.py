"""Distances: worked values, the length of a counts, not-a-number for a zero vector."""

import math

import pytest

import _cpp


def test_worked_examples():
    assert _cpp.euclidean([0, 0], [3, 4]) == 5
    assert _cpp.manhattan([0, 0], [3, 4]) == 7
    assert _cpp.cosine([1, 0], [0, 1]) == 1
    assert _cpp.cosine([1, 2], [2, 4]) == pytest.approx(0, abs=1e-15)
    assert _cpp.cosine([1, 1], [-1, -1]) == pytest.approx(2, abs=1e-15)


def test_cosine_grouping():
    a, b = [0.3, 0.7, 0.1], [0.2, 0.9, 0.4]
    p = b[0] * a[0] + b[1] * a[1] + b[2] * a[2]
    sa = a[0] * a[0] + a[1] * a[1] + a[2] * a[2]
    sb = b[0] * b[0] + b[1] * b[1] + b[2] * b[2]
    assert _cpp.cosine(a, b) == 1 - p / (math.sqrt(sb) * math.sqrt(sa))


def test_empty_and_zero_vectors():
    assert _cpp.euclidean([], []) == 0.0 and _cpp.manhattan([], []) == 0.0
    assert math.isnan(_cpp.cosine([], []))
    assert math.isnan(_cpp.cosine([0, 0], [1, 1]))


@pytest.mark.parametrize("fn", [_cpp.euclidean, _cpp.manhattan, _cpp.cosine])
def test_only_the_length_of_a_counts(fn):
    assert fn([1], [1, 100]) == fn([1], [1])
    with pytest.raises(ValueError, match=f"^{fn.__name__}: a has 2 entries, b has 1"):
        fn([1, 2], [1])
