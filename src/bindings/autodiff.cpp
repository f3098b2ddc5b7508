// The autodiff nodes (held by shared references, so a node Python already holds returns as the same
// object), the activations with the override class for Python subclasses, and FunctionType.
// Operands are positional only and None is refused with TypeError like any other wrong type.
#include "bindings/convert.hpp"
#include "bindings/guard.hpp"

#include <array>
#include <utility>

#include "autodiff/activation.hpp"
#include "autodiff/matrix.hpp"
#include "autodiff/scalar.hpp"
#include "bindings/python_objects.hpp"
#include "bindings/register.hpp"

namespace py = pybind11;

namespace tarnwick::bindings {

namespace {

// Every ActivationFunction made from Python is one of these: forward and derivative run the
// Python class's methods, and a class lacking one fails with "Tried to call pure virtual function".
class PyActivationFunction : public ActivationFunction {
 public:
  double forward(double x) override { PYBIND11_OVERRIDE_PURE(double, ActivationFunction, forward, x); }
  double derivative(double x) override { PYBIND11_OVERRIDE_PURE(double, ActivationFunction, derivative, x); }
};

// Element's ten operations, in its order, as methods of one node class: the operand of the four
// operators is positional only and must be of that class, and every result comes back as that
// class. docs holds their docstrings in the same order.
template <typename Node, typename Class>
void element_operations(Class& cls, const std::array<const char*, 10>& docs) {
  using Ptr = std::shared_ptr<Node>;
  const auto binary = [&cls](const char* name, auto op, const char* doc) {
    cls.def(name, op, py::arg("other").none(false), py::pos_only(), doc);
  };
  binary("__add__", [](Node& a, const Ptr& b) { return a.add(b); }, docs[0]);
  binary("__mul__", [](Node& a, const Ptr& b) { return a.mul(b); }, docs[1]);
  binary("__sub__", [](Node& a, const Ptr& b) { return a.sub(b); }, docs[2]);
  binary("__truediv__", [](Node& a, const Ptr& b) { return a.truediv(b); }, docs[3]);
  using Unary = ElementPtr (Element::*)();
  const std::array<std::pair<const char*, Unary>, 6> unary{{{"__neg__", &Element::neg},
                                                            {"relu", &Element::relu},
                                                            {"sigmoid", &Element::sigmoid},
                                                            {"tanh_op", &Element::tanh_op},
                                                            {"exp_op", &Element::exp_op},
                                                            {"log_op", &Element::log_op}}};
  for (std::size_t i = 0; i < unary.size(); ++i) {
    const Unary op = unary[i].second;
    cls.def(unary[i].first, [op](Node& a) { return std::static_pointer_cast<Node>((a.*op)()); }, docs[4 + i]);
  }
}

// topo_sort and backprop, which both node classes have, documented once with the class named.
// backprop_failures ends the sentence of the ValueError line.
template <typename Class>
void graph_methods(Class& cls, const std::string& name, const std::string& backprop_failures) {
  cls.def("topo_sort", reads<&Element::topo_sort>(),
          (R"doc(Every node reachable from this one, each once, root first.

Every node comes after all the nodes that consume it, so the list is the order for backprop.
Iterative: graphs of any depth are safe.

Returns:
    list of )doc" + name + R"doc( nodes (the same Python objects where Python already holds them).
)doc").c_str())
      .def("backprop", reads<&Element::backprop>(), (R"doc(Runs the backward rule of every node of order, in list order.

Nothing is seeded, reset or sorted: set the root's gradient first, pass root.topo_sort(), and
assign zeros before reusing a graph (gradients accumulate).

Args (positional only):
    order: list of nodes, usually self.topo_sort().

Raises:
    ValueError: an entry of order is None)doc" + backprop_failures + ".\n").c_str());
}

}  // namespace

void register_autodiff(py::module_& m) {
  py::class_<Element, ElementPtr> element(m, "Element",
      R"doc(A node of the reverse-mode autodiff graph: the base of Scalar and Matrix.

Python cannot create an Element directly; every node is a Scalar or a Matrix. A node holds its
operands, the label of the operation that made it and a backward rule that adds its gradient into
theirs. Gradients start at zero and only accumulate.
)doc");
  element.def_readonly("operation", &Element::operation,
                    "str: the label of the operation that made this node ('add', 'mul', 'tanh', ...); '' for a leaf.");
  refuse_pickling(element);

  py::class_<Scalar, Element, std::shared_ptr<Scalar>> scalar(m, "Scalar", R"doc(A one-value autodiff node.

Build leaves with Scalar(digit), combine them with + - * / (both operands Scalars; a float goes on
the left: 2.0 * x) and the methods below, set the root's gradient (usually 1.0), then call
root.backprop(root.topo_sort()). Values follow IEEE arithmetic: log of 0 is -inf, never an error.
Scalars cannot be pickled.
)doc");
  scalar.def(py::init([](double digit) { return std::make_shared<Scalar>(digit); }), py::arg("digit"),
           "A leaf node holding digit (float), with gradient 0.0 and operation ''.")
      .def_readwrite("digit", &Scalar::digit, "float: the node's value.")
      .def_readwrite("gradient", &Scalar::gradient,
                     "float: d(root)/d(this node), accumulated by backprop; 0.0 until then. "
                     "Set the root's to 1.0 first.");
  element_operations<Scalar>(scalar, {
      "self + other, a new node labelled 'add'. other must be a Scalar (TypeError otherwise).",
      "self * other, a new node labelled 'mul'. other must be a Scalar (TypeError otherwise).",
      "self - other, a new node labelled 'sub'. other must be a Scalar (TypeError otherwise).",
      "self / other, a new node labelled 'div'; dividing by 0.0 gives inf or nan. other must be a Scalar.",
      "-self, a new node labelled 'neg'.",
      "max(digit, 0.0) as a new node labelled 'relu' (nan and -0.0 give 0.0); derivative 1 above 0, else 0.",
      "1 / (exp(-digit) + 1) as a new node labelled 'sigmoid'.",
      "tanh(digit) as a new node labelled 'tanh'.",
      "exp(digit) as a new node labelled 'exp'.",
      "log(digit) as a new node labelled 'log' (-inf at 0.0, nan below)."});
  scalar.def("pow_op", reads<&Scalar::pow_op>(), py::arg("other").none(false), py::pos_only(),
           "digit ** other.digit as a new node labelled 'pow'; other (a Scalar) gets the gradient d/d(exponent) too.")
      .def("__radd__", reads<&Scalar::radd>(), "constant + self: the float constant becomes a new leaf on the left ('add').")
      .def("__rmul__", reads<&Scalar::rmul>(), "constant * self: the float constant becomes a new leaf on the left ('mul').")
      .def("__rsub__", reads<&Scalar::rsub>(), "constant - self: the float constant becomes a new leaf on the left ('sub').")
      .def("__rtruediv__", reads<&Scalar::rdiv>(), "constant / self: the float constant becomes a new leaf on the left ('div').");
  graph_methods(scalar, "Scalar", "");
  scalar.def("__repr__", [](const Scalar& s) {
        return "Scalar(digit=" + py_repr(s.digit) + ", gradient=" + py_repr(s.gradient) +
               ", operation=" + py_repr(s.operation) + ")";
      }, "Scalar(digit=..., gradient=..., operation='...').");

  py::class_<Matrix, Element, std::shared_ptr<Matrix>> matrix(m, "Matrix",
      R"doc(A matrix autodiff node: a list of rows and a gradient of the same shape.

Combine nodes with + - (element-wise), * (the matrix product), / (element-wise quotient) and the
methods below; both operands must be Matrix nodes (a float raises TypeError: scale with
scalar_multiply). Shapes outside an operation's contract (empty, ragged, mismatched) raise
ValueError naming the helper and the shapes. Matrices cannot be pickled.
)doc");
  matrix.def(py::init([](DoubleMatrix matrix) { return std::make_shared<Matrix>(std::move(matrix)); }), py::arg("matrix"),
           "A leaf node holding a copy of matrix ((rows, cols) list of rows), with a zero gradient and operation ''.")
      .def_readwrite("matrix", &Matrix::matrix,
                     "list[list[float]]: the node's value (a copy on every read; assigning replaces it).")
      .def_readwrite("gradient", &Matrix::gradient,
                     "list[list[float]]: d(root)/d(this node), the value's shape, zeros at creation; "
                     "set the root's (for example to ones) before backprop.");
  element_operations<Matrix>(matrix, {
      "self + other element-wise, a new node labelled 'add'. Raises ValueError unless the shapes match.",
      "The matrix product self @ other ((m, k) by (k, p)), a new node labelled 'mul'. Raises ValueError on shapes.",
      "self - other element-wise, a new node labelled 'sub'. Raises ValueError unless the shapes match.",
      "self / other element-wise, a new node labelled 'elt_div' (0 divisors give inf or nan). ValueError on shapes.",
      "-self, a new node labelled 'neg'.",
      "max(x, 0.0) of every entry, a new node labelled 'relu'.",
      "1 / (exp(-x) + 1) of every entry, a new node labelled 'sigmoid'.",
      "tanh of every entry, a new node labelled 'tanh'.",
      "exp of every entry, a new node labelled 'exp'.",
      "log of every entry, a new node labelled 'log' (-inf at 0.0, nan below)."});
  matrix.def("element_wise_mult", reads<&Matrix::element_wise_mult>(), py::arg("other").none(false), py::pos_only(),
           "The element-wise (Hadamard) product with other, a new node labelled 'elt_mul'. ValueError on shapes.")
      .def("scalar_multiply", reads<&Matrix::scalar_multiply>(),
           "c * self for a float c (positional), a new node labelled 'scalar_mul'.")
      .def("transpose_op", reads<&Matrix::transpose_op>(), "The transpose, a new node labelled 'transpose'.")
      .def("sum_cols", reads<&Matrix::sum_cols>(),
           "One column holding the sum of each row ((rows, 1)), a new node labelled 'sum_cols'.");
  graph_methods(matrix, "Matrix", ", or a value was reassigned to a shape its rule cannot use");
  matrix.def("__repr__", [](const Matrix& x) {
        const std::size_t cols = x.matrix.empty() ? 0 : x.matrix[0].size();
        return "Matrix(shape=" + std::to_string(x.matrix.size()) + "x" + std::to_string(cols) +
               ", operation=" + py_repr(x.operation) + ")";
      }, "Matrix(shape=ROWSxCOLS, operation='...'); the values are in .matrix.");

  py::class_<ActivationFunction, PyActivationFunction>(m, "ActivationFunction",
      R"doc(An activation: one float to one float, with its derivative.

Subclass it in Python to give a Network your own activation: call ActivationFunction.__init__(self)
from your __init__ and define forward(self, x) and derivative(self, x) (a missing one raises
RuntimeError "Tried to call pure virtual function ..." when the network needs it). The built-ins
are ReLU, Sigmoid and Tanh. Instances pickle as their class called without arguments, plus their
__dict__.
)doc")
      .def(py::init<>(), "The base for a Python subclass; forward and derivative come from the subclass.")
      .def("forward", reads<&ActivationFunction::forward>(), "The activation's value at x (a float, positional).")
      .def("derivative", reads<&ActivationFunction::derivative>(), "The activation's derivative at x (a float, positional).")
      .def("__reduce__", [](const py::object& self) -> py::tuple {
        require_constructed<ActivationFunction>(self);
        return py::make_tuple(py::type::of(self), py::tuple(), py::getattr(self, "__dict__", py::none()));
      }, "Pickles as the class called without arguments, then the instance's __dict__.")
      .def("__repr__", [](const py::object& self) {
        require_constructed<ActivationFunction>(self);
        return py::type::of(self).attr("__name__").cast<std::string>() + "()";
      }, "The class name and (), for example ReLU().");
  py::class_<ReLU, ActivationFunction>(m, "ReLU", "max(x, 0.0); derivative 1.0 above 0.0, else 0.0 (nan gives 0.0).")
      .def(py::init<>(), "The rectified linear unit.");
  py::class_<Sigmoid, ActivationFunction>(m, "Sigmoid", "1 / (exp(-x) + 1); derivative s * (1 - s).")
      .def(py::init<>(), "The logistic sigmoid.");
  py::class_<Tanh, ActivationFunction>(m, "Tanh", "tanh(x); derivative 1 - tanh(x) ** 2.")
      .def(py::init<>(), "The hyperbolic tangent.");

  py::enum_<FunctionType> function_type(
      m, "FunctionType",
      "The built-in activation a Network uses when it is given none: RELU (0), SIGMOID (1), TANH (2).");
  function_type.value("RELU", FunctionType::RELU, "ReLU, the Network default.")
      .value("SIGMOID", FunctionType::SIGMOID, "Sigmoid.")
      .value("TANH", FunctionType::TANH, "Tanh.")
      .export_values();
  reduce_through_state(function_type);
}

}  // namespace tarnwick::bindings
