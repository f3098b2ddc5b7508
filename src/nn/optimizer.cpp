#include "nn/optimizer.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/check.hpp"
#include "core/half_power.hpp"
#include "core/matrix.hpp"
#include "core/vector_clones.hpp"

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

// Adam's step over one row of n entries, in three passes that each vectorise: the moments with
// their corrected second moments, the roots of degree 2 of those, pow(v_hat, 1.0 / 2.0), then the
// parameters. Entry by entry this is the composition of matrix helpers (scale, add, square, root,
// divide, scale, subtract): the same operations in the same order, without a temporary matrix for
// every step.
TARNWICK_VECTOR_CLONES void adam_moments(double* __restrict m, double* __restrict v, const double* __restrict g,
                                         std::size_t n, double c2, double* __restrict v_hat) {
  for (std::size_t j = 0; j < n; ++j) {
    const double gj = g[j];
    m[j] = m[j] * beta1 + gj * (1.0 - beta1);
    v[j] = v[j] * beta2 + (gj * gj) * (1.0 - beta2);
    v_hat[j] = v[j] * c2;
  }
}

TARNWICK_VECTOR_CLONES void adam_parameters(double* __restrict param, const double* __restrict m,
                                            const double* __restrict root, std::size_t n, double c1,
                                            double learning_rate) {
  for (std::size_t j = 0; j < n; ++j) param[j] = param[j] - ((m[j] * c1) / (root[j] + epsilon)) * learning_rate;
}

// The row length of a parameter's moments, which its gradient must share; moments are made (zeros
// of the parameter's shape) at its first step.
std::size_t adam_columns(DoubleMatrix& m, DoubleMatrix& v, const DoubleMatrix& param, const DoubleMatrix& g) {
  constexpr const char* fn = "Adam.update";
  if (m.empty() && !param.empty()) {
    m.assign(param.size(), DoubleVector(param[0].size(), 0.0));
    v = m;
  }
  const std::size_t cols = check::nonempty_rectangular(fn, "the moments", m);
  check::same_shape_prefix(fn, m, v, m.size(), cols);
  check::same_shape_prefix(fn, m, param, m.size(), cols);
  check::same_shape_prefix(fn, m, g, m.size(), cols);
  return cols;
}

// One moment pair and its parameter, checked by adam_columns; v_hat and root hold at least a row
// each. The stored moments stay uncorrected.
void adam_step(DoubleMatrix& m, DoubleMatrix& v, DoubleMatrix& param, const DoubleMatrix& g, double c1, double c2,
               double learning_rate, double* v_hat, double* root) {
  const std::size_t cols = m[0].size();
  for (std::size_t i = 0; i < m.size(); ++i) {
    adam_moments(m[i].data(), v[i].data(), g[i].data(), cols, c2, v_hat);
    half_powers(v_hat, root, cols);
    adam_parameters(param[i].data(), m[i].data(), root, cols, c1, learning_rate);
  }
}

}  // namespace

// Every layer's new values first, then all of them at once: a failure leaves every layer as it was.
void SGD::update(std::vector<Layer>& layers, const std::vector<DoubleMatrix>& weight_grads,
                 const std::vector<DoubleMatrix>& bias_grads) {
  check_counts("SGD.update", layers, weight_grads, bias_grads);
  std::vector<DoubleMatrix> weights, biases;
  weights.reserve(layers.size());
  biases.reserve(layers.size());
  for (std::size_t i = 0; i < layers.size(); ++i) {
    const Layer& layer = layers[i];
    weights.push_back(
        matrix_addition_and_sub(layer.weights->matrix, scalar_multiply_matrix(weight_grads[i], learning_rate), "sub"));
    biases.push_back(
        matrix_addition_and_sub(layer.bias->matrix, scalar_multiply_matrix(bias_grads[i], learning_rate), "sub"));
  }
  for (std::size_t i = 0; i < layers.size(); ++i) {
    layers[i].weights->matrix = std::move(weights[i]);
    layers[i].bias->matrix = std::move(biases[i]);
  }
}

void Adam::update(std::vector<Layer>& layers, const std::vector<DoubleMatrix>& weight_grads,
                  const std::vector<DoubleMatrix>& bias_grads) {
  check_counts("Adam.update", layers, weight_grads, bias_grads);
  std::erase_if(moments_, [](const auto& entry) { return entry.first.expired(); });
  // Every check and allocation comes before the first change, after which nothing can fail: the
  // step happens whole or not at all (moments made for a first step are zeros, as if never made).
  std::vector<std::pair<Moments*, Moments*>> state;
  state.reserve(layers.size());
  std::size_t widest = 0;
  for (std::size_t i = 0; i < layers.size(); ++i) {
    Layer& layer = layers[i];
    Moments& w = moments_[layer.weights];
    Moments& b = moments_[layer.bias];
    widest = std::max(widest, adam_columns(w.m, w.v, layer.weights->matrix, weight_grads[i]));
    widest = std::max(widest, adam_columns(b.m, b.v, layer.bias->matrix, bias_grads[i]));
    state.emplace_back(&w, &b);
  }
  std::vector<double> v_hat(widest), root(widest);
  const int step = time_step + 1;
  const double t = step;
  const double c1 = 1.0 / (1.0 - std::pow(beta1, t));
  const double c2 = 1.0 / (1.0 - std::pow(beta2, t));
  for (std::size_t i = 0; i < layers.size(); ++i) {
    auto [w, b] = state[i];
    adam_step(w->m, w->v, layers[i].weights->matrix, weight_grads[i], c1, c2, learning_rate, v_hat.data(), root.data());
    adam_step(b->m, b->v, layers[i].bias->matrix, bias_grads[i], c1, c2, learning_rate, v_hat.data(), root.data());
  }
  time_step = step;
}

}  // namespace tarnwick
