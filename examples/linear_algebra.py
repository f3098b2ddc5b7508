"""Dense linear algebra on lists of lists: products, element-wise work, LU, inverse, distances."""

import _cpp


def main() -> None:
    A = [[4.0, 3.0], [6.0, 3.0]]
    B = [[1.0, 2.0], [3.0, 4.0]]
    print("A @ B         =", _cpp.matrix_with_matrix_multiplication(A, B))
    print("A - B         =", _cpp.matrix_addition_and_sub(A, B, "sub"))
    print("transpose(A)  =", _cpp.transpose_matrix(A))
    L, U = _cpp.LU_decomposition(A, 2)
    print("L, U          =", L, U)
    print("det(A)        =", _cpp.calculate_determinant(U, 2))
    print("inverse(A)    =", _cpp.matrix_inverse(L, U, 2))
    print("euclidean     =", _cpp.euclidean([0.0, 0.0], [3.0, 4.0]))
    print("manhattan     =", _cpp.manhattan([0.0, 0.0], [3.0, 4.0]))
    print("cosine        =", _cpp.cosine([1.0, 0.0], [0.0, 1.0]))


if __name__ == "__main__":
    main()
