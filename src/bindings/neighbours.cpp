// KNN, KDTree and GaussianNaiveBayes. Arguments without a name here are positional only.
#include "bindings/convert.hpp"

#include "bindings/register.hpp"
#include "models/gaussian_nb.hpp"
#include "models/kdtree.hpp"
#include "models/knn.hpp"

namespace py = pybind11;

namespace tarnwick::bindings {

void register_neighbours(py::module_& m) {
  py::class_<KNN>(m, "KNN")
      .def(py::init<int, std::string>(), py::arg("k") = 5, py::arg("metric") = "euclidean")
      .def("fit", &KNN::fit)
      .def("predict_one", &KNN::predict_one)
      .def("predict", &KNN::predict)
      .def("accuracy", &KNN::accuracy)
      .def("save", &KNN::save, py::arg("path") = "knn.json")
      .def("load", &KNN::load, py::arg("path") = "knn.json");

  py::class_<KDTree>(m, "KDTree")
      .def(py::init<>())
      .def("fit", &KDTree::fit)
      .def("predict_one", &KDTree::predict_one, py::arg("query"), py::arg("k") = 1)
      .def("predict", &KDTree::predict, py::arg("x_test"), py::arg("k") = 1)
      .def("accuracy", &KDTree::accuracy, py::arg("x_test"), py::arg("y_test"), py::arg("k") = 1)
      .def("save", &KDTree::save, py::arg("path") = "kdtree.json")
      .def("load", &KDTree::load, py::arg("path") = "kdtree.json");

  py::class_<GaussianNaiveBayes>(m, "GaussianNaiveBayes")
      .def(py::init<>())
      .def("fit", &GaussianNaiveBayes::fit)
      .def("predict_one", &GaussianNaiveBayes::predict_one)
      .def("predict", &GaussianNaiveBayes::predict)
      .def("accuracy", &GaussianNaiveBayes::accuracy)
      .def("save", &GaussianNaiveBayes::save, py::arg("path") = "gaussian_nb.json")
      .def("load", &GaussianNaiveBayes::load, py::arg("path") = "gaussian_nb.json");
}

}  // namespace tarnwick::bindings
