// Fuzz target of MultinomialNaiveBayes.load: every input is a model file (see check_model_load in harness.hpp and
// check_text_model_load in text_model.hpp).
#include "models/multinomial_nb.hpp"
#include "text_model.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  return tarnwick::fuzz::check_text_model_load<tarnwick::MultinomialNaiveBayes>(data, size, "MultinomialNaiveBayes");
}
