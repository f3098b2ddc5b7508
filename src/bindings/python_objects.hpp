// What makes a registered class a good Python citizen: pickling (and so copy.deepcopy, joblib and
// multiprocessing) and equality through the model's own file text, so that a pickle and a saved
// file can never disagree, and a repr that Python itself formats. Registration only: the text is
// the library's to_text / load_text.
#pragma once

#include <pybind11/pybind11.h>

#include "bindings/guard.hpp"

#include <memory>
#include <string>
#include <tuple>

namespace tarnwick::bindings {

// The repr of any value as Python writes it ('euclidean', 0.1, [1, 2]).
template <typename T>
std::string py_repr(const T& value) {
  return pybind11::repr(pybind11::cast(value)).template cast<std::string>();
}

// Python's default __reduce__ (and pickle protocols 0 and 1) asks copyreg, which builds an empty
// instance of the nearest non-Python base of the class: for a registered class that is the binding
// layer's own base, which cannot be built and aborts the process. So every class reduces itself:
// as pickle protocol 2 does (a new instance, then __setstate__ with what __getstate__ gives) where
// it has a state, with TypeError where it cannot be pickled.
template <typename Class>
void reduce_through_state(Class& cls) {
  namespace py = pybind11;
  cls.def(
      "__reduce__",
      [](const py::object& self) -> py::tuple {
        const py::object newobj = py::module_::import("copyreg").attr("__newobj__");
        return py::make_tuple(newobj, py::make_tuple(py::type::of(self)), self.attr("__getstate__")());
      },
      "Pickles as a new instance of the class given the state __getstate__ returns.");
}

template <typename Class>
void refuse_pickling(Class& cls) {
  namespace py = pybind11;
  cls.def(
      "__reduce__",
      [](const py::object& self) -> py::object {
        throw py::type_error("cannot pickle '" + py::type::of(self).attr("__name__").cast<std::string>() + "' object");
      },
      "Raises TypeError: autodiff nodes are not pickled.");
}

// __eq__(self, other): key(self) == key(other) for another T, False for any other object (typed so
// that a stub reads `other: object`, as Python's own __eq__ does). Each key is taken under its own
// object's lock in turn, never both locks at once; so an object is compared with itself by taking
// its key once, which another thread changing it in between cannot make unequal.
template <typename T, typename Class, typename Key>
void equality(Class& cls, Key key, const char* doc) {
  namespace py = pybind11;
  cls.def(
      "__eq__",
      [key](const T* self, const py::object& other) {
        if (!py::isinstance<T>(other)) return false;
        const T* theirs = other.cast<const T*>();
        const auto mine = with_object<Access::read>(self, key);
        return theirs == self || mine == with_object<Access::read>(theirs, key);
      },
      py::arg("other"), doc);
}

// Pickles a default-constructed Model as the one-line text its file holds, and makes two models
// equal when they would write the same file.
template <typename Model, typename Class>
void pickle_through_file(Class& cls) {
  namespace py = pybind11;
  const auto text = [](const Model& m) { return m.to_text(); };
  cls.def(py::pickle([text](const Model* self) { return std::make_tuple(with_object<Access::read, Gil::release>(self, text)); },
                     [](const std::tuple<std::string>& state) {
                       auto m = std::make_unique<Model>();
                       m->load_text(std::get<0>(state));
                       return m;
                     }));
  reduce_through_state(cls);
  equality<Model>(
      cls, text,
      "True when other is a model of this class that would write the same file (a label holding '\"' "
      "raises ValueError, as in save).");
}

}  // namespace tarnwick::bindings
