#include "autodiff/activation.hpp"

#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

#include "core/activation_math.hpp"
#include "core/matrix.hpp"

namespace tarnwick {

namespace am = activation_math;

double ReLU::forward(double x) { return am::relu(x); }
double ReLU::derivative(double x) { return am::relu_slope(x); }

double Sigmoid::forward(double x) { return am::sigmoid(x); }
double Sigmoid::derivative(double x) { return am::sigmoid_slope(forward(x)); }

double Tanh::forward(double x) { return am::tanh(x); }
double Tanh::derivative(double x) { return am::tanh_slope(am::tanh(x)); }

namespace {

// body(forward, derivative, built_in) with the two rules of f as callables: a built-in's formulas
// called directly, so that the loops over every entry need no virtual call (a Python subclass of a
// built-in is that built-in here too: it has no override class), any other activation's through
// the interface. built_in says the rules are the library's own, which never run Python code.
template <typename Body>
auto with_rules(ActivationFunction& f, Body body) {
  if (typeid(f) == typeid(ReLU)) {
    return body([](double x) { return am::relu(x); }, [](double x) { return am::relu_slope(x); }, true);
  }
  if (typeid(f) == typeid(Sigmoid)) {
    return body([](double x) { return am::sigmoid(x); }, [](double x) { return am::sigmoid_slope(am::sigmoid(x)); },
                true);
  }
  if (typeid(f) == typeid(Tanh)) {
    return body([](double x) { return am::tanh(x); }, [](double x) { return am::tanh_slope(am::tanh(x)); }, true);
  }
  return body([&f](double x) { return f.forward(x); }, [&f](double x) { return f.derivative(x); }, false);
}

[[noreturn]] void out_of_range(const char* fn, FunctionType type) {
  throw std::invalid_argument(std::string(fn) + ": function_type must be RELU (0), SIGMOID (1) or TANH (2), got " +
                              std::to_string(static_cast<int>(type)));
}

}  // namespace

// No default in the switches below: a new FunctionType member must be added here, and the compiler
// names the switch that misses it.
std::shared_ptr<ActivationFunction> built_in_activation(const char* fn, FunctionType type) {
  switch (type) {
    case FunctionType::RELU: return std::make_shared<ReLU>();
    case FunctionType::SIGMOID: return std::make_shared<Sigmoid>();
    case FunctionType::TANH: return std::make_shared<Tanh>();
  }
  out_of_range(fn, type);
}

const char* built_in_name(FunctionType type) {
  switch (type) {
    case FunctionType::RELU: return "ReLU";
    case FunctionType::SIGMOID: return "Sigmoid";
    case FunctionType::TANH: return "Tanh";
  }
  out_of_range("FunctionType", type);
}

std::shared_ptr<Matrix> apply_activation(const std::shared_ptr<Matrix>& input,
                                         const std::shared_ptr<ActivationFunction>& activation) {
  if (!input) throw std::invalid_argument("apply_activation: the input is null, not a Matrix");
  if (!activation) throw std::invalid_argument("apply_activation: the activation is null");
  DoubleMatrix value = with_rules(*activation, [&input](auto forward, auto, bool) {
    return map_entries("apply_activation", "the input", input->matrix, forward);
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
        const DoubleMatrix slope = map_entries("apply_activation backward", "the input", x, derivative);
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
