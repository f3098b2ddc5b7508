// LU factorisation without pivoting (Doolittle, column by column), determinant from a triangular
// diagonal and inverse by forward then back substitution, all on the leading n x n block.
// A zero or tiny pivot is not detected: it propagates as infinities and not-a-numbers. Matrices
// that need row exchanges are outside what this factorisation can do.
#pragma once

#include <utility>

#include "core/types.hpp"

namespace tarnwick {

// (L, U) with L unit lower-triangular and U upper-triangular, A = L U.
std::pair<DoubleMatrix, DoubleMatrix> LU_decomposition(const DoubleMatrix& A, int n);
// 1.0 * U(0,0) * ... * U(n-1,n-1); meaningful as a determinant only for a triangular U.
double calculate_determinant(const DoubleMatrix& U, int n);
// (L U)^-1; L's diagonal is taken as 1 and not read.
DoubleMatrix matrix_inverse(const DoubleMatrix& L, const DoubleMatrix& U, int n);

}  // namespace tarnwick
