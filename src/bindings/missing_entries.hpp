// Predictions of the naive Bayes models, which count the table entries they lack as 0 and add
// them to the model afterwards: the prediction runs under the object's lock shared (alongside
// other readers) with the interpreter lock released, its result becomes a Python object, and only
// then, when it found entries missing, is the lock taken alone to add them; a call that raises
// (MemoryError in the result's conversion included) adds nothing. Should the model have been
// fitted or loaded in between, the prediction is made again under that hold, so that each call
// acts as if it had run alone.
#pragma once

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/typing.h>

#include <utility>

#include "bindings/guard.hpp"

namespace tarnwick::bindings {

// predict(const Model&, Model::Missing&) makes the prediction, returned as the Python type Result
// (pybind11::str, pybind11::float_, pybind11::typing::List<pybind11::str>: what the stubs show).
template <typename Result, typename Model, typename Predict>
Result predict_then_add(Model* self, Predict predict) {
  namespace py = pybind11;
  const auto to_python = [](auto&& value) {
    return py::reinterpret_steal<Result>(py::cast(std::forward<decltype(value)>(value)).release());
  };
  typename Model::Missing missing;
  Result out = to_python(
      with_object<Access::read, Gil::release>(self, [&](const Model& m) { return predict(m, missing); }));
  if (missing.empty()) return out;
  // Adding moves a few nodes between maps: not worth releasing the interpreter lock for, except
  // while waiting for the object's lock (see Hold) or predicting again.
  with_object<Access::write>(self, [&](Model& m) {
    if (m.add_missing(missing)) return;
    typename Model::Missing again;
    auto value = [&] {
      py::gil_scoped_release unlocked;
      return predict(std::as_const(m), again);
    }();
    out = to_python(std::move(value));
    m.add_missing(again);
  });
  return out;
}

}  // namespace tarnwick::bindings
