// One fully-connected layer of the network, sample-per-column: weights are output_size x
// input_size, the bias one column of output_size, and a batch of c samples is input_size x c.
// The layer keeps the nodes of its latest forward pass; an optimizer's state is the optimizer's.
#pragma once

#include <array>
#include <memory>

#include "autodiff/activation.hpp"
#include "autodiff/matrix.hpp"
#include "core/types.hpp"

namespace tarnwick {

struct Layer {
  // He-initialised weights (normal, mean 0, standard deviation sqrt(2 / input_size)) drawn row by
  // row from the weight source; zero bias. Sizes must be at least 1.
  Layer(int output_size, int input_size, std::shared_ptr<ActivationFunction> activation);

  // Column-wise softmax of the raw values: no maximum is subtracted, so an entry above about 709
  // gives inf and nan in its column. z has at least one row.
  static DoubleMatrix softmax(const DoubleMatrix& z);

  std::shared_ptr<ActivationFunction> activation;
  int output_size;
  int input_size;
  std::shared_ptr<Matrix> weights;
  std::shared_ptr<Matrix> bias;

  // The nodes of the latest forward pass through this layer; empty before the first.
  std::shared_ptr<Matrix> z_node, a_node, input_node, b_broadcast, matmul_node, act_node, mask_node, elt_mult_node;
};

// Every field that holds a node of the latest pass, for code that visits them all.
inline constexpr std::array<std::shared_ptr<Matrix> Layer::*, 8> pass_nodes{
    &Layer::input_node, &Layer::b_broadcast, &Layer::matmul_node, &Layer::z_node,
    &Layer::act_node,   &Layer::mask_node,   &Layer::elt_mult_node, &Layer::a_node};

}  // namespace tarnwick
