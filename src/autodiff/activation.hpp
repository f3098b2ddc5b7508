// Activation functions (one double to one double, with the derivative) and apply_activation, the
// graph operation that maps one over every entry of a Matrix node and whose backward rule
// multiplies the incoming gradient by the derivative at the input. Python subclasses reach the
// library through an override class in the bindings.
#pragma once

#include <memory>

#include "autodiff/matrix.hpp"

namespace tarnwick {

class ActivationFunction {
 public:
  virtual double forward(double x) = 0;
  virtual double derivative(double x) = 0;
  virtual ~ActivationFunction() = default;
};

// x if 0.0 < x, else 0.0 (so -0.0 and nan give 0.0); derivative 1.0 if 0.0 < x, else 0.0.
class ReLU : public ActivationFunction {
 public:
  double forward(double x) override;
  double derivative(double x) override;
};

// 1 / (exp(-x) + 1); derivative s (1 - s) with s this object's own forward(x).
class Sigmoid : public ActivationFunction {
 public:
  double forward(double x) override;
  double derivative(double x) override;
};

// tanh(x); derivative 1 - t t with t = tanh(x).
class Tanh : public ActivationFunction {
 public:
  double forward(double x) override;
  double derivative(double x) override;
};

enum class FunctionType { RELU = 0, SIGMOID = 1, TANH = 2 };

// A new activation of the class type names, and that class's name. A value outside the enumeration
// (Python can make FunctionType(5)) raises std::invalid_argument naming fn, never a silent default.
std::shared_ptr<ActivationFunction> built_in_activation(const char* fn, FunctionType type);
const char* built_in_name(FunctionType type);

// A new node labelled "activation" holding activation.forward of every entry of input.matrix,
// which must be non-empty and rectangular (std::invalid_argument otherwise).
std::shared_ptr<Matrix> apply_activation(const std::shared_ptr<Matrix>& input,
                                         const std::shared_ptr<ActivationFunction>& activation);

}  // namespace tarnwick
