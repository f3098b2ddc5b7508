#include "autodiff/matrix.hpp"

#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>

#include "core/activation_math.hpp"
#include "core/check.hpp"
#include "core/matrix.hpp"

namespace tarnwick {

namespace {

DoubleMatrix zeros_like(const DoubleMatrix& m) {
  if (m.empty()) return {};
  return DoubleMatrix(m.size(), DoubleVector(m[0].size(), 0.0));
}

DoubleMatrix ones_like(const char* fn, const DoubleMatrix& m) {
  const std::size_t cols = check::nonempty_rectangular(fn, "the matrix", m);
  return DoubleMatrix(m.size(), DoubleVector(cols, 1.0));
}

// f of every entry, with the node's own wording when the matrix is empty or ragged.
template <typename F>
DoubleMatrix map_values(const char* fn, const DoubleMatrix& m, F f) {
  return map_entries(fn, "the matrix", m, f);
}

DoubleMatrix negated(DoubleMatrix m) {
  for (auto& row : m) {
    for (double& x : row) x = -x;
  }
  return m;
}

}  // namespace

void accumulate(DoubleMatrix& target, const DoubleMatrix& update) {
  // matrix_addition_and_sub(target, update, "add") written in place: the same checks, the same sums.
  constexpr const char* fn = "matrix_addition_and_sub";
  const std::size_t cols = check::nonempty_rectangular(fn, "A", target);
  check::same_shape_prefix(fn, target, update, target.size(), cols);
  for (std::size_t i = 0; i < target.size(); ++i) {
    double* t = target[i].data();
    const double* u = update[i].data();
    for (std::size_t j = 0; j < cols; ++j) t[j] = t[j] + u[j];
  }
}

Matrix::Matrix(DoubleMatrix matrix, Operands children, std::string operation)
    : NodeOf(std::move(children), std::move(operation)),
      matrix(std::move(matrix)),
      gradient(zeros_like(this->matrix)) {}

std::shared_ptr<Matrix> Matrix::add(const std::shared_ptr<Matrix>& other) {
  const Matrix& b = operand("add", other);
  return binary(other, matrix_addition_and_sub(matrix, b.matrix, "add"), "add", [](Matrix& a, Matrix& b, const Matrix& o) {
    accumulate(a.gradient, o.gradient);
    accumulate(b.gradient, o.gradient);
  });
}

std::shared_ptr<Matrix> Matrix::sub(const std::shared_ptr<Matrix>& other) {
  const Matrix& b = operand("sub", other);
  return binary(other, matrix_addition_and_sub(matrix, b.matrix, "sub"), "sub", [](Matrix& a, Matrix& b, const Matrix& o) {
    accumulate(a.gradient, o.gradient);
    accumulate(b.gradient, negated(o.gradient));
  });
}

std::shared_ptr<Matrix> Matrix::mul(const std::shared_ptr<Matrix>& other) {
  const Matrix& b = operand("mul", other);
  return binary(other, matrix_with_matrix_multiplication(matrix, b.matrix), "mul", [](Matrix& a, Matrix& b, const Matrix& o) {
    // G · Bᵀ and Aᵀ · G, packed straight from the operands where the shapes are those of a product.
    if (!accumulate_product(a.gradient, o.gradient, false, b.matrix, true)) {
      accumulate(a.gradient, matrix_with_matrix_multiplication(o.gradient, transpose_matrix(b.matrix)));
    }
    if (!accumulate_product(b.gradient, a.matrix, true, o.gradient, false)) {
      accumulate(b.gradient, matrix_with_matrix_multiplication(transpose_matrix(a.matrix), o.gradient));
    }
  });
}

std::shared_ptr<Matrix> Matrix::truediv(const std::shared_ptr<Matrix>& other) {
  const Matrix& b = operand("truediv", other);
  return binary(other, element_wise_division_two_matrices(matrix, b.matrix), "elt_div",
                [](Matrix& a, Matrix& b, const Matrix& o) {
                  const DoubleMatrix reciprocal =
                      element_wise_division_two_matrices(ones_like("Matrix.truediv backward", b.matrix), b.matrix);
                  accumulate(a.gradient, element_wise_multiplication(reciprocal, o.gradient));
                  // The quotient is formed and its sign flipped before the product with G.
                  const DoubleMatrix d = negated(
                      element_wise_division_two_matrices(a.matrix, element_wise_multiplication(b.matrix, b.matrix)));
                  accumulate(b.gradient, element_wise_multiplication(d, o.gradient));
                });
}

std::shared_ptr<Matrix> Matrix::element_wise_mult(const std::shared_ptr<Matrix>& other) {
  const Matrix& b = operand("element_wise_mult", other);
  return binary(other, element_wise_multiplication(matrix, b.matrix), "elt_mul", [](Matrix& a, Matrix& b, const Matrix& o) {
    accumulate(a.gradient, element_wise_multiplication(b.matrix, o.gradient));
    accumulate(b.gradient, element_wise_multiplication(a.matrix, o.gradient));
  });
}

std::shared_ptr<Matrix> Matrix::scalar_multiply(double c) {
  check::nonempty_rectangular("Matrix.scalar_multiply", "the matrix", matrix);
  // The constant is not a node: the rule keeps it and no gradient is formed for it.
  return unary(scalar_multiply_matrix(matrix, c), "scalar_mul",
               [c](Matrix& a, const Matrix& o) { accumulate(a.gradient, scalar_multiply_matrix(o.gradient, c)); });
}

std::shared_ptr<Matrix> Matrix::transpose_op() {
  return unary(transpose_matrix(matrix), "transpose",
               [](Matrix& a, const Matrix& o) { accumulate(a.gradient, transpose_matrix(o.gradient)); });
}

std::shared_ptr<Matrix> Matrix::sum_cols() {
  const int w = check::count32("Matrix.sum_cols", check::nonempty_rectangular("Matrix.sum_cols", "the matrix", matrix),
                               "a row of the matrix");
  const DoubleVector sums = sum_across_column(matrix);
  DoubleMatrix value(sums.size());
  for (std::size_t i = 0; i < sums.size(); ++i) value[i] = {sums[i]};
  // Every entry of a row received that row's sum, so each one gets the row's gradient back; the
  // width is the operand's at creation.
  return unary(std::move(value), "sum_cols", [w](Matrix& a, const Matrix& o) {
    const DoubleMatrix& g = o.gradient;
    for (const auto& row : g) {
      if (row.empty()) check::fail("Matrix.sum_cols backward", "the gradient is " + check::shape(g) + ", a column is required");
    }
    DoubleMatrix spread(g.size());
    for (std::size_t i = 0; i < g.size(); ++i) spread[i].assign(std::size_t(w), g[i][0]);
    accumulate(a.gradient, spread);
  });
}

std::shared_ptr<Matrix> broadcast_bias(const std::shared_ptr<Matrix>& bias, int columns) {
  const DoubleMatrix& b = bias->matrix;
  DoubleMatrix value(b.size());
  for (std::size_t i = 0; i < b.size(); ++i) value[i].assign(std::size_t(columns), b[i][0]);
  auto out = std::make_shared<Matrix>(std::move(value), Operands(bias), "broadcast");
  attach_backward(out, [bias, columns](Matrix& o) {
    const DoubleMatrix& g = o.gradient;
    check::leading_block("broadcast_bias backward", "the gradient", g, g.size(), std::size_t(columns));
    const auto row_sum = [&g, columns](std::size_t i) {
      double s = 0.0;
      for (int j = 0; j < columns; ++j) s += g[i][j];
      return s;
    };
    DoubleMatrix& target = bias->gradient;
    if (has_shape(target, g.size(), 1)) {
      // What accumulating the column of sums does, without building it.
      for (std::size_t i = 0; i < g.size(); ++i) target[i][0] = target[i][0] + row_sum(i);
      return;
    }
    DoubleMatrix sums(g.size(), DoubleVector(1, 0.0));
    for (std::size_t i = 0; i < g.size(); ++i) sums[i][0] = row_sum(i);
    accumulate(target, sums);
  });
  return out;
}

ElementPtr Matrix::neg() {
  check::nonempty_rectangular("Matrix.neg", "the matrix", matrix);
  return unary(negated(matrix), "neg", [](Matrix& a, const Matrix& o) { accumulate(a.gradient, negated(o.gradient)); });
}

ElementPtr Matrix::relu() {
  return unary(map_values("Matrix.relu", matrix, activation_math::relu), "relu", [](Matrix& a, const Matrix& o) {
    accumulate(a.gradient, element_wise_multiplication(ReLU_derivative(a.matrix), o.gradient));
  });
}

// The slopes of sigmoid and tanh are taken from the output as it is when the rule runs.
ElementPtr Matrix::sigmoid() {
  return unary(map_values("Matrix.sigmoid", matrix, activation_math::sigmoid), "sigmoid",
               [](Matrix& a, const Matrix& o) {
                 const DoubleMatrix slope =
                     map_values("Matrix.sigmoid backward", o.matrix, activation_math::sigmoid_slope);
                 accumulate(a.gradient, element_wise_multiplication(slope, o.gradient));
               });
}

ElementPtr Matrix::tanh_op() {
  return unary(map_values("Matrix.tanh_op", matrix, activation_math::tanh), "tanh", [](Matrix& a, const Matrix& o) {
    const DoubleMatrix slope = map_values("Matrix.tanh_op backward", o.matrix, activation_math::tanh_slope);
    accumulate(a.gradient, element_wise_multiplication(slope, o.gradient));
  });
}

ElementPtr Matrix::exp_op() {
  return unary(map_values("Matrix.exp_op", matrix, [](double x) { return std::exp(x); }), "exp",
               [](Matrix& a, const Matrix& o) { accumulate(a.gradient, element_wise_multiplication(o.matrix, o.gradient)); });
}

ElementPtr Matrix::log_op() {
  return unary(map_values("Matrix.log_op", matrix, [](double x) { return std::log(x); }), "log",
               [](Matrix& a, const Matrix& o) {
                 const DoubleMatrix slope =
                     element_wise_division_two_matrices(ones_like("Matrix.log_op backward", a.matrix), a.matrix);
                 accumulate(a.gradient, element_wise_multiplication(slope, o.gradient));
               });
}

}  // namespace tarnwick
