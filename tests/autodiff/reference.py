"""Plain-Python references for the autodiff nodes and the activations: one double operation per
entry, as the engine does it, so that forward values and backward rules compare bit for bit."""

import math

from core.reference import matmul, transpose  # noqa: F401  (the Matrix node's product and transpose)


def sigmoid(x):
    """1 / (e^-x + 1); e^-x overflows to infinity for very negative x, and the value settles at 0.0."""
    try:
        return 1.0 / (math.exp(-x) + 1.0)
    except OverflowError:
        return 0.0


def relu(x):
    return x if 0.0 < x else 0.0


def relu_slope(x):
    """The derivative ReLU uses: 0 at 0 and for NaN."""
    return 1.0 if 0.0 < x else 0.0


def emap(f, A):
    return [[f(x) for x in row] for row in A]


def ezip(f, A, B):
    return [[f(x, y) for x, y in zip(ra, rb)] for ra, rb in zip(A, B)]
