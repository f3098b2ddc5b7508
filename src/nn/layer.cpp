#include "nn/layer.hpp"

#include <cmath>
#include <random>
#include <utility>

#include "nn/random_sources.hpp"

namespace tarnwick {

Layer::Layer(int output_size, int input_size, std::shared_ptr<ActivationFunction> activation)
    : activation(std::move(activation)),
      output_size(output_size),
      input_size(input_size) {
  std::normal_distribution<double> he(0.0, std::sqrt(2.0 / input_size));
  nn::Draws source = nn::weight_source();
  DoubleMatrix w(output_size, DoubleVector(input_size, 0.0));
  for (auto& row : w) {
    for (double& x : row) x = he(source);
  }
  weights = std::make_shared<Matrix>(std::move(w));
  bias = std::make_shared<Matrix>(DoubleMatrix(output_size, DoubleVector(1, 0.0)));
}

DoubleMatrix Layer::softmax(const DoubleMatrix& z) {
  const std::size_t rows = z.size();
  const std::size_t cols = z[0].size();
  DoubleMatrix result(rows, DoubleVector(cols, 0.0));
  for (std::size_t j = 0; j < cols; ++j) {
    double total = 0.0;
    for (std::size_t k = 0; k < rows; ++k) total += std::exp(z[k][j]);
    for (std::size_t k = 0; k < rows; ++k) result[k][j] = std::exp(z[k][j]) / total;
  }
  return result;
}

}  // namespace tarnwick
