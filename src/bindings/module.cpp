// The module entry: sets the docstring and registers every subsystem in its fixed order.
#include "bindings/register.hpp"

namespace py = pybind11;

PYBIND11_MODULE(_cpp, m, py::multiple_interpreters::not_supported()) {
  m.doc() = "tarnwick C++ backend";
  tarnwick::bindings::register_core(m);
  tarnwick::bindings::register_autodiff(m);
  tarnwick::bindings::register_nn(m);
  tarnwick::bindings::register_regression(m);
  tarnwick::bindings::register_neighbours(m);
  tarnwick::bindings::register_text(m);
  tarnwick::bindings::register_random(m);
}
