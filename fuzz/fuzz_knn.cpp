// Fuzz target of KNN.load: every input is a model file (see check_model_load in harness.hpp); a loaded
// model predicts queries of the fitted width (2) and of other widths.
#include "harness.hpp"
#include "models/knn.hpp"

using tarnwick::KNN;
using tarnwick::fuzz::each_call;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  return tarnwick::fuzz::check_model_load(
      data, size, "KNN",
      [] {
        KNN m(3, "manhattan");
        m.fit({{1, 0.5}, {-2, 0.1}, {0, 3}, {1, 1}}, {"a", "b", "a", "b"});
        return m;
      },
      [](KNN& m) {
        each_call("KNN.predict", [&] { m.predict({{1, 2}, {0, -1}, {0.5, 0.5}}); }, [&] { m.predict_one({1}); },
                  [&] { m.predict_one({1, 2, 3}); }, [&] { m.predict_one({}); }, [&] { m.accuracy({{1, 2}}, {"a"}); });
      });
}
