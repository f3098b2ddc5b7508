"""Plain-Python references for the dense helpers, written in the library's own order and groupings
(sums one term at a time from 0.0, a reciprocal formed first and then multiplied), so that results
can be compared bit for bit; and the comparison that treats every NaN as one value."""

import math
import struct


def matmul(A, B):
    """The product, each entry correctly rounded (exact on integers and quarter-integers)."""
    return [[math.fsum(a * b for a, b in zip(row, col)) for col in zip(*B)] for row in A]


def transpose(A):
    return [list(col) for col in zip(*A)]


def divide(a, b):
    """IEEE division, where Python would raise on a zero divisor."""
    if b != 0.0 or math.isnan(b):
        return a / b
    if math.isnan(a) or a == 0.0:
        return math.nan
    return math.copysign(math.inf, a) * math.copysign(1.0, b)


def lu(A, n):
    """(L, U) of the leading n x n block, without pivoting."""
    L = [[0.0] * n for _ in range(n)]
    U = [[0.0] * n for _ in range(n)]
    for i in range(n):
        L[i][i] = 1.0
        U[0][i] = A[0][i]
        L[i][0] = divide(A[i][0], U[0][0])
    for k in range(1, n):
        for j in range(k + 1):
            s = 0.0
            for m in range(j):
                s += L[j][m] * U[m][k]
            U[j][k] = A[j][k] - s
        r = divide(1.0, U[k][k])
        for i in range(k + 1, n):
            s = 0.0
            for m in range(k):
                s += L[i][m] * U[m][k]
            L[i][k] = (A[i][k] - s) * r
    return L, U


def inverse(L, U, n):
    """The inverse of L U: forward substitution with L's unit diagonal, then back substitution."""
    Y = [[1.0 if i == j else 0.0 for j in range(n)] for i in range(n)]
    for j in range(1, n):
        for c in range(n):
            s = 0.0
            for l in range(j):
                s += L[j][l] * Y[l][c]
            Y[j][c] = (1.0 if j == c else 0.0) - s
    X = [[0.0] * n for _ in range(n)]
    for d in range(n - 1, -1, -1):
        r = divide(1.0, U[d][d])
        for c in range(n):
            s = 0.0
            for m in range(d + 1, n):
                s += U[d][m] * X[m][c]
            X[d][c] = (Y[d][c] - s) * r
    return X


def same_bits(a, b):
    """Equal to the bit, nested lists included, except that every NaN equals every NaN (their sign
    and payload are not part of the arithmetic)."""
    if isinstance(a, list):
        return isinstance(b, list) and len(a) == len(b) and all(same_bits(x, y) for x, y in zip(a, b))
    return (math.isnan(a) and math.isnan(b)) or struct.pack("<d", a) == struct.pack("<d", b)
