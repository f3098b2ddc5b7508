// KNN, KDTree and GaussianNaiveBayes. Arguments without a name here are positional only. Models
// pickle as their file text.
#include "bindings/convert.hpp"

#include "bindings/guard.hpp"
#include "bindings/missing_entries.hpp"
#include "bindings/python_objects.hpp"
#include "bindings/register.hpp"
#include "models/gaussian_nb.hpp"
#include "models/kdtree.hpp"
#include "models/knn.hpp"

namespace py = pybind11;

namespace tarnwick::bindings {

void register_neighbours(py::module_& m) {
  py::class_<KNN> knn(m, "KNN", R"doc(Brute-force k-nearest-neighbour classifier.

X is (n_samples, n_features), one row per sample, with one str label per row. A query is measured
against every training point; the k nearest vote, equally near points keep the earlier training
row and equal votes go to the smaller label. Pickles as its file text; equal models write the
same file.
)doc");
  knn.def(py::init<int, std::string>(), py::arg("k") = 5, py::arg("metric") = "euclidean",
          R"doc(A model that votes among the k nearest training points.

Args:
    k: int, at least 1.
    metric: str; "manhattan" or "cosine" exactly, Euclidean distance for any other text.

Raises:
    ValueError: k is below 1.
)doc")
      .def("fit", writes<&KNN::fit, Gil::release>(), R"doc(Keeps copies of the training points and labels (rows may differ in length).

Args (positional only):
    X: (n_samples, n_features) list of rows.
    y: list of str labels, at least one per row.

Raises:
    ValueError: y has fewer labels than X has rows.
)doc")
      .def("predict_one", reads<&KNN::predict_one, Gil::release>(), R"doc(The majority label among the k nearest training points.

Args (positional only):
    x: list of floats, at least as long as every training point.

Returns:
    str ('' for an unfitted model).

Raises:
    ValueError: x is shorter than a training point.
)doc")
      .def("predict", reads<&KNN::predict, Gil::release>(), R"doc(The label of every query row, as predict_one.

Args (positional only):
    X: (n_queries, n_features) list of rows.

Returns:
    list of str, one per row.

Raises:
    ValueError: a row is shorter than a training point.
)doc")
      .def("accuracy", reads<&KNN::accuracy, Gil::release>(), R"doc(Percentage of rows predicted as labelled.

Args (positional only):
    X: (n_queries, n_features) list of rows.
    y: list of str labels, at least one per row; the count divides (empty gives nan).

Returns:
    float in [0, 100] (nan for no labels).

Raises:
    ValueError: fewer labels than rows, or a row is shorter than a training point.
)doc")
      .def("save", reads<&KNN::save, Gil::release, KNN>(), py::arg("path") = KNN::default_file, R"doc(Writes the model to path as one line of text.

Format: {"k":5,"metric":"euclidean","x_train":[[...],...],"y_train":["a",...]}.

Raises:
    ValueError: the metric or a label holds '"' (nothing is written).
    OSError: the file cannot be written (the old file is left as it was).
)doc")
      .def("load", writes<&KNN::load, Gil::release, KNN>(), py::arg("path") = KNN::default_file,
          R"doc(Replaces k, the metric and the training data with those of a save file (all or nothing).

Raises:
    IndexError: the file cannot be opened (or a number is out of range).
    ValueError: a key is missing, a value is malformed, k is below 1 or labels are fewer than points.
)doc")
      .def("__repr__", [](const KNN* self) { return with_object<Access::read>(self, [](const KNN& k) {
        return "KNN(k=" + std::to_string(k.k()) + ", metric=" + py_repr(k.metric()) +
               ", points=" + std::to_string(k.x_train().size()) + ")";
      }); }, "The settings and the number of training points (0: not fitted).");
  pickle_through_file<KNN>(knn);

  py::class_<KDTree> tree(m, "KDTree", R"doc(Nearest-neighbour classifier over a k-d tree, Euclidean distance.

X is (n_samples, n_features), one row per sample, with one str label per row. The tree splits at
the lower median, the axis cycling through the first row's components. A search crosses a split
only while its farthest candidate lies strictly beyond the plane, so with k above 1 fewer than k
points may vote. Ties go to the smaller label. Pickles as its file text; equal models write the
same file.
)doc");
  tree.def(py::init<>(), "An empty model; fit or load it before predicting.")
      .def("fit", writes<&KDTree::fit, Gil::release>(), R"doc(Keeps copies of the points and labels and builds the tree.

Args (positional only):
    X: (n_samples, n_features) list of rows, at least one; every row at least as long as the first.
    y: list of str labels, at least one per row.

Raises:
    ValueError: X is empty, a row is shorter than the first, y has fewer labels than rows, or two
        or more points have no component to split on.
)doc")
      .def("predict_one", reads<&KDTree::predict_one, Gil::release>(), py::arg("query"), py::arg("k") = 1,
           R"doc(The majority label among the (at most) k nearest points the search finds.

Args:
    query: list of floats, at least as long as every training point.
    k: int, at least 1.

Returns:
    str ('' for an unfitted model).

Raises:
    ValueError: k is below 1 or the query is shorter than a training point.
)doc")
      .def("predict", reads<&KDTree::predict, Gil::release>(), py::arg("x_test"), py::arg("k") = 1,
          R"doc(The label of every query row, as predict_one.

Args:
    x_test: (n_queries, n_features) list of rows.
    k: int, at least 1.

Returns:
    list of str, one per row.

Raises:
    ValueError: k is below 1 or a row is shorter than a training point.
)doc")
      .def("accuracy", reads<&KDTree::accuracy, Gil::release>(), py::arg("x_test"), py::arg("y_test"), py::arg("k") = 1,
           R"doc(Percentage of rows predicted as labelled.

Args:
    x_test: (n_queries, n_features) list of rows.
    y_test: list of str labels, at least one per row; the count divides (empty gives nan).
    k: int, at least 1.

Returns:
    float in [0, 100] (nan for no labels).

Raises:
    ValueError: fewer labels than rows, k below 1, or a row shorter than a training point.
)doc")
      .def("save", reads<&KDTree::save, Gil::release, KDTree>(), py::arg("path") = KDTree::default_file,
          R"doc(Writes the training data to path as one line of text.

Format: {"x_train":[[...],...],"y_train":["a",...]}.

Raises:
    ValueError: a label holds '"' (nothing is written).
    OSError: the file cannot be written (the old file is left as it was).
)doc")
      .def("load", writes<&KDTree::load, Gil::release, KDTree>(), py::arg("path") = KDTree::default_file,
          R"doc(Replaces the training data with that of a save file and rebuilds the tree (all or nothing).

A file without points gives an untrained model.

Raises:
    IndexError: the file cannot be opened (or a number is out of range).
    ValueError: a key is missing, a value is malformed, or the points are refused as by fit.
)doc")
      .def("__repr__", [](const KDTree* self) { return with_object<Access::read>(self, [](const KDTree& t) {
        return "KDTree(points=" + std::to_string(t.x_train().size()) + ", dimension=" + std::to_string(t.dimension()) +
               ")";
      }); }, "The number of training points (0: not fitted) and their dimension.");
  pickle_through_file<KDTree>(tree);

  py::class_<GaussianNaiveBayes> bayes(m, "GaussianNaiveBayes", R"doc(Gaussian naive Bayes over rows of features.

X is (n_samples, n_features), one row per sample, with one str label per row. Per class and feature
a mean and a population variance (floored at 1e-10); a class scores its log prior plus the log
densities (each floored at 1e-300), and ties go to the smaller label. A table entry that a query
needs but the model lacks is added as 0, so predictions can change what save writes. Pickles as
its file text; equal models write the same file.
)doc");
  bayes.def(py::init<>(), "An empty model; fit or load it before predicting.")
      .def("fit", writes<&GaussianNaiveBayes::fit, Gil::release>(), R"doc(Estimates the class counts, means and variances.

Class numbers from earlier fits are kept, and so are the statistics of classes this fit lacks.

Args (positional only):
    X: (n_samples, n_features) list of rows, at least one; every row at least as long as the first.
    y: list of str labels, at least one per row.

Raises:
    ValueError: X is empty, a row is shorter than the first, or y has fewer labels than rows.
)doc")
      .def("predict_one", [](GaussianNaiveBayes* self, const DoubleVector& x) {
        return predict_then_add<py::str>(
            self, [&](const GaussianNaiveBayes& m, auto& missing) { return m.predict_one(x, missing); });
      }, R"doc(The label of highest score for one sample.

Args (positional only):
    x: list of floats (the training rows' length; missing statistics count as 0).

Returns:
    str ('' for an unfitted model).
)doc")
      .def("predict", [](GaussianNaiveBayes* self, const DoubleMatrix& X) {
        return predict_then_add<py::typing::List<py::str>>(
            self, [&](const GaussianNaiveBayes& m, auto& missing) { return m.predict(X, missing); });
      }, R"doc(The label of every row, as predict_one.

Args (positional only):
    X: (n_queries, n_features) list of rows.

Returns:
    list of str, one per row.
)doc")
      .def("accuracy", [](GaussianNaiveBayes* self, const DoubleMatrix& X, const std::vector<std::string>& y) {
        return predict_then_add<py::float_>(
            self, [&](const GaussianNaiveBayes& m, auto& missing) { return m.accuracy(X, y, missing); });
      }, R"doc(Percentage of rows predicted as labelled.

Args (positional only):
    X: (n_queries, n_features) list of rows.
    y: list of str labels, at least one per row; the count divides (empty gives nan).

Returns:
    float in [0, 100] (nan for no labels).

Raises:
    ValueError: fewer labels than rows.
)doc")
      .def("save", reads<&GaussianNaiveBayes::save, Gil::release, GaussianNaiveBayes>(), py::arg("path") = GaussianNaiveBayes::default_file,
           R"doc(Writes the model's tables to path as one line of text.

Format: {"n":3,"class_ratio":{"a":2,"b":1},"class_numbering":{"a":0,"b":1},"mean":{"a|0":2,"b|0":2},"variance":{"a|0":1,"b|0":0}}.

Raises:
    ValueError: a label holds '"' (nothing is written).
    OSError: the file cannot be written (the old file is left as it was).
)doc")
      .def("load", writes<&GaussianNaiveBayes::load, Gil::release, GaussianNaiveBayes>(), py::arg("path") = GaussianNaiveBayes::default_file,
           R"doc(Replaces the model's tables with those of a save file (all or nothing).

Raises:
    IndexError: the file cannot be opened (or a number is out of range).
    ValueError: a key is missing or a value is malformed; the model is unchanged.
)doc")
      .def("__repr__", [](const GaussianNaiveBayes* self) { return with_object<Access::read>(self, [](const GaussianNaiveBayes& b) {
        return "GaussianNaiveBayes(classes=" + std::to_string(b.class_numbering().size()) +
               ", samples=" + std::to_string(b.n()) + ")";
      }); }, "The number of classes and of training samples (0: not fitted).");
  pickle_through_file<GaussianNaiveBayes>(bayes);
}

}  // namespace tarnwick::bindings
