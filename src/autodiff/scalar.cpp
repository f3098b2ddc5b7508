#include "autodiff/scalar.hpp"

#include <cmath>
#include <utility>

#include "core/activation_math.hpp"

namespace tarnwick {

Scalar::Scalar(double digit, Operands children, std::string operation)
    : NodeOf(std::move(children), std::move(operation)), digit(digit) {}

std::shared_ptr<Scalar> Scalar::add(const std::shared_ptr<Scalar>& other) {
  return binary(other, digit + operand("add", other).digit, "add", [](Scalar& a, Scalar& b, const Scalar& o) {
    a.gradient += o.gradient;
    b.gradient += o.gradient;
  });
}

std::shared_ptr<Scalar> Scalar::mul(const std::shared_ptr<Scalar>& other) {
  return binary(other, digit * operand("mul", other).digit, "mul", [](Scalar& a, Scalar& b, const Scalar& o) {
    a.gradient += b.digit * o.gradient;
    b.gradient += a.digit * o.gradient;
  });
}

std::shared_ptr<Scalar> Scalar::sub(const std::shared_ptr<Scalar>& other) {
  return binary(other, digit - operand("sub", other).digit, "sub", [](Scalar& a, Scalar& b, const Scalar& o) {
    a.gradient += o.gradient;
    b.gradient -= o.gradient;
  });
}

std::shared_ptr<Scalar> Scalar::truediv(const std::shared_ptr<Scalar>& other) {
  return binary(other, digit / operand("truediv", other).digit, "div",
                [](Scalar& a, Scalar& b, const Scalar& o) {
                  a.gradient += (1.0 / b.digit) * o.gradient;
                  b.gradient -= (std::pow(b.digit, -2.0) * a.digit) * o.gradient;
                });
}

std::shared_ptr<Scalar> Scalar::pow_op(const std::shared_ptr<Scalar>& exponent) {
  // The exponent's gradient takes log of the base even for a constant exponent: with a base <= 0
  // it becomes -inf or nan while the base's own update is unaffected.
  return binary(exponent, std::pow(digit, operand("pow_op", exponent).digit), "pow",
                [](Scalar& a, Scalar& b, const Scalar& o) {
                  a.gradient += (std::pow(a.digit, -1.0 + b.digit) * b.digit) * o.gradient;
                  b.gradient += (std::log(a.digit) * o.digit) * o.gradient;
                });
}

std::shared_ptr<Scalar> Scalar::radd(double v) { return std::make_shared<Scalar>(v)->add(self()); }
std::shared_ptr<Scalar> Scalar::rmul(double v) { return std::make_shared<Scalar>(v)->mul(self()); }
std::shared_ptr<Scalar> Scalar::rsub(double v) { return std::make_shared<Scalar>(v)->sub(self()); }
std::shared_ptr<Scalar> Scalar::rdiv(double v) { return std::make_shared<Scalar>(v)->truediv(self()); }

ElementPtr Scalar::neg() {
  return unary(-digit, "neg", [](Scalar& a, const Scalar& o) { a.gradient -= o.gradient; });
}

ElementPtr Scalar::relu() {
  return unary(activation_math::relu(digit), "relu", [](Scalar& a, const Scalar& o) {
    a.gradient += activation_math::relu_slope(a.digit) * o.gradient;
  });
}

ElementPtr Scalar::sigmoid() {
  const double s = activation_math::sigmoid(digit);
  // The rule keeps its own copy of the output: overwriting out.digit later does not change it.
  return unary(s, "sigmoid",
               [s](Scalar& a, const Scalar& o) { a.gradient += activation_math::sigmoid_slope(s) * o.gradient; });
}

ElementPtr Scalar::tanh_op() {
  // Unlike sigmoid's, the slope comes from the operand's value when the rule runs.
  return unary(activation_math::tanh(digit), "tanh", [](Scalar& a, const Scalar& o) {
    a.gradient += activation_math::tanh_slope(activation_math::tanh(a.digit)) * o.gradient;
  });
}

ElementPtr Scalar::exp_op() {
  return unary(std::exp(digit), "exp", [](Scalar& a, const Scalar& o) { a.gradient += std::exp(a.digit) * o.gradient; });
}

ElementPtr Scalar::log_op() {
  return unary(std::log(digit), "log", [](Scalar& a, const Scalar& o) { a.gradient += (1.0 / a.digit) * o.gradient; });
}

}  // namespace tarnwick
