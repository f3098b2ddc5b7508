#include "autodiff/activation.hpp"

#include <cmath>
#include <stdexcept>

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

}  // namespace

std::shared_ptr<Matrix> apply_activation(const std::shared_ptr<Matrix>& input,
                                         const std::shared_ptr<ActivationFunction>& activation) {
  if (!input) throw std::invalid_argument("apply_activation: the input is null, not a Matrix");
  if (!activation) throw std::invalid_argument("apply_activation: the activation is null");
  ActivationFunction& f = *activation;
  auto out = std::make_shared<Matrix>(
      entrywise("apply_activation", input->matrix, [&f](double x) { return f.forward(x); }), Operands(input),
      "activation");
  // The derivative is taken at the input value, not at the output.
  attach_backward(out, [input, activation](Matrix& o) {
    ActivationFunction& f = *activation;
    const DoubleMatrix slope =
        entrywise("apply_activation backward", input->matrix, [&f](double x) { return f.derivative(x); });
    accumulate(input->gradient, element_wise_multiplication(slope, o.gradient));
  });
  return out;
}

}  // namespace tarnwick
