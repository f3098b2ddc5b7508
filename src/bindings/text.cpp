// BernoulliNaiveBayes and MultinomialNaiveBayes, in that order: the same Python surface over the
// two classifiers' shared base, which Python does not see. Each Python object owns its model and
// pickles as its file text.
#include "bindings/convert.hpp"

#include "bindings/guard.hpp"
#include "bindings/missing_entries.hpp"
#include "bindings/python_objects.hpp"
#include "bindings/register.hpp"
#include "models/bernoulli_nb.hpp"
#include "models/multinomial_nb.hpp"

namespace py = pybind11;

namespace tarnwick::bindings {

namespace {

template <typename Model>
void register_text_model(py::module_& m, const char* name, const char* doc) {
  py::class_<Model> cls(m, name, doc);
  cls.def(py::init<int>(), py::arg("vocab_size") = 1000,
          "A model over the vocab_size most frequent training words (int, at least 0; checked by fit).")
      .def("fit", writes<&Model::fit, Gil::release, Model>(), R"doc(Builds the vocabulary and the smoothed per-class word probabilities.

Words are runs of the ASCII letters a-z, lower-cased. The vocabulary holds the vocab_size most
frequent words (equal counts: the byte-wise smaller word first).

Args (positional only):
    texts: list of str, one document each.
    labels: list of str labels, at least one per text.

Raises:
    ValueError: fewer labels than texts, or a negative vocab_size; nothing changes.
)doc")
      .def("predict_one", [](Model* self, const std::string& text) {
        return predict_then_add<py::str>(
            self, [&](const Model& m, auto& missing) { return m.predict_one(text, missing); });
      }, R"doc(The class of highest score for one text (ties: the smaller label).

Args (positional only):
    text: str.

Returns:
    str ('' when there is no class or no score above -inf).
)doc")
      .def("predict", [](Model* self, const std::vector<std::string>& texts) {
        return predict_then_add<py::typing::List<py::str>>(
            self, [&](const Model& m, auto& missing) { return m.predict(texts, missing); });
      }, R"doc(The class of every text, as predict_one.

Args (positional only):
    texts: list of str.

Returns:
    list of str, one per text.
)doc")
      .def("accuracy", [](Model* self, const std::vector<std::string>& texts, const std::vector<std::string>& labels) {
        return predict_then_add<py::float_>(
            self, [&](const Model& m, auto& missing) { return m.accuracy(texts, labels, missing); });
      }, R"doc(Percentage of texts predicted as labelled.

Args (positional only):
    texts: list of str.
    labels: list of str labels, at least one per text; the count divides (empty gives nan).

Returns:
    float in [0, 100] (nan for no labels).

Raises:
    ValueError: fewer labels than texts.
)doc")
      .def("save", reads<&Model::save, Gil::release, Model>(), py::arg("path") = Model::default_file,
          R"doc(Writes the model to path as one line of text (either text model loads it).

Format: {"vocab_size":V,"n":N,"vocab":{"word":column,...},"class_ratio":{"label":count,...},
"phi":{"label|column":p,...}}, the vocabulary in column order.

Raises:
    ValueError: a label holds '"' (nothing is written).
    OSError: the file cannot be written (the old file is left as it was).
)doc")
      .def("load", writes<&Model::load, Gil::release, Model>(), py::arg("path") = Model::default_file,
          R"doc(Replaces the model's fields with those of a save file (all or nothing).

Raises:
    IndexError: the file cannot be opened (or a number is out of range).
    ValueError: a key is missing, a value is malformed, or a word's column lies outside vocab_size.
)doc")
      .def("__repr__", [name](const Model* self) { return with_object<Access::read>(self, [&](const Model& t) {
        return std::string(name) + "(vocab_size=" + std::to_string(t.vocab_size()) + ", words=" +
               std::to_string(t.vocab().size()) + ", classes=" + std::to_string(t.class_ratio().size()) +
               ", texts=" + std::to_string(t.n()) + ")";
      }); }, "The vocabulary size setting, then the words, classes and texts learnt (0: not fitted).");
  pickle_through_file<Model>(cls);
}

}  // namespace

void register_text(py::module_& m) {
  register_text_model<BernoulliNaiveBayes>(m, "BernoulliNaiveBayes",
      R"doc(Bernoulli naive Bayes over raw texts: a text is the set of vocabulary words it holds.

phi(c, j) = (texts of class c holding word j + 1) / (texts of c + 2); every column scores, absent
words included. Pickles as its file text; equal models write the same file.
)doc");
  register_text_model<MultinomialNaiveBayes>(m, "MultinomialNaiveBayes",
      R"doc(Multinomial naive Bayes over raw texts: a text is its word counts.

phi(c, j) = (occurrences of word j in class c + 1) / (vocab_size + words of class c). Pickles as
its file text; equal models write the same file.
)doc");
}

}  // namespace tarnwick::bindings
