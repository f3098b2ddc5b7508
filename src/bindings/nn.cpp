// The optimizers and the network. Both Network constructors (an Adam, then an SGD, in the
// optimizer's place; None leaves the network without one) keep the optimizer and the activation
// alive as long as the network. A network pickles as its constructor arguments (the optimizer and
// activation objects themselves, pickled in turn) and the texts of its two files.
#include "bindings/convert.hpp"

#include "bindings/guard.hpp"
#include "bindings/python_objects.hpp"
#include "bindings/register.hpp"
#include "core/model_file.hpp"
#include "nn/network.hpp"
#include "nn/optimizer.hpp"

namespace py = pybind11;

namespace tarnwick::bindings {

namespace {

constexpr const char* kNetworkInit =
    R"doc(A network of layer_num fully-connected layers trained on the columns of initial_input.

Matrices are sample-per-column: initial_input is (n_features, n_samples), one column per sample;
the first layer takes n_features inputs. Hidden layers use the activation (or the built-in one of
function_type) and inverted dropout; the last layer is a softmax over its neurons (the classes).
Weights are He-initialised from a random source: runs differ unless manual_seed set its seed.

Args:
    layer_num: int, the number of layers, 1 .. len(neurons_in_layers).
    neurons_in_layers: list of int, the neurons of each layer (the last is the class count); each >= 1.
    initial_input: (n_features, n_samples) list of rows, the training inputs train_loop uses.
    optimizer: Adam, SGD or None (None: the network can evaluate, predict and persist, not train).
        Kept alive as long as the network; the network changes it only through training and loads.
    dropout_rate: float, the fraction of hidden activations dropped while training (0.0: none).
    function_type: FunctionType, the built-in activation when activation is None (RELU by default).
    activation: an ActivationFunction (a built-in or a Python subclass) shared by every layer, or None.
    weights_dir: str, the path save_weights and load_weights use when given "".

Raises:
    ValueError: layer_num outside 1 .. len(neurons_in_layers), a neuron count below 1, or an empty
        or ragged initial_input.
)doc";

// The arguments and failures train_loop and train_epochs_quiet share.
constexpr const char* kTrainArgs = R"doc(
Args:
    epochs: int; 0 or less trains nothing.
    train_labels: (n_classes, n_samples) one-hot columns aligned with initial_input's columns.
    batch_size: int, at least 1.
)doc";
constexpr const char* kTrainRaises = R"doc(
Raises:
    ValueError: no optimizer, batch_size below 1, or train_labels not one row per class and a
        column per sample; nothing changes.
    RuntimeError: a Python activation called back into this network.
)doc";

// A network as Python holds it: the library network borrows its optimizer and activation, so the
// Python object keeps theirs here, where the cyclic collector sees them (tp_traverse below): a
// network and a Python activation that refer to each other are freed together.
class BoundNetwork : public Network {
 public:
  BoundNetwork(int layer_num, std::vector<int> neurons_in_layers, DoubleMatrix initial_input,
               FunctionType function_type, Optimizer* optimizer, double dropout_rate, ActivationFunction* activation,
               py::object optimizer_object, py::object activation_object)
      : Network(layer_num, std::move(neurons_in_layers), std::move(initial_input), function_type, optimizer,
                dropout_rate, activation),
        optimizer_object(std::move(optimizer_object)),
        activation_object(std::move(activation_object)) {}

  py::object optimizer_object;
  py::object activation_object;
};

const BoundNetwork& bound(const Network& n) { return static_cast<const BoundNetwork&>(n); }

int traverse_network(PyObject* self, visitproc visit, void* arg) {
  Py_VISIT(Py_TYPE(self));
  if (py::detail::is_holder_constructed(self)) {
    const BoundNetwork& n = bound(py::cast<const Network&>(py::handle(self)));
    Py_VISIT(n.optimizer_object.ptr());
    Py_VISIT(n.activation_object.ptr());
  }
  return 0;
}

