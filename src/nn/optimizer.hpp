// The optimizers that turn one training step's gradients into new weights and biases, in place.
// Entry i of the gradient lists belongs to layer i and has its parameter's shape. Adam keeps its
// moment estimates in the layers and only the step count itself.
#pragma once

#include <vector>

#include "core/object_lock.hpp"
#include "core/types.hpp"
#include "nn/layer.hpp"

namespace tarnwick {

class Optimizer {
 public:
  // Held by the Python bindings around every call (see bindings/guard.hpp).
  mutable ObjectLock object_lock;

  explicit Optimizer(double learning_rate) : learning_rate(learning_rate) {}
  virtual void update(std::vector<Layer>& layers, const std::vector<DoubleMatrix>& weight_grads,
                      const std::vector<DoubleMatrix>& bias_grads) = 0;
  virtual ~Optimizer() = default;

  double learning_rate;
};

// w := w - g * learning_rate.
class SGD : public Optimizer {
 public:
  explicit SGD(double learning_rate = 0.01) : Optimizer(learning_rate) {}
  void update(std::vector<Layer>& layers, const std::vector<DoubleMatrix>& weight_grads,
              const std::vector<DoubleMatrix>& bias_grads) override;
};

// Moments m := 0.9 m + 0.1 g and v := 0.999 v + 0.001 g*g (the constants 1 - beta as doubles),
// bias-corrected by 1 / (1 - beta^t); w := w - (m^ / (sqrt(v^) + 1e-08)) * learning_rate.
class Adam : public Optimizer {
 public:
  explicit Adam(double learning_rate = 0.001) : Optimizer(learning_rate) {}
  void update(std::vector<Layer>& layers, const std::vector<DoubleMatrix>& weight_grads,
              const std::vector<DoubleMatrix>& bias_grads) override;

  int time_step = 0;
};

}  // namespace tarnwick
