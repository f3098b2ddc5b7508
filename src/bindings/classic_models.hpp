// The Python surface the classic models share, registered by two templates: a classifier's fit,
// predict_one, predict and accuracy, and every model's save, load, repr, pickling and equality.
// Each model states only what is its own (the argument names, what a query must be, its file
// format); the docstrings of the shared methods are written here once and filled in from that.
#pragma once

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/typing.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "bindings/docstring.hpp"
#include "bindings/guard.hpp"
#include "bindings/python_objects.hpp"

namespace tarnwick::bindings {

// A model's file, as save's and load's docstrings describe it.
struct FileDocs {
  const char* saves = "the model";  // what save writes
  const char* format;               // the line it writes, and any word on it
  const char* quoted = nullptr;     // the text save refuses when it holds '"' ("a label")
  const char* loads;                // what load replaces
  const char* loaded = nullptr;     // what else load does, a paragraph of its own
  const char* refused = nullptr;    // what else load refuses ("or ..."), beyond a malformed file
  const char* repr;                 // what __repr__ shows
};

// save and load (the model's own file name as the default path), __repr__ (repr(model) gives its
// text), and pickling and equality through the file text.
template <typename Model, typename Repr>
void persistence(pybind11::class_<Model>& cls, const FileDocs& d, Repr repr) {
  namespace py = pybind11;
  Doc save{"Writes " + std::string(d.saves) + " to path as one line of text.\n\nFormat: " + d.format + "."};
  if (d.quoted != nullptr) {
    save.raises.push_back("ValueError: " + std::string(d.quoted) + " holds '\"' (nothing is written).");
  }
  save.raises.push_back("OSError: the file cannot be written (the old file is left as it was).");
  Doc load{"Replaces " + std::string(d.loads) + " with those of a save file (all or nothing)."};
  if (d.loaded != nullptr) load.summary += "\n\n" + std::string(d.loaded);
  load.raises = {"IndexError: the file cannot be opened (or a number is out of range).",
                 d.refused ? "ValueError: a key is missing, a value is malformed, " + std::string(d.refused) + "."
                           : "ValueError: a key is missing or a value is malformed."};
  const auto path = py::arg("path") = Model::default_file;
  cls.def("save", reads<&Model::save, Gil::release, Model>(), path, save.text().c_str())
      .def("load", writes<&Model::load, Gil::release, Model>(), path, load.text().c_str())
      .def("__repr__", [repr](const Model* self) { return with_object<Access::read>(self, repr); }, d.repr);
  pickle_through_file<Model>(cls);
}

// A classifier's queries: their argument names (Python names only when the classifier has a
// setting such as k; all positional otherwise), what one query is called in the docstrings'
// sentences, what the queries must be, and why one is refused (nullptr: never).
struct Queries {
  const char* one = "x";   // predict_one's query
  const char* many = "X";  // predict's and accuracy's queries
  const char* labels = "y";
  const char* row = "row";
  const char* shape = "(n_queries, n_features) list of rows.";
  const char* refused = nullptr;
};

// A prediction setting after the queries (k, threshold): its name, default, type and bounds, and
// why a value is refused (nullptr: never).
template <typename T>
struct Setting {
  const char* name;
  T value;
  const char* doc;
  const char* refused = nullptr;