// Breaks a cycle the collector found. The network is unreachable by then and no thread can be in
// one of its calls (a call holds a reference the collector cannot account for); whatever might
// still reach it finds no optimizer and no activation rather than pointers to freed objects.
int clear_network(PyObject* self) {
  if (py::detail::is_holder_constructed(self)) {
    auto& n = const_cast<BoundNetwork&>(bound(py::cast<const Network&>(py::handle(self))));
    n.drop_borrowed();
    n.optimizer_object = py::none();
    n.activation_object = py::none();
  }
  return 0;
}

template <typename Opt, typename Class>
void network_constructor(Class& cls) {
  cls.def(py::init([](int layer_num, std::vector<int> neurons_in_layers, DoubleMatrix initial_input, Opt* optimizer,
                      double dropout_rate, FunctionType function_type, ActivationFunction* activation,
                      const std::filesystem::path& weights_dir) {
            auto network = std::make_unique<BoundNetwork>(
                layer_num, std::move(neurons_in_layers), std::move(initial_input), function_type, optimizer,
                dropout_rate, activation, optimizer ? py::cast(optimizer, py::return_value_policy::reference) : py::none(),
                activation ? py::cast(activation, py::return_value_policy::reference) : py::none());
            network->weights_dir = weights_dir.string();
            return std::unique_ptr<Network>(std::move(network));
          }),
          py::arg("layer_num"), py::arg("neurons_in_layers"), py::arg("initial_input"), py::arg("optimizer").none(true),
          py::arg("dropout_rate") = 0.0, py::arg("function_type") = FunctionType::RELU,
          py::arg("activation").none(true) = py::none(), py::arg("weights_dir") = "", kNetworkInit);
}


// Optimizers pickle as their learning rate and are equal when it writes the same number.
template <typename Opt>
void register_optimizer(py::module_& m, const char* name, double default_rate, const char* doc) {
  py::class_<Opt> cls(m, name, doc);
  cls.def(py::init<double>(), py::arg("learning_rate") = default_rate,
           "An optimizer with that learning rate (float).")
      .def_property("learning_rate", getter<&Opt::learning_rate, Opt>(), setter<&Opt::learning_rate, Opt>(),
                     "float: the step size; load_hyperparams of a network using this optimizer replaces it.")
      .def(py::pickle([](const Opt* self) { return std::make_tuple(getter<&Opt::learning_rate, Opt>()(self)); },
                      [](const std::tuple<double>& state) { return std::make_unique<Opt>(std::get<0>(state)); }));
  cls.def(
      "__repr__",
      [name](const Opt* self) {
        return std::string(name) + "(learning_rate=" + py_repr(getter<&Opt::learning_rate, Opt>()(self)) + ")";
      },
      "The class and its learning rate, for example Adam(learning_rate=0.001).");
  reduce_through_state(cls);
  equality<Opt>(
      cls,
      [](const Opt& o) { return modelfile::format_number(o.learning_rate); },
      "True when other is an optimizer of this class with the same learning rate.");
}

}  // namespace

