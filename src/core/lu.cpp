#include "core/lu.hpp"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "core/check.hpp"
#include "core/interrupt.hpp"
#include "core/vector_clones.hpp"

namespace tarnwick {

namespace {

// The next term of n independent sums at once: acc[c] += a * x[c]. Each sum still takes its terms
// one at a time in its own order, so walking many sums side by side changes no rounding; it lets
// the inner loop stream through one contiguous row and use the vector unit.
TARNWICK_VECTOR_CLONES void add_scaled(double* __restrict acc, const double* __restrict x, double a,
                                       std::size_t n) {
  for (std::size_t c = 0; c < n; ++c) acc[c] += a * x[c];
}

// Four terms in turn, acc[c] = (((acc[c] + a[0] x0[c]) + a[1] x1[c]) + a[2] x2[c]) + a[3] x3[c]:
// the same additions in the same order as four calls of add_scaled, with acc read and written
// once instead of four times.
TARNWICK_VECTOR_CLONES void add_scaled4(
    double* __restrict acc, const double* __restrict x0, const double* __restrict x1,
    const double* __restrict x2, const double* __restrict x3, const double* a, std::size_t n) {
  const double a0 = a[0], a1 = a[1], a2 = a[2], a3 = a[3];
  for (std::size_t c = 0; c < n; ++c) {
    double t = acc[c];
    t += a0 * x0[c];
    t += a1 * x1[c];
    t += a2 * x2[c];
    t += a3 * x3[c];
    acc[c] = t;
  }
}

// acc += a[l] * rows[first + l] for l = 0, 1, ..., count - 1, term by term in that order.
void add_rows(double* acc, const DoubleMatrix& rows, std::size_t first, const double* a, std::size_t count,
              std::size_t n) {
  std::size_t l = 0;
  for (; l + 4 <= count; l += 4) {
    add_scaled4(acc, rows[first + l].data(), rows[first + l + 1].data(), rows[first + l + 2].data(),
                rows[first + l + 3].data(), a + l, n);
  }
  for (; l < count; ++l) add_scaled(acc, rows[first + l].data(), a[l], n);
}

}  // namespace

std::pair<DoubleMatrix, DoubleMatrix> LU_decomposition(const DoubleMatrix& A, int n) {
  check::size_argument(n);
  check::leading_block("LU_decomposition", "A", A, n, n);
  const std::size_t N = std::size_t(n);
  // Column-major copies: Lc[m * N + i] = L(i, m), Uc[k * N + j] = U(j, k). The sums of column k
  // all need column m of L at step m, which is then one contiguous run. Unset entries stay 0.0.
  std::vector<double> Lc(N * N, 0.0), Uc(N * N, 0.0);
  for (std::size_t i = 0; i < N; ++i) {
    Lc[i * N + i] = 1.0;
    Uc[i * N] = A[0][i];
    Lc[i] = A[i][0] / Uc[0];
  }
  // acc[j] is the running sum of L(j, m) * U(m, k) over m = 0, 1, ... for the column k at hand:
  // for j <= k it is complete once m reaches j, for j > k once m reaches k.
  std::vector<double> acc(N);
  // Ctrl-C is seen between columns, each at most about n * n multiply-adds; only local copies
  // change, so the exception leaves nothing behind.
  for (std::size_t k = 1; k < N; ++k) {
    poll_interrupt();
    std::fill(acc.begin(), acc.end(), 0.0);
    double* u = &Uc[k * N];
    for (std::size_t m = 0; m < k; ++m) {
      u[m] = A[m][k] - acc[m];
      add_scaled(acc.data() + m + 1, &Lc[m * N + m + 1], u[m], N - m - 1);
    }
    u[k] = A[k][k] - acc[k];
    // The reciprocal is formed once and multiplied: not the rounding of a division.
    const double r = 1.0 / u[k];
    double* l = &Lc[k * N];
    for (std::size_t i = k + 1; i < N; ++i) l[i] = (A[i][k] - acc[i]) * r;
  }
  DoubleMatrix L(N, DoubleVector(N)), U(N, DoubleVector(N));
  for (std::size_t i = 0; i < N; ++i) {
    for (std::size_t j = 0; j < N; ++j) {
      L[i][j] = Lc[j * N + i];
      U[i][j] = Uc[j * N + i];
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
  const std::size_t N = std::size_t(n);
  // Row j of Y (and row d of X) starts as the 0.0 its column sums start from; the sums over l
  // (over m) then run for every column c at once, in ascending order, before the row is finished.
  DoubleMatrix Y(N, DoubleVector(N, 0.0));
  DoubleMatrix X(N, DoubleVector(N, 0.0));
  if (N == 0) return X;
  Y[0][0] = 1.0;  // row 0 of the identity
  // Ctrl-C is seen between rows, each at most about n * n multiply-adds.
  for (std::size_t j = 1; j < N; ++j) {
    poll_interrupt();
    double* y = Y[j].data();
    add_rows(y, Y, 0, L[j].data(), j, N);
    for (std::size_t c = 0; c < N; ++c) y[c] = (c == j ? 1.0 : 0.0) - y[c];
  }
  for (std::size_t d = N; d-- > 0;) {
    poll_interrupt();
    const double r = 1.0 / U[d][d];
    double* x = X[d].data();
    add_rows(x, X, d + 1, U[d].data() + d + 1, N - d - 1, N);
    const double* y = Y[d].data();
    for (std::size_t c = 0; c < N; ++c) x[c] = (y[c] - x[c]) * r;
  }
  return X;
}

}  // namespace tarnwick