  std::string line() const { return std::string(name) + ": " + doc; }
};

// The classifier's own docstrings: fit's and predict_one's whole (no fit: the model registers its
// own fit, with its own arguments), predict's summary (none: "as predict_one") and what
// accuracy's summary adds. predict_one is registered wherever the model has one.
struct ClassifierDocs {
  std::string fit = {};
  std::string predict_one = {};
  std::string predict = {};
  std::string accuracy = {};
};

// Predictions of the naive Bayes models, which count the table entries they lack as 0 and add
// them to the model afterwards: the prediction runs under the object's lock shared (alongside
// other readers) with the interpreter lock released, its result becomes a Python object, and only
// then, when it found entries missing, is the lock taken alone to add them; a call that raises
// (MemoryError in the result's conversion included) adds nothing. Should the model have been
// fitted or loaded in between, the prediction is made again under that hold, so that each call
// acts as if it had run alone. predict(const Model&, Model::Missing&) makes the prediction,
// returned as the Python type Result (pybind11::str, pybind11::float_,
// pybind11::typing::List<pybind11::str>: what the stubs show).
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

template <typename Model>
concept AddsMissing = requires { typename Model::Missing; };

template <typename Model, typename Row, typename... S>
concept AnswersOne =
    AddsMissing<Model> || requires(const Model& m, const Row& query, S... s) { m.predict_one(query, s...); };

// ask(model, missing...) under the object's lock shared, with the interpreter lock released; for a
// model that adds the entries its predictions lack, through predict_then_add (Result is then the
// Python type of the answer).
template <typename Result, typename Model, typename Ask>
auto prediction(Model* self, const Ask& ask) {
  if constexpr (AddsMissing<Model>) {
    return predict_then_add<Result>(self, ask);
  } else {
    return with_object<Access::read, Gil::release>(self, [&](const Model& m) { return ask(m); });
  }
}

// cls.def with extras held in a tuple: the argument names only some classifiers give.
template <typename Class, typename F, typename... Extra>
void def_with(Class& cls, const char* name, F&& f, const std::string& doc, const std::tuple<Extra...>& extra) {
  std::apply([&](const auto&... e) { cls.def(name, std::forward<F>(f), e..., doc.c_str()); }, extra);
}

// fit, predict_one, predict and accuracy for queries of type Row, with at most one setting after
// the queries.
template <typename Model, typename Row, typename... S>
void classifier(pybind11::class_<Model>& cls, const Queries& q, const ClassifierDocs& d, const Setting<S>&... setting) {
  namespace py = pybind11;
  static_assert(sizeof...(S) <= 1, "one prediction setting at the most");
  using Labels = std::vector<std::string>;
  // pybind11 names all of a function's arguments or none: the queries get Python names only where
  // a setting, which wants its name, follows them.
  constexpr bool named = sizeof...(S) > 0;
  const auto names = [&](auto... query) {
    if constexpr (named) {
      return std::make_tuple(py::arg(query)..., (py::arg(setting.name) = setting.value)...);
    } else {
      return std::tuple<>();
    }
  };
  const std::string row = q.row, rows = row + "s", x = q.many, y = q.labels;
  std::vector<std::string> refusals;
  for (const char* reason : {setting.refused..., q.refused}) {
    if (reason != nullptr) refusals.emplace_back(reason);
  }
  std::vector<std::string> accuracy_refusals{"fewer labels than " + rows};
  accuracy_refusals.insert(accuracy_refusals.end(), refusals.begin(), refusals.end());

  if (!d.fit.empty()) cls.def("fit", writes<&Model::fit, Gil::release, Model>(), d.fit.c_str());
  if constexpr (AnswersOne<Model, Row, S...>) {
    def_with(cls, "predict_one", [](Model* self, const Row& query, S... s) {
      return prediction<py::str>(
          self, [&](const Model& m, auto&... missing) { return m.predict_one(query, s..., missing...); });
    }, d.predict_one, names(q.one));
  }
  const Doc predict{d.predict.empty() ? "The label of every " + row + ", as predict_one." : d.predict,
                    {x + ": " + q.shape, setting.line()...}, {"list of str, one per " + row + "."},
                    value_error(refusals), !named};
  def_with(cls, "predict", [](Model* self, const std::vector<Row>& queries, S... s) {
    return prediction<py::typing::List<py::str>>(
        self, [&](const Model& m, auto&... missing) { return m.predict(queries, s..., missing...); });
  }, predict.text(), names(q.many));
  const Doc accuracy{"Percentage of " + rows + " predicted as labelled" + d.accuracy + ".",
                     {x + ": " + q.shape,
                      y + ": list of str labels, at least one per " + row + "; the count divides (empty gives nan).",
                      setting.line()...},
                     {"float in [0, 100] (nan for no labels)."}, value_error(accuracy_refusals), !named};
  def_with(cls, "accuracy", [](Model* self, const std::vector<Row>& queries, const Labels& labels, S... s) {
    return prediction<py::float_>(
        self, [&](const Model& m, auto&... missing) { return m.accuracy(queries, labels, s..., missing...); });
  }, accuracy.text(), names(q.many, q.labels));
}

}  // namespace tarnwick::bindings