void register_nn(py::module_& m) {
  register_optimizer<Adam>(m, "Adam", 0.001,
      R"doc(The Adam optimizer (beta1 0.9, beta2 0.999, epsilon 1e-08), for a Network.

It keeps moment estimates for each network's parameters apart; they are not pickled or saved: a
restored network resumes training as with a fresh Adam.
)doc");
  register_optimizer<SGD>(m, "SGD", 0.01, "Plain gradient descent, w := w - gradient * learning_rate, for a Network.");

  py::class_<Network> network(m, "Network", py::custom_type_setup([](PyHeapTypeObject* heap_type) {
    PyTypeObject* type = &heap_type->ht_type;
    type->tp_flags |= Py_TPFLAGS_HAVE_GC;
    type->tp_traverse = traverse_network;
    type->tp_clear = clear_network;
  }),
      R"doc(A feed-forward classifier network: softmax output, cross-entropy loss, mini-batch training.

Sample-per-column throughout: inputs are (n_features, n_samples) and labels (n_classes, n_samples)
with one one-hot column per sample. A network pickles (and so deep-copies) as its constructor
arguments and its two files: weights, dropout rate and learning rate come back, Adam's moment
estimates do not. Two networks are equal when they would write the same two files.
)doc");
  network_constructor<Adam>(network);
  network_constructor<SGD>(network);
  network.def("train_loop", writes<&Network::train_loop, Gil::release>(), py::arg("epochs"), py::arg("train_labels"), py::arg("batch_size"),
              (R"doc(Trains for epochs shuffled passes over the columns of initial_input, in full batches.

Each batch runs forward (with dropout), prints "Epoch e, Batch b, Loss: x" to the process's
standard output (file descriptor 1, not sys.stdout), back-propagates and lets the optimizer update
the weights. The last len % batch_size shuffled columns of an epoch are skipped. Training continues
from the current weights on every call. Ctrl-C stops it between batches with KeyboardInterrupt,
leaving the network as after its last whole batch. Other Python threads run meanwhile (a Python
activation takes the interpreter lock for each call); calls on one network from several threads
run one after the other.
)doc" + std::string(kTrainArgs) + kTrainRaises).c_str())
      .def("accuracy", writes<&Network::test_accuracy, Gil::release>(), py::arg("x_test"), py::arg("y_test"),
           R"doc(Percentage of columns whose most probable class is y_test's (one forward pass, no dropout).

Ties go to the lowest class index, in the prediction and in y_test.

Args:
    x_test: (n_features, n_samples) inputs, one column per sample.
    y_test: (n_classes, n_samples) one-hot labels.

Returns:
    float in [0, 100].

Raises:
    ValueError: x_test's row count is not the first layer's input size, x_test has no columns, or
        y_test lacks rows or columns.
)doc")
      .def("predict", writes<&Network::predict, Gil::release>(), py::arg("x_test"),
          R"doc(The most probable class of every column (one forward pass, no dropout).

Args:
    x_test: (n_features, n_samples) inputs, one column per sample.

Returns:
    list of int class indices, one per column (the lowest index on ties).

Raises:
    ValueError: x_test is empty, ragged, or its row count is not the first layer's input size.
)doc")
      .def("save_weights", writes<&Network::save_weights, Gil::release>(),
           py::arg("path") = Network::default_weights_file,
           R"doc(Writes every layer's weights and bias to path (weights_dir, then "weights.json", when path is "").

Format: [{"parameters":[[...],...],"bias":[[...],...]},...], one object per layer.

Raises:
    OSError: the file cannot be written (the old file is left as it was).
)doc")
      .def("load_weights", writes<&Network::load_weights, Gil::release>(),
           py::arg("path") = Network::default_weights_file,
           R"doc(Replaces every layer's weights and bias with those of a save_weights file.

All or nothing: each matrix is checked against its layer's shape before anything changes.

Raises:
    IndexError: the file cannot be opened (or a number is out of range).
    ValueError: a key is missing, a value is malformed or a matrix has the wrong shape.
)doc")
      .def("save_hyperparams", writes<&Network::save_hyperparams, Gil::release>(),
           py::arg("path") = Network::default_hyperparams_file,
           R"doc(Writes the layer sizes, dropout rate and (with an optimizer) its learning rate and kind to path.

Format: {"layer_num":2,"neurons_in_layers":[16,3],"dropout_rate":0,"learning_rate":0.001,"optimizer":"Adam"}.

Raises:
    OSError: the file cannot be written (the old file is left as it was).
)doc")
      .def("load_hyperparams", writes<&Network::load_hyperparams, Gil::release>(),
           py::arg("path") = Network::default_hyperparams_file,
           R"doc(Restores the dropout rate and, when both have one, the optimizer's learning rate.

The layer sizes in the file are not read: the network keeps its shape. All or nothing.

Raises:
    IndexError: the file cannot be opened (or a number is out of range).
    ValueError: the dropout rate is missing or a value is malformed.
)doc")
      .def_property("dropout_rate", getter<&Network::dropout_rate>(), setter<&Network::dropout_rate>(),
                     "float: the fraction of hidden activations dropped while training; safe to change between runs.")
      .def("__reduce__", [](const py::object& self) -> py::tuple {
        // The state under the network's lock, gathered without the interpreter lock (the weights
        // text of a large network takes a while); the Python objects are built after it is let go.
        struct State {
          int layer_num;
          std::vector<int> neurons_in_layers;
          DoubleMatrix initial_input;
          double dropout_rate;
          FunctionType function_type;
          std::string weights_dir, weights, hyperparams;
        };
        const BoundNetwork* n = static_cast<const BoundNetwork*>(self.cast<const Network*>());
        State st = with_object<Access::read, Gil::release>(n, [](const Network& net) {
          return State{net.layer_num, net.neurons_in_layers, net.initial_input, net.dropout_rate, net.function_type,
                       net.weights_dir, net.weights_text(), net.hyperparams_text()};
        });
        const py::tuple args = py::make_tuple(st.layer_num, std::move(st.neurons_in_layers), std::move(st.initial_input),
                                              n->optimizer_object, st.dropout_rate, st.function_type,
                                              n->activation_object, std::filesystem::path(st.weights_dir));
        return py::make_tuple(py::type::of(self), args, py::make_tuple(st.weights, st.hyperparams));
      }, "Pickles as the constructor arguments and the texts of the two files.")
      .def("__repr__", [](const Network* self) {
        // One look under the lock, so that the shape and the rate come from the same moment.
        const auto [shape, dropout_rate] = with_object<Access::read>(self, [](const Network& n) {
          return std::make_pair("Network(layer_num=" + std::to_string(n.layer_num) + ", neurons_in_layers=" +
                                    py_repr(n.neurons_in_layers) + ", inputs=" + std::to_string(n.initial_input.size()) +
                                    ", samples=" + std::to_string(n.initial_input[0].size()) + ", optimizer=",
                                n.dropout_rate);
        });
        const BoundNetwork& n = bound(*self);
        return shape + py::repr(n.optimizer_object).cast<std::string>() + ", dropout_rate=" + py_repr(dropout_rate) +
               ", activation=" +
               (n.activation_object.is_none() ? built_in_name(n.function_type) + std::string("()")
                                              : py::repr(n.activation_object).cast<std::string>()) +
               ")";
      }, "The network's shape, training data size, optimizer, dropout rate and activation.");
  equality<Network>(
      network,
      [](const Network& n) {
        // The hyper-parameters wait for the optimizer's lock, which another network training with
        // it may hold: never while holding the interpreter lock.
        py::gil_scoped_release unlocked;
        return std::make_pair(n.weights_text(), n.hyperparams_text());
      },
      "True when other is a network that would write the same weights and hyper-parameter files.");
  // pybind11 runs a method registered under the name __setstate__ as a constructor, which an
  // object built by __reduce__'s call to the class refuses to run again: so it is built under
  // another name and then set as __setstate__.
  network.attr("__setstate__") = py::cpp_function(
      [](Network* self, const std::tuple<std::string, std::string>& files) {
        with_object<Access::write, Gil::release>(self, [&](Network& n) {
          n.load_weights_text(std::get<0>(files));
          n.load_hyperparams_text(std::get<1>(files));
        });
      },
      py::name("load_pickled_files"), py::is_method(network),
      "Loads the weights and hyper-parameter texts that __reduce__ pickled (all or nothing per file).");
  network.def("train_epochs_quiet", writes<&Network::train_epochs_quiet, Gil::release>(), py::arg("epochs"), py::arg("train_labels"),
              py::arg("batch_size"),
              (R"doc(Trains exactly as train_loop does, printing nothing, and returns every batch's loss.

The same shuffles, dropout masks, arithmetic and updates as train_loop with the same arguments, so
the weights end bit for bit alike; the losses are the values train_loop would print (in full
precision), epoch by epoch and batch by batch.
)doc" + std::string(kTrainArgs) + R"doc(
Returns:
    list of float, epochs * (n_samples // batch_size) mean cross-entropy losses in training order.
)doc" + kTrainRaises).c_str());
}

}  // namespace tarnwick::bindings
