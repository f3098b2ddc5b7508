// GDA, LinearRegression and LogisticRegression, in that order. Each Python object owns its model
// alone; list properties are read as copies and assigned as copies. Models pickle as their file text.
#include "bindings/convert.hpp"

#include "bindings/guard.hpp"
#include "bindings/python_objects.hpp"
#include "bindings/register.hpp"
#include "models/gda.hpp"
#include "models/linear_regression.hpp"
#include "models/logistic_regression.hpp"

namespace py = pybind11;

namespace tarnwick::bindings {

void register_regression(py::module_& m) {
  py::class_<GDA> gda(m, "GDA", R"doc(Two-class Gaussian discriminant analysis over rows of features.

X is (n_samples, n_features), one row per sample, with one str label per row. fit estimates the
prior phi of the positive class, a mean per class and one pooled covariance; a query goes to the
class of larger log prior plus log normal density (an exact tie, or nan scores, as described in
predict_one). The covariance is inverted by LU without pivoting after adding 1e-6 to its diagonal:
a singular one gives inf and nan, never an error. Pickles as its file text; equal models write the
same file.
)doc");
  gda.def(py::init<std::string>(), py::arg("positive_class") = "",
          "A model whose positive class is positive_class (str); '' lets fit take the smallest label.")
      .def("fit", writes<&GDA::fit, Gil::release>(), R"doc(Estimates phi, mu_zero, mu_one, covariance and dimension from the training rows.

Sets positive_class only when it is '' (to the smallest label); negative_class becomes the largest
other label. A class without rows leaves nan means.

Args (positional only):
    X: (n_samples, n_features) rectangular list of rows, at least one.
    y: list of str labels, at least one per row.

Raises:
    ValueError: X is empty or ragged, or y has fewer labels than X has rows.
)doc")
      .def("predict_one", reads<&GDA::predict_one, Gil::release>(), R"doc(The label of one query row.

positive_class when its score is at least the negative class's (so exact ties go positive);
a nan score selects negative_class.

Args (positional only):
    x: list of exactly dimension floats.

Returns:
    str: positive_class or negative_class.

Raises:
    ValueError: len(x) is not dimension, or the fields disagree with dimension.
)doc")
      .def("predict", reads<&GDA::predict, Gil::release>(), R"doc(The label of every query row, as predict_one.

Args (positional only):
    X: (n_queries, dimension) list of rows.

Returns:
    list of str, one per row.

Raises:
    ValueError: a row's length is not dimension, or the fields disagree with dimension.
)doc")
      .def("accuracy", reads<&GDA::accuracy, Gil::release>(), R"doc(Percentage of rows predicted exactly as labelled.

Args (positional only):
    X: (n_queries, dimension) list of rows.
    y: list of str labels, at least one per row; the count divides (empty gives nan).

Returns:
    float in [0, 100] (nan for no labels).

Raises:
    ValueError: fewer labels than rows, or a row's length is not dimension.
)doc")
      .def("save", reads<&GDA::save, Gil::release, GDA>(), py::arg("path") = GDA::default_file, R"doc(Writes the model to path as one line of text.

Format: {"positive_class":"a","negative_class":"b","dimension":1,"phi":0.5,"mu_zero":[11],"mu_one":[1],"covariance":[[1]]}.

Raises:
    ValueError: a label holds '"' (nothing is written).
    OSError: the file cannot be written (the old file is left as it was).
)doc")
      .def("load", writes<&GDA::load, Gil::release, GDA>(), py::arg("path") = GDA::default_file,
          R"doc(Replaces every field with those of a save file (all or nothing).

Raises:
    IndexError: the file cannot be opened (or a number is out of range).
    ValueError: a key is missing or a value is malformed; the model is unchanged.
)doc")
      .def_property("positive_class", getter<&GDA::positive_class>(), setter<&GDA::positive_class>(), "str: the label of class one.")
      .def_property("negative_class", getter<&GDA::negative_class>(), setter<&GDA::negative_class>(), "str: the label of class zero.")
      .def_property("phi", getter<&GDA::phi>(), setter<&GDA::phi>(), "float: the fraction of training rows labelled positive_class.")
      .def_property("mu_zero", getter<&GDA::mu_zero>(), setter<&GDA::mu_zero>(), "list[float]: the mean of the negative class (dimension entries).")
      .def_property("mu_one", getter<&GDA::mu_one>(), setter<&GDA::mu_one>(), "list[float]: the mean of the positive class (dimension entries).")
      .def_property("covariance", getter<&GDA::covariance>(), setter<&GDA::covariance>(),
                     "list[list[float]]: the pooled covariance, (dimension, dimension), divided by the row count.")
      .def_property("dimension", getter<&GDA::dimension>(), setter<&GDA::dimension>(), "int: the number of features (0 until fitted).")
      .def("__repr__", [](const GDA* self) { return with_object<Access::read>(self, [](const GDA& g) {
        return "GDA(positive_class=" + py_repr(g.positive_class) + ", negative_class=" + py_repr(g.negative_class) +
               ", dimension=" + std::to_string(g.dimension) + ")";
      }); }, "The class labels and dimension (0: not fitted).");
  pickle_through_file<GDA>(gda);

  py::class_<LinearRegression> line(m, "LinearRegression",
      R"doc(Straight-line fit y ~ theta0 + theta1 * x on one feature, by batch gradient descent.

x and y are lists of floats, one entry per sample. Pickles as its file text; equal models write
the same file.
)doc");
  line.def(py::init<>(), "A model with theta0 = theta1 = 0.0.")
      .def("fit", writes<&LinearRegression::fit, Gil::release>(), py::arg("x_train"), py::arg("y_train"), py::arg("learning_rate") = 0.01,
           py::arg("iterations") = 100,
               R"doc(Fits theta0 and theta1 by gradient descent on the squared error, from zero every time.

Args:
    x_train: list of floats, one per sample.
    y_train: list of floats, at least one per x_train entry.
    learning_rate: float, the step size.
    iterations: int; below 1 leaves both parameters exactly 0.0.

Raises:
    ValueError: y_train is shorter than x_train. An empty training set is not an error: it gives
        nan parameters.
)doc")
      .def("predict", reads<&LinearRegression::predict, Gil::release>(), R"doc(theta0 + theta1 * x for every entry.

Args (positional only):
    x: list of floats.

Returns:
    list of floats, one per entry.
)doc")
      .def("mse", reads<&LinearRegression::mse, Gil::release>(), R"doc(Mean squared error of the predictions for x against y.

Args (positional only):
    x: list of floats.
    y: list of floats, at least one per x entry; its length divides (empty gives nan).

Returns:
    float.

Raises:
    ValueError: y is shorter than x.
)doc")
      .def("save", reads<&LinearRegression::save, Gil::release, LinearRegression>(), py::arg("path") = LinearRegression::default_file,
           R"doc(Writes the model to path as one line: {"theta0":...,"theta1":...}.

Raises:
    OSError: the file cannot be written (the old file is left as it was).
)doc")
      .def("load", writes<&LinearRegression::load, Gil::release, LinearRegression>(), py::arg("path") = LinearRegression::default_file,
           R"doc(Replaces theta0 and theta1 with those of a save file (both or neither).

Raises:
    IndexError: the file cannot be opened (or a number is out of range).
    ValueError: a key is missing or a value is malformed; the model is unchanged.
)doc")
      .def_property("theta0", getter<&LinearRegression::theta0>(), setter<&LinearRegression::theta0>(), "float: the intercept.")
      .def_property("theta1", getter<&LinearRegression::theta1>(), setter<&LinearRegression::theta1>(), "float: the slope.")
      .def("__repr__", [](const LinearRegression* self) { return with_object<Access::read>(self, [](const LinearRegression& l) {
        return "LinearRegression(theta0=" + py_repr(l.theta0) + ", theta1=" + py_repr(l.theta1) + ")";
      }); }, "The two parameters (both 0.0 until fitted).");
  pickle_through_file<LinearRegression>(line);

  py::class_<LogisticRegression> logistic(m, "LogisticRegression",
      R"doc(Binary logistic regression over rows of features, by batch gradient ascent.

X is (n_samples, n_features), one row per sample. One label is the positive class; every other
label is negative and predicts as ''. thetas holds the intercept, then one weight per feature.
Numeric trouble shows up as inf and nan, never as an error. Pickles as its file text; equal models
write the same file.
)doc");
  logistic.def(py::init<std::string>(), py::arg("positive_class") = "",
               "A model whose positive class is positive_class (str); '' lets fit take the smallest label.")
      .def("fit", writes<&LogisticRegression::fit, Gil::release>(), py::arg("x_train"), py::arg("y_train"), py::arg("learning_rate") = 0.001,
           py::arg("iterations") = 1000,
               R"doc(Fits thetas by gradient ascent on the mean log-likelihood, from zero weights.

Sets positive_class only when it is '' (to the smallest label), and keeps it through later fits.

Args:
    x_train: (n_samples, n_features) rectangular list of rows, at least one.
    y_train: list of str labels, at least one per row.
    learning_rate: float, the step size.
    iterations: int; below 1 leaves n_features + 1 zeros.

Raises:
    ValueError: x_train is empty or ragged, or y_train has fewer labels than rows.
)doc")
      .def("predict_proba", reads<&LogisticRegression::predict_proba, Gil::release>(),
          R"doc(The probability of the positive class for every row.

Args (positional only):
    x: (n_queries, n_features) list of rows, none longer than len(thetas) - 1.

Returns:
    list of floats, one per row.

Raises:
    ValueError: a row is longer than the weights (an unfitted model has none).
)doc")
      .def("predict", reads<&LogisticRegression::predict, Gil::release>(), py::arg("x_test"), py::arg("threshold") = 0.5,
           R"doc(positive_class where the probability is at least threshold, '' otherwise (also for nan).

Args:
    x_test: (n_queries, n_features) list of rows.
    threshold: float.

Returns:
    list of str, one per row.

Raises:
    ValueError: a row is longer than the weights.
)doc")
      .def("accuracy", reads<&LogisticRegression::accuracy, Gil::release>(), py::arg("x_test"), py::arg("y_test"), py::arg("threshold") = 0.5,
           R"doc(Percentage of rows predicted as labelled (a label other than positive_class counts as '').

Args:
    x_test: (n_queries, n_features) list of rows.
    y_test: list of str labels, at least one per row; the count divides (empty gives nan).
    threshold: float.

Returns:
    float in [0, 100] (nan for no labels).

Raises:
    ValueError: fewer labels than rows, or a row is longer than the weights.
)doc")
      .def("save", reads<&LogisticRegression::save, Gil::release, LogisticRegression>(), py::arg("path") = LogisticRegression::default_file,
           R"doc(Writes the model to path as one line: {"positive_class":"...","thetas":[...]}.

Raises:
    ValueError: positive_class holds '"' (nothing is written).
    OSError: the file cannot be written (the old file is left as it was).
)doc")
      .def("load", writes<&LogisticRegression::load, Gil::release, LogisticRegression>(), py::arg("path") = LogisticRegression::default_file,
           R"doc(Replaces positive_class and thetas with those of a save file (both or neither).

Raises:
    IndexError: the file cannot be opened (or a number is out of range).
    ValueError: a key is missing or a value is malformed; the model is unchanged.
)doc")
      .def_property("positive_class", getter<&LogisticRegression::positive_class>(), setter<&LogisticRegression::positive_class>(),
                     "str: the label predicted where the probability reaches the threshold.")
      .def_property("thetas", getter<&LogisticRegression::thetas>(), setter<&LogisticRegression::thetas>(),
                     "list[float]: the intercept, then one weight per feature; empty until fitted.")
      .def("__repr__", [](const LogisticRegression* self) { return with_object<Access::read>(self, [](const LogisticRegression& l) {
        return "LogisticRegression(positive_class=" + py_repr(l.positive_class) +
               ", features=" + std::to_string(l.thetas.empty() ? 0 : l.thetas.size() - 1) + ")";
      }); }, "The positive class and the number of features (0: not fitted).");
  pickle_through_file<LogisticRegression>(logistic);
}

}  // namespace tarnwick::bindings
