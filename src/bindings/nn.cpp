// The optimizers and the network. Both Network constructors (an Adam, then an SGD, in the
// optimizer's place; None leaves the network without one) keep the optimizer and the activation
// alive as long as the network.
#include "bindings/convert.hpp"

#include "bindings/register.hpp"
#include "nn/network.hpp"
#include "nn/optimizer.hpp"

namespace py = pybind11;

namespace tarnwick::bindings {

namespace {

template <typename Opt, typename Class>
void network_constructor(Class& cls) {
  // keep_alive<1, n>: the network (1) keeps argument n alive; optimizer is 5, activation 8.
  cls.def(py::init([](int layer_num, std::vector<int> neurons_in_layers, DoubleMatrix initial_input, Opt* optimizer,
                      double dropout_rate, FunctionType function_type, ActivationFunction* activation,
                      std::string weights_dir) {
            auto network = std::make_unique<Network>(layer_num, std::move(neurons_in_layers), std::move(initial_input),
                                                     function_type, optimizer, dropout_rate, activation);
            network->weights_dir = std::move(weights_dir);
            return network;
          }),
          py::arg("layer_num"), py::arg("neurons_in_layers"), py::arg("initial_input"), py::arg("optimizer"),
          py::arg("dropout_rate") = 0.0, py::arg("function_type") = FunctionType::RELU,
          py::arg("activation") = py::none(), py::arg("weights_dir") = "", py::keep_alive<1, 5>(),
          py::keep_alive<1, 8>());
}

}  // namespace

void register_nn(py::module_& m) {
  py::class_<Adam>(m, "Adam")
      .def(py::init<double>(), py::arg("learning_rate") = 0.001)
      .def_readwrite("learning_rate", &Adam::learning_rate);
  py::class_<SGD>(m, "SGD")
      .def(py::init<double>(), py::arg("learning_rate") = 0.01)
      .def_readwrite("learning_rate", &SGD::learning_rate);

  py::class_<Network> network(m, "Network");
  network_constructor<Adam>(network);
  network_constructor<SGD>(network);
  network.def("train_loop", &Network::train_loop, py::arg("epochs"), py::arg("train_labels"), py::arg("batch_size"))
      .def("accuracy", &Network::test_accuracy, py::arg("x_test"), py::arg("y_test"))
      .def("predict", &Network::predict, py::arg("x_test"))
      .def("save_weights", &Network::save_weights, py::arg("path") = "weights.json")
      .def("load_weights", &Network::load_weights, py::arg("path") = "weights.json")
      .def("save_hyperparams", &Network::save_hyperparams, py::arg("path") = "hyperparams.json")
      .def("load_hyperparams", &Network::load_hyperparams, py::arg("path") = "hyperparams.json")
      .def_readwrite("dropout_rate", &Network::dropout_rate);
}

}  // namespace tarnwick::bindings
