// BernoulliNaiveBayes and MultinomialNaiveBayes, in that order: the same Python surface over the
// two classifiers' shared base, which Python does not see. Each Python object owns its model and
// pickles as its file text.
#include "bindings/convert.hpp"

#include "bindings/classic_models.hpp"
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
          "A model over the vocab_size most frequent training words (int, at least 0; checked by fit).");
  classifier<Model, std::string>(
      cls, {.one = "text", .many = "texts", .labels = "labels", .row = "text", .shape = "list of str."},
      {.fit = R"doc(Builds the vocabulary and the smoothed per-class word probabilities.

Words are runs of the ASCII letters a-z, lower-cased. The vocabulary holds the vocab_size most
frequent words (equal counts: the byte-wise smaller word first).

Args (positional only):
    texts: list of str, one document each.
    labels: list of str labels, at least one per text.

Raises:
    ValueError: fewer labels than texts, or a negative vocab_size; nothing changes.
)doc",
       .predict_one = Doc{.summary = "The class of highest score for one text (ties: the smaller label).",
                          .args = {"text: str."},
                          .returns = {"str ('' when there is no class or no score above -inf)."}}.text()});
  persistence<Model>(cls,
      {.format = "{\"vocab_size\":V,\"n\":N,\"vocab\":{\"word\":column,...},\"class_ratio\":{\"label\":count,...},\n"
       "\"phi\":{\"label|column\":p,...}}, the vocabulary in column order; either text model loads it",
       .quoted = "a label",
       .loads = "the model's fields",
       .refused = "or a word's column lies outside vocab_size",
       .repr = "The vocabulary size setting, then the words, classes and texts learnt (0: not fitted)."},
      [name](const Model& t) {
        return std::string(name) + "(vocab_size=" + std::to_string(t.vocab_size()) + ", words=" +
               std::to_string(t.vocab().size()) + ", classes=" + std::to_string(t.class_ratio().size()) +
               ", texts=" + std::to_string(t.n()) + ")";
      });
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
