// The autodiff nodes (held by shared references, so a node Python already holds returns as the same
// object), the activations with the override class for Python subclasses, and FunctionType.
// Operands are positional only and None is refused with TypeError like any other wrong type.
#include "bindings/convert.hpp"

#include "autodiff/activation.hpp"
#include "autodiff/matrix.hpp"
#include "autodiff/scalar.hpp"
#include "bindings/register.hpp"

namespace py = pybind11;

namespace tarnwick::bindings {

namespace {

using ScalarPtr = std::shared_ptr<Scalar>;
using MatrixPtr = std::shared_ptr<Matrix>;

// Every ActivationFunction made from Python is one of these: forward and derivative run the
// Python class's methods, and a class lacking one fails with "Tried to call pure virtual function".
class PyActivationFunction : public ActivationFunction {
 public:
  double forward(double x) override { PYBIND11_OVERRIDE_PURE(double, ActivationFunction, forward, x); }
  double derivative(double x) override { PYBIND11_OVERRIDE_PURE(double, ActivationFunction, derivative, x); }
};

template <typename Node>
std::shared_ptr<Node> as(const ElementPtr& e) {
  return std::static_pointer_cast<Node>(e);
}

}  // namespace

void register_autodiff(py::module_& m) {
  py::class_<Element, ElementPtr>(m, "Element").def_readonly("operation", &Element::operation);

  py::class_<Scalar, Element, ScalarPtr>(m, "Scalar")
      .def(py::init([](double digit) { return std::make_shared<Scalar>(digit); }), py::arg("digit"))
      .def_readwrite("digit", &Scalar::digit)
      .def_readwrite("gradient", &Scalar::gradient)
      .def("__add__", [](Scalar& a, const ScalarPtr& b) { return a.add(b); }, py::arg("other").none(false), py::pos_only())
      .def("__mul__", [](Scalar& a, const ScalarPtr& b) { return a.mul(b); }, py::arg("other").none(false), py::pos_only())
      .def("__sub__", [](Scalar& a, const ScalarPtr& b) { return a.sub(b); }, py::arg("other").none(false), py::pos_only())
      .def("__truediv__", [](Scalar& a, const ScalarPtr& b) { return a.truediv(b); }, py::arg("other").none(false),
           py::pos_only())
      .def("__neg__", [](Scalar& a) { return as<Scalar>(a.neg()); })
      .def("relu", [](Scalar& a) { return as<Scalar>(a.relu()); })
      .def("sigmoid", [](Scalar& a) { return as<Scalar>(a.sigmoid()); })
      .def("tanh_op", [](Scalar& a) { return as<Scalar>(a.tanh_op()); })
      .def("exp_op", [](Scalar& a) { return as<Scalar>(a.exp_op()); })
      .def("log_op", [](Scalar& a) { return as<Scalar>(a.log_op()); })
      .def("pow_op", &Scalar::pow_op, py::arg("other").none(false), py::pos_only())
      .def("__radd__", &Scalar::radd)
      .def("__rmul__", &Scalar::rmul)
      .def("__rsub__", &Scalar::rsub)
      .def("__rtruediv__", &Scalar::rdiv)
      .def("topo_sort", &Element::topo_sort)
      .def("backprop", &Element::backprop);

  py::class_<Matrix, Element, MatrixPtr>(m, "Matrix")
      .def(py::init([](DoubleMatrix matrix) { return std::make_shared<Matrix>(std::move(matrix)); }), py::arg("matrix"))
      .def_readwrite("matrix", &Matrix::matrix)
      .def_readwrite("gradient", &Matrix::gradient)
      .def("__add__", [](Matrix& a, const MatrixPtr& b) { return a.add(b); }, py::arg("other").none(false), py::pos_only())
      .def("__mul__", [](Matrix& a, const MatrixPtr& b) { return a.mul(b); }, py::arg("other").none(false), py::pos_only())
      .def("__sub__", [](Matrix& a, const MatrixPtr& b) { return a.sub(b); }, py::arg("other").none(false), py::pos_only())
      .def("__truediv__", [](Matrix& a, const MatrixPtr& b) { return a.truediv(b); }, py::arg("other").none(false),
           py::pos_only())
      .def("__neg__", [](Matrix& a) { return as<Matrix>(a.neg()); })
      .def("relu", [](Matrix& a) { return as<Matrix>(a.relu()); })
      .def("sigmoid", [](Matrix& a) { return as<Matrix>(a.sigmoid()); })
      .def("tanh_op", [](Matrix& a) { return as<Matrix>(a.tanh_op()); })
      .def("exp_op", [](Matrix& a) { return as<Matrix>(a.exp_op()); })
      .def("log_op", [](Matrix& a) { return as<Matrix>(a.log_op()); })
      .def("element_wise_mult", &Matrix::element_wise_mult, py::arg("other").none(false), py::pos_only())
      .def("scalar_multiply", &Matrix::scalar_multiply)
      .def("transpose_op", &Matrix::transpose_op)
      .def("sum_cols", &Matrix::sum_cols)
      .def("topo_sort", &Element::topo_sort)
      .def("backprop", &Element::backprop);

  py::class_<ActivationFunction, PyActivationFunction>(m, "ActivationFunction")
      .def(py::init<>())
      .def("forward", &ActivationFunction::forward)
      .def("derivative", &ActivationFunction::derivative);
  py::class_<ReLU, ActivationFunction>(m, "ReLU").def(py::init<>());
  py::class_<Sigmoid, ActivationFunction>(m, "Sigmoid").def(py::init<>());
  py::class_<Tanh, ActivationFunction>(m, "Tanh").def(py::init<>());

  py::enum_<FunctionType>(m, "FunctionType")
      .value("RELU", FunctionType::RELU)
      .value("SIGMOID", FunctionType::SIGMOID)
      .value("TANH", FunctionType::TANH)
      .export_values();
}

}  // namespace tarnwick::bindings
