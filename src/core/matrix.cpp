#include "core/matrix.hpp"

#include <cblas.h>

#include <cmath>
#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>

#include "core/activation_math.hpp"
#include "core/check.hpp"
#include "core/half_power.hpp"

namespace tarnwick {

namespace {

// The result of an element-wise operation of A and B of the same shape.
template <typename Op>
DoubleMatrix elementwise(const char* fn, const DoubleMatrix& A, const DoubleMatrix& B, Op op) {
  const std::size_t cols = check::nonempty_rectangular(fn, "A", A);
  check::same_shape_prefix(fn, A, B, A.size(), cols);
  DoubleMatrix result(A.size(), DoubleVector(cols, 0.0));
  for (std::size_t i = 0; i < A.size(); ++i) {
    const double* a = A[i].data();
    const double* b = B[i].data();
    double* r = result[i].data();
    for (std::size_t j = 0; j < cols; ++j) r[j] = op(a[j], b[j]);
  }
  return result;
}

// The rows of a rectangular M one after another into out, or those of its transpose.
void pack(const DoubleMatrix& M, bool transpose, double* out) {
  const std::size_t rows = M.size(), cols = M[0].size();
  if (!transpose) {
    for (std::size_t i = 0; i < rows; ++i) std::copy_n(M[i].data(), cols, out + i * cols);
    return;
  }
  // In square tiles, so that both the rows read and the rows written stay in cache.
  constexpr std::size_t tile = 16;
  for (std::size_t i0 = 0; i0 < rows; i0 += tile) {
    const std::size_t i1 = std::min(rows, i0 + tile);
    for (std::size_t j0 = 0; j0 < cols; j0 += tile) {
      const std::size_t j1 = std::min(cols, j0 + tile);
      for (std::size_t i = i0; i < i1; ++i) {
        const double* row = M[i].data();
        for (std::size_t j = j0; j < j1; ++j) out[j * rows + i] = row[j];
      }
    }
  }
}

}  // namespace

namespace {

// Sizes the BLAS can take: it counts elements in 32 bits.
void check_element_counts(const char* fn, std::size_t m, std::size_t k, std::size_t p) {
  constexpr std::uint64_t limit = std::numeric_limits<int>::max();
  if (std::uint64_t(m) * k > limit || std::uint64_t(k) * p > limit || std::uint64_t(m) * p > limit) {
    check::fail(fn, "A is " + std::to_string(m) + "x" + std::to_string(k) + ", B has " + std::to_string(p) +
                        " columns; the element counts exceed 32 bits");
  }
}

// a (m x k) times the first k rows of b (each p long), both row after row. C is filled completely
// (with beta 0.0 the product does not read it), so it is not zero-filled first.
DenseMatrix multiply_blocks(const double* a, const double* b, std::size_t m, std::size_t k, std::size_t p) {
  DenseMatrix c{m, p, std::make_unique_for_overwrite<double[]>(m * p)};
  if (k == 0) {
    std::fill_n(c.data.get(), m * p, 0.0);
  } else if (p > 0) {
    const int M = int(m), N = int(p), K = int(k);
    cblas_dgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, M, N, K, 1.0, a, K, b, N, 0.0, c.data.get(), N);
  }
  return c;
}

constexpr const char* product_name = "matrix_with_matrix_multiplication";

}  // namespace

DenseMatrix dense_product(const DoubleMatrix& A, const DoubleMatrix& B) {
  const char* fn = product_name;
  const std::size_t k = check::nonempty_rectangular(fn, "A", A);
  if (B.empty()) check::fail(fn, "A is " + check::shape(A) + ", B is empty; B needs at least one row");
  const std::size_t m = A.size();
  const std::size_t p = B[0].size();
  check::same_shape_prefix(fn, A, B, k, p);
  check_element_counts(fn, m, k, p);
  if (k == 0 || p == 0) return multiply_blocks(nullptr, nullptr, m, k, p);
  auto a = std::make_unique_for_overwrite<double[]>(m * k);
  pack(A, false, a.get());
  auto b = std::make_unique_for_overwrite<double[]>(k * p);
  for (std::size_t i = 0; i < k; ++i) std::copy_n(B[i].data(), p, b.get() + i * p);
  return multiply_blocks(a.get(), b.get(), m, k, p);
}

