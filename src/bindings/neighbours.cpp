// KNN, KDTree and GaussianNaiveBayes. Arguments without a name here are positional only. Models
// pickle as their file text.
#include "bindings/convert.hpp"

#include "bindings/classic_models.hpp"
#include "bindings/register.hpp"
#include "models/gaussian_nb.hpp"
#include "models/kdtree.hpp"
#include "models/knn.hpp"

namespace py = pybind11;

namespace tarnwick::bindings {

namespace {

// A training point fixes how long a query must be.
constexpr const char* kShorterQuery = "a row is shorter than a training point";
constexpr const char* kStrCounted = "str ('' for an unfitted model).";

}  // namespace

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
)doc");
  classifier<KNN, DoubleVector>(
      knn, {.refused = kShorterQuery},
      {.fit = R"doc(Keeps copies of the training points and labels (rows may differ in length).

Args (positional only):
    X: (n_samples, n_features) list of rows.
    y: list of str labels, at least one per row.

Raises:
    ValueError: y has fewer labels than X has rows.
)doc",
       .predict_one = Doc{.summary = "The majority label among the k nearest training points.",
                          .args = {"x: list of floats, at least as long as every training point."},
                          .returns = {kStrCounted},
                          .raises = {"ValueError: x is shorter than a training point."}}.text()});
  persistence<KNN>(knn,
      {.format = R"({"k":5,"metric":"euclidean","x_train":[[...],...],"y_train":["a",...]})",
       .quoted = "the metric or a label",
       .loads = "k, the metric and the training data",
       .refused = "k is below 1 or labels are fewer than points",
       .repr = "The settings and the number of training points (0: not fitted)."},
      [](const KNN& k) {
        return "KNN(k=" + std::to_string(k.k()) + ", metric=" + py_repr(k.metric()) +
               ", points=" + std::to_string(k.x_train().size()) + ")";
      });

  py::class_<KDTree> tree(m, "KDTree", R"doc(Nearest-neighbour classifier over a k-d tree, Euclidean distance.

X is (n_samples, n_features), one row per sample, with one str label per row. The tree splits at
the lower median, the axis cycling through the first row's components. A search crosses a split
only while its farthest candidate lies strictly beyond the plane, so with k above 1 fewer than k
points may vote. Ties go to the smaller label. Pickles as its file text; equal models write the
same file.
)doc");
  tree.def(py::init<>(), "An empty model; fit or load it before predicting.");
  const Setting<int> k{"k", 1, "int, at least 1.", "k is below 1"};
  classifier<KDTree, DoubleVector>(
      tree, {.one = "query", .many = "x_test", .labels = "y_test", .refused = kShorterQuery},
      {.fit = R"doc(Keeps copies of the points and labels and builds the tree.

Args (positional only):
    X: (n_samples, n_features) list of rows, at least one; every row at least as long as the first.
    y: list of str labels, at least one per row.

Raises:
    ValueError: X is empty, a row is shorter than the first, y has fewer labels than rows, or two
        or more points have no component to split on.
)doc",
       .predict_one = Doc{.summary = "The majority label among the (at most) k nearest points the search finds.",
                          .args = {"query: list of floats, at least as long as every training point.",
                                   "k: int, at least 1."},
                          .returns = {kStrCounted},
                          .raises = {"ValueError: k is below 1 or the query is shorter than a training point."},
                          .positional = false}.text()},
      k);
  persistence<KDTree>(tree,
      {.saves = "the training data",
       .format = R"({"x_train":[[...],...],"y_train":["a",...]})",
       .quoted = "a label",
       .loads = "the training data",
       .loaded = "The tree is rebuilt; a file without points gives an untrained model.",
       .refused = "or the points are refused as by fit",
       .repr = "The number of training points (0: not fitted) and their dimension."},
      [](const KDTree& t) {
        return "KDTree(points=" + std::to_string(t.x_train().size()) + ", dimension=" + std::to_string(t.dimension()) +
               ")";
      });

  py::class_<GaussianNaiveBayes> bayes(m, "GaussianNaiveBayes", R"doc(Gaussian naive Bayes over rows of features.

X is (n_samples, n_features), one row per sample, with one str label per row. Per class and feature
a mean and a population variance (floored at 1e-10); a class scores its log prior plus the log
densities (each floored at 1e-300), and ties go to the smaller label. A table entry that a query
needs but the model lacks is added as 0, so predictions can change what save writes. Pickles as
its file text; equal models write the same file.
)doc");
  bayes.def(py::init<>(), "An empty model; fit or load it before predicting.");
  classifier<GaussianNaiveBayes, DoubleVector>(
      bayes, {},
      {.fit = R"doc(Estimates the class counts, means and variances.

Class numbers from earlier fits are kept, and so are the statistics of classes this fit lacks.

Args (positional only):
    X: (n_samples, n_features) list of rows, at least one; every row at least as long as the first.
    y: list of str labels, at least one per row.

Raises:
    ValueError: X is empty, a row is shorter than the first, or y has fewer labels than rows.
)doc",
       .predict_one = Doc{.summary = "The label of highest score for one sample.",
                          .args = {"x: list of floats (the training rows' length; missing statistics count as 0)."},
                          .returns = {kStrCounted}}.text()});
  persistence<GaussianNaiveBayes>(bayes,
      {.saves = "the model's tables",
       .format = R"({"n":3,"class_ratio":{"a":2,"b":1},"class_numbering":{"a":0,"b":1},"mean":{"a|0":2,"b|0":2},"variance":{"a|0":1,"b|0":0}})",
       .quoted = "a label",
       .loads = "the model's tables",
       .repr = "The number of classes and of training samples (0: not fitted)."},
      [](const GaussianNaiveBayes& b) {
        return "GaussianNaiveBayes(classes=" + std::to_string(b.class_numbering().size()) +
               ", samples=" + std::to_string(b.n()) + ")";
      });
}

}  // namespace tarnwick::bindings
