// Predictions of the naive Bayes models, which count the table entries they lack as 0 and add
// them to the model afterwards: the prediction runs under the object's lock shared (alongside
// other readers) with the interpreter lock released, and only when it found entries missing is the
// lock taken alone to add them. Should the model have been fitted or loaded in between, the
// prediction is made again under that hold, so that each call acts as if it had run alone.
#pragma once

#include <utility>

#include "bindings/guard.hpp"

namespace tarnwick::bindings {

// predict(const Model&, Model::Missing&) makes the prediction; its result is returned.
template <typename Model, typename Predict>
auto predict_then_add(Model* self, Predict predict) {
  typename Model::Missing missing;
  auto result = with_object<Access::read, Gil::release>(self, [&](const Model& m) { return predict(m, missing); });
  if (missing.empty()) return result;
  with_object<Access::write, Gil::release>(self, [&](Model& m) {
    if (m.add_missing(missing)) return;
    typename Model::Missing again;
    result = predict(std::as_const(m), again);
    m.add_missing(again);
  });
  return result;
}

}  // namespace tarnwick::bindings
