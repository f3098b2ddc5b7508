// BernoulliNaiveBayes and MultinomialNaiveBayes, in that order: the same Python surface over the
// two classifiers' shared base, which Python does not see. Each Python object owns its model.
#include "bindings/convert.hpp"

#include "bindings/register.hpp"
#include "models/bernoulli_nb.hpp"
#include "models/multinomial_nb.hpp"

namespace py = pybind11;

namespace tarnwick::bindings {

namespace {

template <typename Model>
void register_text_model(py::module_& m, const char* name, const char* file) {
  py::class_<Model>(m, name)
      .def(py::init<int>(), py::arg("vocab_size") = 1000)
      .def("fit", &Model::fit)
      .def("predict_one", &Model::predict_one)
      .def("predict", &Model::predict)
      .def("accuracy", &Model::accuracy)
      .def("save", &Model::save, py::arg("path") = file)
      .def("load", &Model::load, py::arg("path") = file);
}

}  // namespace

void register_text(py::module_& m) {
  register_text_model<BernoulliNaiveBayes>(m, "BernoulliNaiveBayes", "bernoulli_nb.json");
  register_text_model<MultinomialNaiveBayes>(m, "MultinomialNaiveBayes", "multinomial_nb.json");
}

}  // namespace tarnwick::bindings
