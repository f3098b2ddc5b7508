// GDA, LinearRegression and LogisticRegression, in that order. Each Python object owns its model
// alone; list properties are read as copies and assigned as copies.
#include "bindings/convert.hpp"

#include "bindings/register.hpp"
#include "models/gda.hpp"
#include "models/linear_regression.hpp"
#include "models/logistic_regression.hpp"

namespace py = pybind11;

namespace tarnwick::bindings {

void register_regression(py::module_& m) {
  py::class_<GDA>(m, "GDA")
      .def(py::init<std::string>(), py::arg("positive_class") = "")
      .def("fit", &GDA::fit)
      .def("predict_one", &GDA::predict_one)
      .def("predict", &GDA::predict)
      .def("accuracy", &GDA::accuracy)
      .def("save", &GDA::save, py::arg("path") = "gda.json")
      .def("load", &GDA::load, py::arg("path") = "gda.json")
      .def_readwrite("positive_class", &GDA::positive_class)
      .def_readwrite("negative_class", &GDA::negative_class)
      .def_readwrite("phi", &GDA::phi)
      .def_readwrite("mu_zero", &GDA::mu_zero)
      .def_readwrite("mu_one", &GDA::mu_one)
      .def_readwrite("covariance", &GDA::covariance)
      .def_readwrite("dimension", &GDA::dimension);

  py::class_<LinearRegression>(m, "LinearRegression")
      .def(py::init<>())
      .def("fit", &LinearRegression::fit, py::arg("x_train"), py::arg("y_train"), py::arg("learning_rate") = 0.01,
           py::arg("iterations") = 100)
      .def("predict", &LinearRegression::predict)
      .def("mse", &LinearRegression::mse)
      .def("save", &LinearRegression::save, py::arg("path") = "linear_regression.json")
      .def("load", &LinearRegression::load, py::arg("path") = "linear_regression.json")
      .def_readwrite("theta0", &LinearRegression::theta0)
      .def_readwrite("theta1", &LinearRegression::theta1);

  py::class_<LogisticRegression>(m, "LogisticRegression")
      .def(py::init<std::string>(), py::arg("positive_class") = "")
      .def("fit", &LogisticRegression::fit, py::arg("x_train"), py::arg("y_train"),
           py::arg("learning_rate") = 0.001, py::arg("iterations") = 1000)
      .def("predict_proba", &LogisticRegression::predict_proba)
      .def("predict", &LogisticRegression::predict, py::arg("x_test"), py::arg("threshold") = 0.5)
      .def("accuracy", &LogisticRegression::accuracy, py::arg("x_test"), py::arg("y_test"),
           py::arg("threshold") = 0.5)
      .def("save", &LogisticRegression::save, py::arg("path") = "logistic_regression.json")
      .def("load", &LogisticRegression::load, py::arg("path") = "logistic_regression.json")
      .def_readwrite("positive_class", &LogisticRegression::positive_class)
      .def_readwrite("thetas", &LogisticRegression::thetas);
}

}  // namespace tarnwick::bindings
