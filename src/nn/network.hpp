// A feed-forward network of fully-connected layers trained on shuffled mini-batches. Matrices are
// sample-per-column: inputs input_size x samples, labels and outputs classes x samples (one-hot
// label columns). Hidden layers apply the shared activation and inverted dropout; the output layer
// is a softmax leaf, and training seeds the loss's gradient into its pre-activation.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/object_lock.hpp"
#include "autodiff/activation.hpp"
#include "autodiff/matrix.hpp"
#include "core/model_file.hpp"
#include "core/types.hpp"
#include "nn/layer.hpp"
#include "nn/loss.hpp"
#include "nn/optimizer.hpp"

namespace tarnwick {

class Network {
 public:
  // Held by the Python bindings around every call (see bindings/guard.hpp).
  mutable ObjectLock object_lock;

  // layer_num must lie in [1, size of neurons_in_layers], the first layer_num neuron counts and the
  // rows of initial_input must be at least 1, initial_input must be rectangular and function_type
  // one of the enumeration's members (std::invalid_argument otherwise). The optimizer and a given
  // activation are borrowed, not owned; without an activation, function_type picks a built-in one
  // shared by every layer.
  Network(int layer_num, std::vector<int> neurons_in_layers, DoubleMatrix initial_input, FunctionType function_type,
          Optimizer* optimizer, double dropout_rate, ActivationFunction* activation);
  // The Python bindings keep the optimizer's and activation's Python objects in a derived class.
  virtual ~Network() = default;

  // Shuffled epochs over the columns of initial_input in full batches, one progress line per batch
  // on the process's standard output. Every argument is checked before anything changes; an
  // interrupt (poll_interrupt) stops it between batches, leaving the network as after the last.
  void train_loop(int epochs, const DoubleMatrix& train_labels, int batch_size);
  // Trains exactly as train_loop (same arithmetic, same random draws) but prints nothing: the loss
  // of every batch comes back instead, in training order.
  std::vector<double> train_epochs_quiet(int epochs, const DoubleMatrix& train_labels, int batch_size);
  // Percentage of columns whose most probable class (lowest index on ties) is y_test's, without dropout.
  // Evaluation changes nothing in the network, so an interrupt may stop it anywhere between rows.
  double test_accuracy(const DoubleMatrix& x_test, const DoubleMatrix& y_test);
  std::vector<int> predict(const DoubleMatrix& x_test);

  // Forgets the borrowed optimizer and activation, whose owner is about to free them: afterwards
  // the network has no optimizer and no activation (a pass through a hidden layer raises
  // std::invalid_argument) and no pointer to either survives in its layers or graph.
  void drop_borrowed() noexcept;

  static constexpr const char* default_weights_file = "weights.json";
  static constexpr const char* default_hyperparams_file = "hyperparams.json";
  // Path: the given one, else weights_dir, else default_weights_file. Loads are all-or-nothing.
  void save_weights(const std::filesystem::path& path) const;
  void load_weights(const std::filesystem::path& path);
  // Restores only the dropout rate and, when the network has an optimizer, its learning rate.
  void save_hyperparams(const std::filesystem::path& path) const;
  void load_hyperparams(const std::filesystem::path& path);
  // The two files' texts without a file (what pickling carries), read as the loads read them.
  std::string weights_text() const;
  void load_weights_text(const std::string& text);
  std::string hyperparams_text() const;
  void load_hyperparams_text(const std::string& text);

  // Layer i on input, then every later layer; the result is the last layer's a_node.
  void feedforward(int i, std::shared_ptr<Matrix> input);
  // Mean over the columns of loss(prediction column, label column).
  double total_loss(const DoubleMatrix& predictions, const std::function<double(DoubleVector, DoubleVector)>& loss,
                    const DoubleMatrix& labels) const;
  // Fills every layer's weight and bias gradients for the batch of the latest forward pass.
  void backward(const DoubleMatrix& labels);

  int layer_num;
  std::vector<int> neurons_in_layers;
  DoubleMatrix initial_input;
  std::vector<Layer> layers;
  Optimizer* optimizer;
  double dropout_rate;
  // As constructed: the activation the caller lent (null for the built-in one of function_type).
  FunctionType function_type;
  ActivationFunction* activation;
  std::string weights_dir;
  // The backward order of the latest training graph, sorted once per graph shape.
  std::vector<ElementPtr> sorted_graph;

 private:
  // Where the node at one position of sorted_graph comes from in every pass of the same shape: a
  // field of one layer, or no field for the parameters, which all passes share.
  struct PassSlot {
    std::size_t layer = 0;
    std::shared_ptr<Matrix> Layer::*field = nullptr;
  };
  std::vector<PassSlot> _slots_of(const std::vector<ElementPtr>& order) const;
  // Puts the latest pass's nodes where their predecessors stood in sorted_graph.
  void _update_sorted_graph();
  void _check_batch(const char* fn, const DoubleMatrix& x) const;
  // The training run of train_loop and train_epochs_quiet; on_batch(epoch, batch, loss) runs after
  // each batch's forward pass, before its backward pass.
  void _train(const char* fn, int epochs, const DoubleMatrix& train_labels, int batch_size,
              const std::function<void(int, std::size_t, double)>& on_batch);
  DoubleMatrix _probabilities(const char* fn, const DoubleMatrix& x) const;
  std::filesystem::path _weights_path(const std::filesystem::path& path) const;
  void _read_weights(const char* fn, const modelfile::Reader& in);
  void _read_hyperparams(const char* fn, const modelfile::Reader& in);
  static void _write_mat(modelfile::Writer& out, const DoubleMatrix& m);
  static DoubleMatrix _parse_mat(const modelfile::Reader& in, std::size_t& pos);

  std::vector<PassSlot> sorted_slots_;
  // Which hidden layers had dropout nodes when sorted_graph was computed: a different pattern
  // means a differently shaped graph, which is sorted afresh.
  std::vector<bool> sorted_shape_;
  // Held by every call that runs passes or replaces values, so that a Python activation cannot
  // re-enter the network halfway through one.
  class Exclusive {
   public:
    Exclusive(Network& network, const char* fn);
    ~Exclusive();
    Exclusive(const Exclusive&) = delete;
    Exclusive& operator=(const Exclusive&) = delete;

   private:
    Network& network_;
  };
  bool busy_ = false;
};

}  // namespace tarnwick
