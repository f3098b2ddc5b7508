// Fuzz target of LogisticRegression.load: every input is a model file (see check_model_load in
// harness.hpp); a loaded model predicts rows of the fitted width (2) and of other widths.
#include "harness.hpp"
#include "models/logistic_regression.hpp"

using tarnwick::LogisticRegression;
using tarnwick::fuzz::each_call;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  return tarnwick::fuzz::check_model_load(
      data, size, "LogisticRegression",
      [] {
        LogisticRegression m;
        m.fit({{1, 0.5}, {-2, 0.1}, {0, 3}, {2, 2}}, {"yes", "no", "yes", "no"}, 0.1, 30);
        return m;
      },
      [](LogisticRegression& m) {
        each_call("LogisticRegression.predict", [&] { m.predict_proba({{1, 2}, {0, -1}}); },
                  [&] { m.predict({{1, 2}}, 0.5); }, [&] { m.predict({{1}}, 0.5); },
                  [&] { m.predict({{1, 2, 3, 4}}, 0.5); }, [&] { m.accuracy({{1, 2}}, {"yes"}, 0.5); });
      });
}