DenseMatrix dense_product(const Block& A, const Block& B) {
  // Shapes that make no product go the way of rows, whose checks say what is wrong.
  if (A.rows == 0 || B.rows == 0 || B.rows < A.cols) return dense_product(rows_of(A), rows_of(B));
  check_element_counts(product_name, A.rows, A.cols, B.cols);
  return multiply_blocks(A.data, B.data, A.rows, A.cols, B.cols);
}

DoubleMatrix rows_of(const Block& M) {
  DoubleMatrix rows;
  rows.reserve(M.rows);
  for (std::size_t i = 0; i < M.rows; ++i) rows.emplace_back(M.data + i * M.cols, M.data + (i + 1) * M.cols);
  return rows;
}

DoubleMatrix matrix_with_matrix_multiplication(const DoubleMatrix& A, const DoubleMatrix& B) {
  const DenseMatrix c = dense_product(A, B);
  return rows_of(Block{c.data.get(), c.rows, c.cols});
}

bool has_shape(const DoubleMatrix& m, std::size_t rows, std::size_t cols) {
  if (m.size() != rows) return false;
  for (const auto& row : m) {
    if (row.size() != cols) return false;
  }
  return true;
}

bool accumulate_product(DoubleMatrix& target, const DoubleMatrix& A, bool transpose_a, const DoubleMatrix& B,
                        bool transpose_b) {
  if (A.empty() || B.empty()) return false;
  const std::size_t a_rows = A.size(), a_cols = A[0].size(), b_rows = B.size(), b_cols = B[0].size();
  if (!has_shape(A, a_rows, a_cols) || !has_shape(B, b_rows, b_cols)) return false;
  const std::size_t m = transpose_a ? a_cols : a_rows, k = transpose_a ? a_rows : a_cols;
  const std::size_t p = transpose_b ? b_rows : b_cols;
  if (m == 0 || k == 0 || p == 0 || (transpose_b ? b_cols : b_rows) != k || !has_shape(target, m, p)) return false;
  constexpr std::uint64_t limit = std::numeric_limits<int>::max();
  if (std::uint64_t(m) * k > limit || std::uint64_t(k) * p > limit || std::uint64_t(m) * p > limit) return false;
  // The packed buffers hold what packing the built transposes would: the same product call reads
  // the same numbers.
  auto a = std::make_unique_for_overwrite<double[]>(m * k);
  auto b = std::make_unique_for_overwrite<double[]>(k * p);
  auto c = std::make_unique_for_overwrite<double[]>(m * p);
  pack(A, transpose_a, a.get());
  pack(B, transpose_b, b.get());
  cblas_dgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, int(m), int(p), int(k), 1.0, a.get(), int(k), b.get(),
              int(p), 0.0, c.get(), int(p));
  for (std::size_t i = 0; i < m; ++i) {
    double* t = target[i].data();
    const double* u = c.get() + i * p;
    for (std::size_t j = 0; j < p; ++j) t[j] = t[j] + u[j];
  }
  return true;
}

DoubleMatrix matrix_addition_and_sub(const DoubleMatrix& A, const DoubleMatrix& B, const std::string& operation) {
  constexpr const char* fn = "matrix_addition_and_sub";
  if (operation == "add") return elementwise(fn, A, B, [](double x, double y) { return x + y; });
  return elementwise(fn, A, B, [](double x, double y) { return x - y; });
}

DoubleMatrix scalar_multiply_matrix(DoubleMatrix M, double factor) {
  const std::size_t cols = check::rectangular("scalar_multiply_matrix", "M", M);
  for (auto& row : M) {
    for (std::size_t j = 0; j < cols; ++j) row[j] = row[j] * factor;
  }
  return M;
}

