// Dense matrix helpers on row-major DoubleMatrix values, the arithmetic under the Matrix node, the
// network and GDA. Sums run one term at a time in ascending index order from 0.0. Inputs that would
// make a loop leave its containers raise std::invalid_argument naming the function and the shapes.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "core/check.hpp"
#include "core/types.hpp"

namespace tarnwick {

// f of every entry of M, row by row; M must be non-empty and rectangular (std::invalid_argument
// naming fn and, as `name`, M otherwise).
template <typename F>
DoubleMatrix map_entries(const char* fn, const char* name, const DoubleMatrix& M, F f) {
  const std::size_t cols = check::nonempty_rectangular(fn, name, M);
  DoubleMatrix result(M.size(), DoubleVector(cols, 0.0));
  for (std::size_t i = 0; i < M.size(); ++i) {
    for (std::size_t j = 0; j < cols; ++j) result[i][j] = f(M[i][j]);
  }
  return result;
}

// A (m x k) times B (k x p) through one cblas_dgemm on packed row-major copies; only the first k
// rows of B are read.
DoubleMatrix matrix_with_matrix_multiplication(const DoubleMatrix& A, const DoubleMatrix& B);

// Rows of doubles stored one after another, as the BLAS reads them: borrowed, not owned.
struct Block {
  const double* data = nullptr;
  std::size_t rows = 0, cols = 0;
};
// A product as the BLAS wrote it, row after row, for callers that hand it on whole.
struct DenseMatrix {
  std::size_t rows = 0, cols = 0;
  std::unique_ptr<double[]> data;
};
// The product of matrix_with_matrix_multiplication, same checks and same bits, left in one block.
DenseMatrix dense_product(const DoubleMatrix& A, const DoubleMatrix& B);
// The same product of two blocks, read where they lie: no copy into rows or into packed buffers.
DenseMatrix dense_product(const Block& A, const Block& B);
DoubleMatrix rows_of(const Block& M);
// target := target + op(A) op(B), op transposing where asked, bit for bit as accumulating
// matrix_with_matrix_multiplication(op(A), op(B)) into target would, without building the
// transposes or the product as rows. Runs only when A and B are non-empty and rectangular, their
// inner sizes agree and target is exactly the product's shape (then returns true); otherwise
// returns false and leaves target as it was, for the caller's general path to run or report.
bool accumulate_product(DoubleMatrix& target, const DoubleMatrix& A, bool transpose_a, const DoubleMatrix& B,
                        bool transpose_b);
// Whether m has exactly rows rows of exactly cols entries.
bool has_shape(const DoubleMatrix& m, std::size_t rows, std::size_t cols);
// A + B when operation is exactly "add", A - B for any other text.
DoubleMatrix matrix_addition_and_sub(const DoubleMatrix& A, const DoubleMatrix& B, const std::string& operation);
DoubleMatrix scalar_multiply_matrix(DoubleMatrix M, double factor);
DoubleMatrix element_wise_multiplication(const DoubleMatrix& A, const DoubleMatrix& B);
DoubleMatrix element_wise_division_two_matrices(const DoubleMatrix& A, const DoubleMatrix& B);
// pow(M(i, j), 1.0 / degree), the exponent formed once.
DoubleMatrix element_wise_roots(const DoubleMatrix& M, double degree);
DoubleMatrix transpose_matrix(const DoubleMatrix& M);
DoubleMatrix ReLU_derivative(const DoubleMatrix& M);
// Row sums: entry i is the sum across row i.
DoubleVector sum_across_column(const DoubleMatrix& M);
// v v^T over the first n entries of v.
DoubleMatrix matrix_product_from_vector_and_transpose(int n, const DoubleVector& v);
DoubleVector calculate_vector(const DoubleVector& a, const DoubleVector& b);
// The leading rows x cols block of M times the first cols entries of v.
DoubleVector matrix_product_with_matrix_and_vector(const DoubleMatrix& M, const DoubleVector& v, int rows, int cols);
double scalar_product_from_transpose_and_vector(const DoubleVector& a, const DoubleVector& b);
// amount added to the first n diagonal entries; n <= 0 leaves M as it is.
DoubleMatrix regularize(DoubleMatrix M, int n, double amount);

}  // namespace tarnwick
