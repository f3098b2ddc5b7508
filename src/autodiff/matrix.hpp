// The matrix node: `matrix` (rows x columns, row-major) and a `gradient` of its shape, zeros at
// creation. Every value is computed through the dense matrix helpers, which reject empty, ragged
// or mismatched operands with std::invalid_argument; backward rules read the operands' values as
// they are when the rule runs and add into the operands' gradients.
#pragma once

#include <memory>
#include <string>

#include "autodiff/element.hpp"
#include "core/types.hpp"

namespace tarnwick {

class Matrix : public NodeOf<Matrix> {
 public:
  static constexpr const char* kind_name = "Matrix";
  explicit Matrix(DoubleMatrix matrix, Operands children = {}, std::string operation = "");

  // Element's unary operations; the result is a node of this class.
  ElementPtr neg() override;
  ElementPtr relu() override;
  ElementPtr sigmoid() override;
  ElementPtr tanh_op() override;
  ElementPtr exp_op() override;
  ElementPtr log_op() override;

  // `mul` is the matrix product and `truediv` the element-wise quotient.
  std::shared_ptr<Matrix> add(const std::shared_ptr<Matrix>& other);
  std::shared_ptr<Matrix> mul(const std::shared_ptr<Matrix>& other);
  std::shared_ptr<Matrix> sub(const std::shared_ptr<Matrix>& other);
  std::shared_ptr<Matrix> truediv(const std::shared_ptr<Matrix>& other);
  std::shared_ptr<Matrix> element_wise_mult(const std::shared_ptr<Matrix>& other);
  std::shared_ptr<Matrix> scalar_multiply(double c);
  std::shared_ptr<Matrix> transpose_op();
  // One column: the sum of each row, left to right from 0.0.
  std::shared_ptr<Matrix> sum_cols();

  DoubleMatrix matrix;
  // Rows of `matrix` x the length of its first row; empty when `matrix` is.
  DoubleMatrix gradient;
};

// A node labelled "broadcast": the first entry of each row of `bias` (a column) repeated across
// `columns` columns. Its rule adds each gradient row's sum, left to right, into the bias gradient.
std::shared_ptr<Matrix> broadcast_bias(const std::shared_ptr<Matrix>& bias, int columns);

// target := target + update in place: matrix_addition_and_sub's checks and sums without a new
// matrix, so a shape mismatch is reported (ValueError naming that helper), never read.
void accumulate(DoubleMatrix& target, const DoubleMatrix& update);

}  // namespace tarnwick
