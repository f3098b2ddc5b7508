// The optimizers that turn one training step's gradients into new weights and biases, in place.
// Entry i of the gradient lists belongs to layer i and has its parameter's shape. Each optimizer
// owns whatever state its rule carries from step to step.
#pragma once

#include <map>
#include <memory>
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
// The step count is shared by every network this Adam trains, the moments are each parameter's own.
class Adam : public Optimizer {
 public:
  explicit Adam(double learning_rate = 0.001) : Optimizer(learning_rate) {}
  void update(std::vector<Layer>& layers, const std::vector<DoubleMatrix>& weight_grads,
              const std::vector<DoubleMatrix>& bias_grads) override;

  int time_step = 0;

 private:
  // Uncorrected moment estimates of one parameter, of its shape; zeros before its first step.
  struct Moments {
    DoubleMatrix m, v;
  };
  // Keyed by the parameter node and held only while it exists: a network's moments last between
  // training runs and go with the network (entries of freed parameters are dropped at the next step).
  std::map<std::weak_ptr<Matrix>, Moments, std::owner_less<>> moments_;
};

}  // namespace tarnwick
