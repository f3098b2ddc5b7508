#include "nn/optimizer.hpp"

#include <cmath>
#include <stdexcept>
#include <string>

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

// One moment pair and its parameter; the stored moments stay uncorrected.
void adam_step(DoubleMatrix& m, DoubleMatrix& v, DoubleMatrix& param, const DoubleMatrix& g, double c1, double c2,
               double learning_rate) {
  m = matrix_addition_and_sub(scalar_multiply_matrix(m, beta1), scalar_multiply_matrix(g, 1.0 - beta1), "add");
  v = matrix_addition_and_sub(scalar_multiply_matrix(v, beta2),
                              scalar_multiply_matrix(element_wise_multiplication(g, g), 1.0 - beta2), "add");
  const DoubleMatrix m_hat = scalar_multiply_matrix(m, c1);
  const DoubleMatrix v_hat = scalar_multiply_matrix(v, c2);
  const DoubleMatrix eps(v_hat.size(), DoubleVector(v_hat.empty() ? 0 : v_hat[0].size(), epsilon));
  const DoubleMatrix denominator = matrix_addition_and_sub(element_wise_roots(v_hat, 2), eps, "add");
  const DoubleMatrix step = scalar_multiply_matrix(element_wise_division_two_matrices(m_hat, denominator), learning_rate);
  param = matrix_addition_and_sub(param, step, "sub");
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
