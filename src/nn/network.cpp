#include "nn/network.hpp"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <random>
#include <sstream>
#include <stdexcept>
#include <unordered_map>

#include "core/check.hpp"
#include "core/interrupt.hpp"
#include "core/matrix.hpp"
#include "nn/random_sources.hpp"

namespace tarnwick {

namespace {

DoubleMatrix zeros(std::size_t rows, std::size_t cols) { return DoubleMatrix(rows, DoubleVector(cols, 0.0)); }

// m := rows x cols zeros, in the rows it already has when its shape is that one.
void set_zeros(DoubleMatrix& m, std::size_t rows, std::size_t cols) {
  if (!has_shape(m, rows, cols)) {
    m = zeros(rows, cols);
    return;
  }
  for (auto& row : m) std::fill(row.begin(), row.end(), 0.0);
}

// The activation a caller lent: held without ownership, released by its owner.
std::shared_ptr<ActivationFunction> borrowed(ActivationFunction* activation) {
  return std::shared_ptr<ActivationFunction>(activation, [](ActivationFunction*) {});
}

// Row index of the largest entry of column j: scans upward from row 0 and moves only on a strictly
// greater value, so the lowest index wins ties (and nan never wins).
int argmax_column(const DoubleMatrix& m, std::size_t j) {
  int best = 0;
  for (std::size_t k = 1; k < m.size(); ++k) {
    if (m[k][j] > m[best][j]) best = int(k);
  }
  return best;
}

}  // namespace

Network::Exclusive::Exclusive(Network& network, const char* fn) : network_(network) {
  if (network_.busy_) {
    throw std::runtime_error(std::string(fn) + ": the network is in the middle of another call (an activation "
                             "cannot call back into the network it runs in)");
  }
  network_.busy_ = true;
}

Network::Exclusive::~Exclusive() { network_.busy_ = false; }

Network::Network(int layer_num, std::vector<int> neurons_in_layers, DoubleMatrix initial_input,
                 FunctionType function_type, Optimizer* optimizer, double dropout_rate, ActivationFunction* activation)
    : layer_num(layer_num),
      neurons_in_layers(std::move(neurons_in_layers)),
      initial_input(std::move(initial_input)),
      optimizer(optimizer),
      dropout_rate(dropout_rate),
      function_type(function_type),
      activation(activation) {
  constexpr const char* fn = "Network";
  const std::size_t listed = this->neurons_in_layers.size();
  if (layer_num < 1 || std::size_t(layer_num) > listed) {
    check::fail(fn, "layer_num must lie between 1 and the " + std::to_string(listed) +
                        " entries of neurons_in_layers, got " + std::to_string(layer_num));
  }
  for (int i = 0; i < layer_num; ++i) {
    if (this->neurons_in_layers[i] < 1) {
      check::fail(fn, "neurons_in_layers[" + std::to_string(i) + "] must be at least 1, got " +
                          std::to_string(this->neurons_in_layers[i]));
    }
  }
  check::nonempty_rectangular(fn, "initial_input", this->initial_input);
  const int inputs = check::count32(fn, this->initial_input.size(), "initial_input");

  // Checked even when an activation is given, so that every network's function_type names a built-in.
  std::shared_ptr<ActivationFunction> shared = built_in_activation(fn, function_type);
  if (activation) shared = borrowed(activation);
  layers.reserve(std::size_t(layer_num));
  for (int i = 0; i < layer_num; ++i) {
    layers.emplace_back(this->neurons_in_layers[i], i == 0 ? inputs : this->neurons_in_layers[i - 1], shared);
  }
}

void Network::drop_borrowed() noexcept {
  optimizer = nullptr;
  activation = nullptr;
  for (Layer& layer : layers) {
    layer.activation.reset();
    // The latest pass's nodes: an activation node's backward rule holds the activation too.
    for (const auto field : pass_nodes) (layer.*field).reset();
  }
  sorted_graph.clear();
  sorted_slots_.clear();
}

void Network::feedforward(int i, std::shared_ptr<Matrix> input) {
  const int count = int(layers.size());
  for (; i < count; ++i) {
    Layer& L = layers[std::size_t(i)];
    const std::size_t n = std::size_t(L.output_size);
    const std::size_t c = input->matrix[0].size();
    // Each step's gradient holds that step's batch alone.
    set_zeros(L.weights->gradient, n, std::size_t(L.input_size));
    set_zeros(L.bias->gradient, n, 1);
    L.input_node = input;
    L.b_broadcast = broadcast_bias(L.bias, int(c));
    // New nodes start with zero gradients of their value's shape (n x c), so neither the product
    // nor the sum needs another reset.
    L.matmul_node = L.weights->mul(input);
    L.z_node = L.matmul_node->add(L.b_broadcast);
    if (i + 1 == count) {
      // A detached leaf: the backward pass seeds the softmax-with-cross-entropy gradient into z_node.
      L.a_node = std::make_shared<Matrix>(Layer::softmax(L.z_node->matrix));
      return;
    }
    L.act_node = apply_activation(L.z_node, L.activation);
    std::shared_ptr<Matrix> output = L.act_node;
    if (dropout_rate > 0) {
      // Inverted dropout: keep each unit with probability 1 - rate and scale the kept ones up.
      nn::Draws source = nn::dropout_source();
      DoubleMatrix mask = zeros(n, c);
      for (auto& row : mask) {
        for (double& x : row) x = dropout_rate <= std::generate_canonical<double, 64>(source) ? 1.0 : 0.0;
      }
      L.mask_node = std::make_shared<Matrix>(std::move(mask));
      L.elt_mult_node = L.act_node->element_wise_mult(L.mask_node);
      output = L.elt_mult_node->scalar_multiply(1.0 / (1.0 - dropout_rate));
    } else {
      L.mask_node.reset();
      L.elt_mult_node.reset();
    }
    L.a_node = output;
    input = std::move(output);
  }
}

double Network::total_loss(const DoubleMatrix& predictions,
                           const std::function<double(DoubleVector, DoubleVector)>& loss,
                           const DoubleMatrix& labels) const {
  DoubleMatrix P = transpose_matrix(predictions);
  DoubleMatrix Y = transpose_matrix(labels);
  if (Y.size() < P.size()) {
    check::fail("Network.total_loss",
                "labels have " + std::to_string(Y.size()) + " columns, predictions " + std::to_string(P.size()));
  }
  double sum = 0.0;
  // The rows are this call's own copies: each goes to the callback without another.
  for (std::size_t j = 0; j < P.size(); ++j) sum += loss(std::move(P[j]), std::move(Y[j]));
  return sum / double(Y.size());
}

std::vector<Network::PassSlot> Network::_slots_of(const std::vector<ElementPtr>& order) const {
  std::unordered_map<const Element*, PassSlot> held;
  for (std::size_t i = 0; i < layers.size(); ++i) {
    // A node in several fields (a hidden output without dropout is also the next layer's input)
    // is found again through any of them: every pass of one shape shares them the same way.
    for (const auto field : pass_nodes) {
      if (const auto& node = layers[i].*field) held[node.get()] = {i, field};
    }
  }
  std::vector<PassSlot> slots(order.size());
  for (std::size_t p = 0; p < order.size(); ++p) {
    if (const auto it = held.find(order[p].get()); it != held.end()) slots[p] = it->second;
  }
  return slots;
}

void Network::_update_sorted_graph() {
  for (std::size_t p = 0; p < sorted_slots_.size(); ++p) {
    const PassSlot& slot = sorted_slots_[p];
    if (!slot.field) continue;
    if (const auto& node = layers[slot.layer].*slot.field) sorted_graph[p] = node;
  }
}

void Network::backward(const DoubleMatrix& labels) {
  Layer& last = layers.back();
  last.z_node->gradient = LossFunctions().softmax_cross_entropy_gradient(last.a_node->matrix, labels);

  std::vector<bool> shape(layers.size());
  for (std::size_t i = 0; i < layers.size(); ++i) shape[i] = bool(layers[i].mask_node);
  if (sorted_graph.empty() || shape != sorted_shape_) {
    // The order, its slots and its shape change together or not at all: a failure halfway (out of
    // memory) must not leave an order that the next step would reuse.
    std::vector<ElementPtr> order = last.z_node->topo_sort();
    auto slots = _slots_of(order);
    sorted_graph = std::move(order);
    sorted_slots_ = std::move(slots);
    sorted_shape_ = std::move(shape);
  } else {
    _update_sorted_graph();
  }
  for (const ElementPtr& node : sorted_graph) node->backward_fn();
}

void Network::_check_batch(const char* fn, const DoubleMatrix& x) const {
  check::nonempty_rectangular(fn, "the input", x);
  const int inputs = layers.front().input_size;
  if (x.size() != std::size_t(inputs)) {
    check::fail(fn, "the input has " + std::to_string(x.size()) + " rows, the first layer takes " +
                        std::to_string(inputs));
  }
}

void Network::train_loop(int epochs, const DoubleMatrix& train_labels, int batch_size) {
  _train("Network.train_loop", epochs, train_labels, batch_size, [](int e, std::size_t b, double loss) {
    // Straight to the process's standard output, not through the interpreter's sys.stdout.
    std::ostringstream line;
    line << "Epoch " << e << ", Batch " << b << ", Loss: " << loss << '\n';
    const std::string text = line.str();
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  });
}

std::vector<double> Network::train_epochs_quiet(int epochs, const DoubleMatrix& train_labels, int batch_size) {
  std::vector<double> losses;
  _train("Network.train_epochs_quiet", epochs, train_labels, batch_size,
         [&losses](int, std::size_t, double loss) { losses.push_back(loss); });
  return losses;
}

void Network::_train(const char* fn, int epochs, const DoubleMatrix& train_labels, int batch_size,
                     const std::function<void(int, std::size_t, double)>& on_batch) {
  Exclusive exclusive(*this, fn);
  if (!optimizer) check::fail(fn, "the network has no optimizer, so it cannot train");
  if (batch_size < 1) check::fail(fn, "batch_size must be at least 1, got " + std::to_string(batch_size));
  _check_batch(fn, initial_input);
  const std::size_t N = initial_input[0].size();
  const std::size_t classes = std::size_t(layers.back().output_size);
  check::rectangular(fn, "train_labels", train_labels);
  if (train_labels.size() != classes || train_labels[0].size() < N) {
    check::fail(fn, "train_labels is " + check::shape(train_labels) + ", the network needs " + std::to_string(classes) +
                        " rows (one per class) and at least " + std::to_string(N) + " columns (one per sample)");
  }

  const LossFunctions losses;
  const std::function<double(DoubleVector, DoubleVector)> per_sample = [&losses](DoubleVector p, DoubleVector y) {
    return losses.cross_entropy_loss(std::move(p), std::move(y));
  };
  const std::size_t B = N / std::size_t(batch_size);
  std::vector<std::size_t> idx(N);
  // Ctrl-C is seen between batches only: an interrupted training leaves the network as after its
  // last whole batch, whose weights, biases and moments all changed together.
  for (int e = 0; e < epochs; ++e) {
    poll_interrupt();
    std::iota(idx.begin(), idx.end(), std::size_t(0));
    std::shuffle(idx.begin(), idx.end(), nn::shuffle_source());
    for (std::size_t b = 0; b < B; ++b) {
      if (b > 0) poll_interrupt();
      DoubleMatrix Xb = zeros(initial_input.size(), std::size_t(batch_size));
      DoubleMatrix Yb = zeros(classes, std::size_t(batch_size));
      for (std::size_t c = 0; c < std::size_t(batch_size); ++c) {
        const std::size_t sample = idx[b * std::size_t(batch_size) + c];
        for (std::size_t r = 0; r < Xb.size(); ++r) Xb[r][c] = initial_input[r][sample];
        for (std::size_t r = 0; r < Yb.size(); ++r) Yb[r][c] = train_labels[r][sample];
      }
      feedforward(0, std::make_shared<Matrix>(std::move(Xb)));
      on_batch(e, b, total_loss(layers.back().a_node->matrix, per_sample, Yb));

      backward(Yb);
      // The optimizer gets the gradients themselves rather than copies: the next forward pass resets
      // them to zeros before anything reads them again.
      std::vector<DoubleMatrix> weight_grads, bias_grads;
      weight_grads.reserve(layers.size());
      bias_grads.reserve(layers.size());
      for (Layer& layer : layers) {
        weight_grads.push_back(std::move(layer.weights->gradient));
        bias_grads.push_back(std::move(layer.bias->gradient));
      }
      {
        // An optimizer shared by networks training in several threads changes under its own lock,
        // taken after the network's (which the caller holds) and never before it.
        std::unique_lock<ObjectLock> own(optimizer->object_lock);
        optimizer->update(layers, weight_grads, bias_grads);
      }
      for (std::size_t i = 0; i < layers.size(); ++i) {
        layers[i].weights->gradient = std::move(weight_grads[i]);
        layers[i].bias->gradient = std::move(bias_grads[i]);
      }
    }
  }
}

double Network::test_accuracy(const DoubleMatrix& x_test, const DoubleMatrix& y_test) {
  constexpr const char* fn = "Network.accuracy";
  _check_batch(fn, x_test);
  const std::size_t K = x_test[0].size();
  if (K == 0) check::fail(fn, "x_test has no samples (no columns)");
  bool covered = !y_test.empty();
  for (const auto& row : y_test) covered = covered && row.size() >= K;
  if (!covered) {
    check::fail(fn, "y_test is " + check::shape(y_test) + ", it needs at least one row and " + std::to_string(K) +
                        " columns, one per sample of x_test");
  }
  const std::vector<int> predicted = predict(x_test);
  std::size_t correct = 0;
  for (std::size_t i = 0; i < K; ++i) correct += predicted[i] == argmax_column(y_test, i) ? 1 : 0;
  return double(correct) / double(K) * 100.0;
}

// feedforward's arithmetic without dropout (the same product calls, sums and activation calls in
// the same order, so the same bits) on plain blocks: no graph nodes and no gradients, a third of
// the memory, and nothing in the network changes, so Ctrl-C can stop it between any two rows.
DoubleMatrix Network::_probabilities(const char* fn, const DoubleMatrix& x) const {
  DenseMatrix a;
  std::vector<double> w;
  for (std::size_t i = 0; i < layers.size(); ++i) {
    poll_interrupt();
    const Layer& L = layers[i];
    DenseMatrix z;
    if (i == 0) {
      z = dense_product(L.weights->matrix, x);
    } else {
      const DoubleMatrix& W = L.weights->matrix;
      w.resize(W.size() * W[0].size());
      for (std::size_t r = 0; r < W.size(); ++r) std::copy(W[r].begin(), W[r].end(), w.begin() + r * W[0].size());
      z = dense_product(Block{w.data(), W.size(), W[0].size()}, Block{a.data.get(), a.rows, a.cols});
    }
    const bool hidden = i + 1 < layers.size();
    if (hidden && !L.activation) check::fail(fn, "the network's activation was freed");
    for (std::size_t r = 0; r < z.rows; ++r) {
      poll_interrupt();
      double* row = z.data.get() + r * z.cols;
      const double b = L.bias->matrix[r][0];
      for (std::size_t j = 0; j < z.cols; ++j) row[j] = row[j] + b;
      if (hidden) {
        ActivationFunction& f = *L.activation;
        for (std::size_t j = 0; j < z.cols; ++j) row[j] = f.forward(row[j]);
      }
    }
    a = std::move(z);
  }
  return Layer::softmax(rows_of(Block{a.data.get(), a.rows, a.cols}));
}

std::vector<int> Network::predict(const DoubleMatrix& x_test) {
  constexpr const char* fn = "Network.predict";
  // A Python activation must not change the weights while they are read.
  Exclusive exclusive(*this, fn);
  _check_batch(fn, x_test);
  const DoubleMatrix O = _probabilities(fn, x_test);
  std::vector<int> classes(O[0].size());
  for (std::size_t i = 0; i < classes.size(); ++i) classes[i] = argmax_column(O, i);
  return classes;
}

}  // namespace tarnwick