DoubleMatrix element_wise_multiplication(const DoubleMatrix& A, const DoubleMatrix& B) {
  return elementwise("element_wise_multiplication", A, B, [](double x, double y) { return x * y; });
}

DoubleMatrix element_wise_division_two_matrices(const DoubleMatrix& A, const DoubleMatrix& B) {
  return elementwise("element_wise_division_two_matrices", A, B, [](double x, double y) { return x / y; });
}

DoubleMatrix element_wise_roots(const DoubleMatrix& M, double degree) {
  const double e = 1.0 / degree;
  if (e == 0.5) {
    const std::size_t cols = check::nonempty_rectangular("element_wise_roots", "M", M);
    DoubleMatrix result(M.size(), DoubleVector(cols));
    for (std::size_t i = 0; i < M.size(); ++i) half_powers(M[i].data(), result[i].data(), cols);
    return result;
  }
  return map_entries("element_wise_roots", "M", M, [e](double x) { return std::pow(x, e); });
}

DoubleMatrix transpose_matrix(const DoubleMatrix& M) {
  const std::size_t c = check::nonempty_rectangular("transpose_matrix", "M", M);
  const std::size_t r = M.size();
  DoubleMatrix result(c, DoubleVector(r, 0.0));
  for (std::size_t i = 0; i < r; ++i) {
    for (std::size_t j = 0; j < c; ++j) result[j][i] = M[i][j];
  }
  return result;
}

DoubleMatrix ReLU_derivative(const DoubleMatrix& M) {
  return map_entries("ReLU_derivative", "M", M, activation_math::relu_slope);
}

DoubleVector sum_across_column(const DoubleMatrix& M) {
  const std::size_t cols = check::rectangular("sum_across_column", "M", M);
  DoubleVector result(M.size(), 0.0);
  for (std::size_t i = 0; i < M.size(); ++i) {
    double s = 0.0;
    for (std::size_t j = 0; j < cols; ++j) s += M[i][j];
    result[i] = s;
  }
  return result;
}

DoubleMatrix matrix_product_from_vector_and_transpose(int n, const DoubleVector& v) {
  check::size_argument(n);
  if (v.size() < std::size_t(n)) {
    check::fail("matrix_product_from_vector_and_transpose",
                "n is " + std::to_string(n) + " but v has " + std::to_string(v.size()) + " entries");
  }
  DoubleMatrix result(n, DoubleVector(n, 0.0));
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) result[i][j] = v[i] * v[j];
  }
  return result;
}

DoubleVector calculate_vector(const DoubleVector& a, const DoubleVector& b) {
  check::covers("calculate_vector", a, b);
  DoubleVector result(a);
  for (std::size_t i = 0; i < a.size(); ++i) result[i] = a[i] - b[i];
  return result;
}

DoubleVector matrix_product_with_matrix_and_vector(const DoubleMatrix& M, const DoubleVector& v, int rows, int cols) {
  constexpr const char* fn = "matrix_product_with_matrix_and_vector";
  check::size_argument(rows);
  check::size_argument(cols);
  check::leading_block(fn, "M", M, rows, cols);
  if (v.size() < std::size_t(cols)) {
    check::fail(fn, "cols is " + std::to_string(cols) + " but v has " + std::to_string(v.size()) + " entries");
  }
  // Each product is rounded on its own before the row sum, as a temporary matrix would hold it.
  DoubleVector result(rows, 0.0);
  for (int r = 0; r < rows; ++r) {
    double s = 0.0;
    for (int c = 0; c < cols; ++c) s += M[r][c] * v[c];
    result[r] = s;
  }
  return result;
}

double scalar_product_from_transpose_and_vector(const DoubleVector& a, const DoubleVector& b) {
  check::covers("scalar_product_from_transpose_and_vector", a, b);
  double s = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) s += a[i] * b[i];
  return s;
}

DoubleMatrix regularize(DoubleMatrix M, int n, double amount) {
  if (n <= 0) return M;
  check::leading_block("regularize", "M", M, n, n);
  for (int i = 0; i < n; ++i) M[i][i] = M[i][i] + amount;
  return M;
}

}  // namespace tarnwick
