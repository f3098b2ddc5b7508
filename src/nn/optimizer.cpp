#include "nn/optimizer.hpp"

#include <cmath>
#include <stdexcept>
#include <string>

#include "core/check.hpp"
#include "core/matrix.hpp"

namespace tarnwick {

namespace {

void check_counts(const char* fn, const std::vector<Layer>& layers, const std::vector<DoubleMatrix>& weight_grads,
                  const std::vector<DoubleMatrix>& bias_grads) {
  if (weight_grads.size() != layers.size() || bias_grads.size() != layers.size()) {
    throw std::invalid_argument(std::string(fn) + ": " + std::to_string(layers.size()) + " layers but " +
                                std::to_string(weight_grads.size()) + " weight and " +
                                std::to_string(bias_grads.size()) + " bias gradients");
  }
}

constexpr double beta1 = 0.9;
constexpr double beta2 = 0.999;
constexpr double epsilon = 1e-08;

// One moment pair and its parameter; the stored moments stay uncorrected. This is the composition
// of matrix helpers (scale, add, square, root of degree 2, divide, scale, subtract) written entry by
// entry: the same operations in the same order, without a temporary matrix for every step.
void adam_step(DoubleMatrix& m, DoubleMatrix& v, DoubleMatrix& param, const DoubleMatrix& g, double c1, double c2,
               double learning_rate) {
  constexpr const char* fn = "Adam.update";
  const std::size_t cols = check::nonempty_rectangular(fn, "the moments", m);
  check::same_shape_prefix(fn, m, v, m.size(), cols);
  check::same_shape_prefix(fn, m, param, m.size(), cols);
  check::same_shape_prefix(fn, m, g, m.size(), cols);
  const double half = 1.0 / 2.0;
  for (std::size_t i = 0; i < m.size(); ++i) {
    for (std::size_t j = 0; j < cols; ++j) {
      const double gij = g[i][j];
      m[i][j] = m[i][j] * beta1 + gij * (1.0 - beta1);
      v[i][j] = v[i][j] * beta2 + (gij * gij) * (1.0 - beta2);
      const double m_hat = m[i][j] * c1;
      const double v_hat = v[i][j] * c2;
      param[i][j] = param[i][j] - (m_hat / (std::pow(v_hat, half) + epsilon)) * learning_rate;
    }
  }
}

}  // namespace

void SGD::update(std::vector<Layer>& layers, const std::vector<DoubleMatrix>& weight_grads,
                 const std::vector<DoubleMatrix>& bias_grads) {
  check_counts("SGD.update", layers, weight_grads, bias_grads);
  for (std::size_t i = 0; i < layers.size(); ++i) {
    Layer& layer = layers[i];
    layer.weights->matrix =
        matrix_addition_and_sub(layer.weights->matrix, scalar_multiply_matrix(weight_grads[i], learning_rate), "sub");
    layer.bias->matrix =
        matrix_addition_and_sub(layer.bias->matrix, scalar_multiply_matrix(bias_grads[i], learning_rate), "sub");
  }
}

void Adam::update(std::vector<Layer>& layers, const std::vector<DoubleMatrix>& weight_grads,
                  const std::vector<DoubleMatrix>& bias_grads) {
  check_counts("Adam.update", layers, weight_grads, bias_grads);
  ++time_step;
  const double t = time_step;
  const double c1 = 1.0 / (1.0 - std::pow(beta1, t));
  const double c2 = 1.0 / (1.0 - std::pow(beta2, t));
  for (std::size_t i = 0; i < layers.size(); ++i) {
    Layer& layer = layers[i];
    adam_step(layer.m_weights, layer.v_weights, layer.weights->matrix, weight_grads[i], c1, c2, learning_rate);
    adam_step(layer.m_bias, layer.v_bias, layer.bias->matrix, bias_grads[i], c1, c2, learning_rate);
  }
}

}  // namespace tarnwick
