#include "autodiff/activation.hpp"

#include <cmath>
#include <stdexcept>
#include <typeinfo>
#include <vector>

#include "core/check.hpp"
#include "core/matrix.hpp"

namespace tarnwick {

double ReLU::forward(double x) { return 0.0 < x ? x : 0.0; }
double ReLU::derivative(double x) { return 0.0 < x ? 1.0 : 0.0; }

double Sigmoid::forward(double x) { return 1.0 / (std::exp(-x) + 1.0); }
double Sigmoid::derivative(double x) {
  const double s = forward(x);
  return s * (1.0 - s);
}

double Tanh::forward(double x) { return std::tanh(x); }
double Tanh::derivative(double x) {
  const double t = std::tanh(x);
  return 1.0 - t * t;
}

namespace {

// f(x) for every entry of a non-empty rectangular matrix, row by row.
template <typename F>
DoubleMatrix entrywise(const char* fn, const DoubleMatrix& m, F f) {
  const std::size_t cols = check::nonempty_rectangular(fn, "the input", m);
  DoubleMatrix out(m.size(), DoubleVector(cols, 0.0));
  for (std::size_t i = 0; i < m.size(); ++i) {
    for (std::size_t j = 0; j < cols; ++j) out[i][j] = f(m[i][j]);
  }
  return out;
}

// body(forward, derivative, built_in) with the two rules of f as callables: a ReLU's called
// directly, so that the loops over every entry need no virtual call (a Python subclass of ReLU is a
// ReLU here too: it has no override class), any other activation's through the interface.
// built_in says the rules are the library's own, which never run Python code.
template <typename Body>
auto with_rules(ActivationFunction& f, Body body) {
  if (typeid(f) == typeid(ReLU)) {
    auto& relu = static_cast<ReLU&>(f);
    return body([&relu](double x) { return relu.ReLU::forward(x); },
                [&relu](double x) { return relu.ReLU::derivative(x); }, true);
  }
  const bool built_in = typeid(f) == typeid(Sigmoid) || typeid(f) == typeid(Tanh);
  return body([&f](double x) { return f.forward(x); }, [&f](double x) { return f.derivative(x); }, built_in);
}

}  // namespace

std::shared_ptr<Matrix> apply_activation(const std::shared_ptr<Matrix>& input,
                                         const std::shared_ptr<ActivationFunction>& activation) {
  if (!input) throw std::invalid_argument("apply_activation: the input is null, not a Matrix");
  if (!activation) throw std::invalid_argument("apply_activation: the activation is null");
  DoubleMatrix value = with_rules(*activation, [&input](auto forward, auto, bool) {
    return entrywise("apply_activation", input->matrix, forward);
  });
  auto out = std::make_shared<Matrix>(std::move(value), Operands(input), "activation");
  // The derivative is taken at the input value, not at the output.
  attach_backward(out, [input, activation](Matrix& o) {
    with_rules(*activation, [&input, &o](auto, auto derivative, bool built_in) {
      const DoubleMatrix& x = input->matrix;
      const std::size_t rows = x.size(), cols = rows ? x[0].size() : 0;
      // A Python derivative could change the very matrices read here: it takes the general path.
      if (!built_in || rows == 0 || !has_shape(x, rows, cols) || !has_shape(o.gradient, rows, cols) ||
          !has_shape(input->gradient, rows, cols)) {
        const DoubleMatrix slope = entrywise("apply_activation backward", x, derivative);
        accumulate(input->gradient, element_wise_multiplication(slope, o.gradient));
        return;
      }
      // Every slope, then gradient + slope * G entry by entry, as the product matrix added in would give.
      std::vector<double> slope(rows * cols);
      for (std::size_t i = 0; i < rows; ++i) {
        for (std::size_t j = 0; j < cols; ++j) slope[i * cols + j] = derivative(x[i][j]);
      }
      for (std::size_t i = 0; i < rows; ++i) {
        double* t = input->gradient[i].data();
        const double* g = o.gradient[i].data();
        const double* s = slope.data() + i * cols;
        for (std::size_t j = 0; j < cols; ++j) t[j] = t[j] + s[j] * g[j];
      }
    });
  });
  return out;
}

}  // namespace tarnwick
