// The module entry: sets the docstring, connects the library's long loops to Python's signal
// handling, maps the library's file errors to OSError and registers every subsystem in its fixed
// order.
#include <cerrno>
#include <filesystem>

#include "bindings/convert.hpp"
#include "bindings/register.hpp"
#include "core/interrupt.hpp"

namespace py = pybind11;

namespace {

unsigned long main_thread = 0;

// Python runs signal handlers only on its main thread; elsewhere there is nothing to check, and
// taking the interpreter lock there would only slow the loop down.
void check_signals() {
  if (PyThread_get_thread_ident() != main_thread) return;
  py::gil_scoped_acquire gil;
  if (PyErr_CheckSignals() != 0) throw py::error_already_set();
}

// As open() reports it: OSError(errno, reason, path), which Python turns into FileNotFoundError,
// PermissionError and the other subclasses by the errno.
void translate_file_errors(std::exception_ptr p) {
  try {
    if (p) std::rethrow_exception(p);
  } catch (const std::filesystem::filesystem_error& e) {
    const py::object path = py::cast(e.path1());
    errno = e.code().value();
    PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, path.ptr());
  }
}

}  // namespace

PYBIND11_MODULE(_cpp, m, py::multiple_interpreters::not_supported()) {
  m.doc() = "tarnwick C++ backend";
  main_thread = py::module_::import("threading").attr("main_thread")().attr("ident").cast<unsigned long>();
  tarnwick::set_interrupt_hook(check_signals);
  py::register_exception_translator(translate_file_errors);
  tarnwick::bindings::register_core(m);
  tarnwick::bindings::register_autodiff(m);
  tarnwick::bindings::register_nn(m);
  tarnwick::bindings::register_regression(m);
  tarnwick::bindings::register_neighbours(m);
  tarnwick::bindings::register_text(m);
  tarnwick::bindings::register_random(m);
}
