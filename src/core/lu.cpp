#include "core/lu.hpp"

#include "core/check.hpp"

namespace tarnwick {

std::pair<DoubleMatrix, DoubleMatrix> LU_decomposition(const DoubleMatrix& A, int n) {
  check::size_argument(n);
  check::leading_block("LU_decomposition", "A", A, n, n);
  DoubleMatrix L(n, DoubleVector(n, 0.0));
  DoubleMatrix U(n, DoubleVector(n, 0.0));
  for (int i = 0; i < n; ++i) {
    L[i][i] = 1.0;
    U[0][i] = A[0][i];
    L[i][0] = A[i][0] / U[0][0];
  }
  for (int k = 1; k < n; ++k) {
    for (int j = 0; j <= k; ++j) {
      double s = 0.0;
      for (int m = 0; m < j; ++m) s += L[j][m] * U[m][k];
      U[j][k] = A[j][k] - s;
    }
    // The reciprocal is formed once and multiplied: not the rounding of a division.
    const double r = 1.0 / U[k][k];
    for (int i = k + 1; i < n; ++i) {
      double s = 0.0;
      for (int m = 0; m < k; ++m) s += L[i][m] * U[m][k];
      L[i][k] = (A[i][k] - s) * r;
    }
  }
  return {std::move(L), std::move(U)};
}

double calculate_determinant(const DoubleMatrix& U, int n) {
  if (n <= 0) return 1.0;
  check::leading_block("calculate_determinant", "U", U, n, n);
  double det = 1.0;
  for (int i = 0; i < n; ++i) det = det * U[i][i];
  return det;
}

DoubleMatrix matrix_inverse(const DoubleMatrix& L, const DoubleMatrix& U, int n) {
  check::size_argument(n);
  check::leading_block("matrix_inverse", "L", L, n, n);
  check::leading_block("matrix_inverse", "U", U, n, n);
  DoubleMatrix I(n, DoubleVector(n, 0.0));
  for (int i = 0; i < n; ++i) I[i][i] = 1.0;
  DoubleMatrix Y(n, DoubleVector(n, 0.0));
  DoubleMatrix X(n, DoubleVector(n, 0.0));
  if (n == 0) return X;
  Y[0] = I[0];
  // Every column's sum runs over l in ascending order; walking c innermost keeps that order.
  for (int j = 1; j < n; ++j) {
    for (int c = 0; c < n; ++c) {
      double s = 0.0;
      for (int l = 0; l < j; ++l) s += L[j][l] * Y[l][c];
      Y[j][c] = I[j][c] - s;
    }
  }
  for (int d = n - 1; d >= 0; --d) {
    const double r = 1.0 / U[d][d];
    for (int c = 0; c < n; ++c) {
      double s = 0.0;
      for (int m = d + 1; m < n; ++m) s += U[d][m] * X[m][c];
      X[d][c] = (Y[d][c] - s) * r;
    }
  }
  return X;
}

}  // namespace tarnwick
