// The module entry: sets the docstring, connects the library's long loops to Python's signal
// handling, maps the library's file errors to OSError, registers every subsystem in its fixed
// order and makes every class refuse objects whose __init__ never ran.
#include <array>
#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <string>
#include <utility>

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

// Cls.__new__(Cls) makes an object that holds no library value. Handed such an object (as self or
// as an argument), pybind11 would allocate uninitialised memory for the value and call the method
// on it. Every class of the module gives pybind11 an allocator that raises TypeError naming the
// class instead; one function per class, because the allocator is told only the size.
constexpr std::size_t kMaxClasses = 32;
std::array<std::string, kMaxClasses> class_names;

template <std::size_t I>
void* refuse_unconstructed(std::size_t) {
  throw py::type_error(class_names[I] + " object is not initialized: its __init__ was never called");
}

template <std::size_t... I>
constexpr auto refusals(std::index_sequence<I...>) {
  return std::array<void* (*)(std::size_t), sizeof...(I)>{&refuse_unconstructed<I>...};
}

void refuse_unconstructed_objects(const py::module_& m) {
  static constexpr auto allocators = refusals(std::make_index_sequence<kMaxClasses>());
  std::size_t next = 0;
  for (const auto item : m.attr("__dict__").cast<py::dict>()) {
    if (!PyType_Check(item.second.ptr())) continue;
    py::detail::type_info* info = py::detail::get_type_info(reinterpret_cast<PyTypeObject*>(item.second.ptr()));
    if (info == nullptr || info->type != reinterpret_cast<PyTypeObject*>(item.second.ptr())) continue;
    if (next == kMaxClasses) py::pybind11_fail("refuse_unconstructed_objects: raise kMaxClasses");
    class_names[next] = py::str(item.first).cast<std::string>();
    info->operator_new = allocators[next++];
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
  refuse_unconstructed_objects(m);
}
