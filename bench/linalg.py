"""Dense linear algebra: the matrix product and the LU inverse against numpy."""

import numpy as np

import _cpp
from harness import Case, scenario

ORDER = 10
SCENARIOS: list = []

_rng = np.random.default_rng(8)


@scenario(SCENARIOS, "matmul 512x512, lists in and out", peer="numpy",
          needs=("matrix_with_matrix_multiplication",))
def matmul_lists() -> Case:
    A = _rng.random((512, 512)).tolist()
    B = _rng.random((512, 512)).tolist()
    return Case(lambda: _cpp.matrix_with_matrix_multiplication(A, B),
                lambda: (np.array(A) @ np.array(B)).tolist())


@scenario(SCENARIOS, "matmul 512x512, arrays in, lists out", peer="numpy",
          needs=("matrix_with_matrix_multiplication",))
def matmul_arrays() -> Case:
    A = _rng.random((512, 512))
    B = _rng.random((512, 512))
    return Case(lambda: _cpp.matrix_with_matrix_multiplication(A, B), lambda: (A @ B).tolist())


@scenario(SCENARIOS, "inverse 200x200 (LU_decomposition + matrix_inverse), lists", peer="numpy",
          needs=("LU_decomposition", "matrix_inverse"))
def inverse() -> Case:
    n = 200
    # Diagonally dominant: well conditioned, and no pivot exchange is needed.
    A = (_rng.random((n, n)) + n * np.eye(n)).tolist()

    def ours():
        L, U = _cpp.LU_decomposition(A, n)
        return _cpp.matrix_inverse(L, U, n)

    return Case(ours, lambda: np.linalg.inv(np.array(A)).tolist())
