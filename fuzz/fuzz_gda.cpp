// Fuzz target of GDA.load: every input is a model file (see check_model_load in harness.hpp); a loaded
// model predicts rows of the fitted dimension (2) and of other dimensions.
#include "harness.hpp"
#include "models/gda.hpp"

using tarnwick::GDA;
using tarnwick::fuzz::each_call;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  return tarnwick::fuzz::check_model_load(
      data, size, "GDA",
      [] {
        GDA m;
        m.fit({{1, 0.5}, {-2, 0.1}, {0, 3}, {1, 1}, {-1, 2}}, {"a", "b", "a", "b", "b"});
        return m;
      },
      [](GDA& m) {
        each_call("GDA.predict", [&] { m.predict({{1, 2}, {0, -1}}); }, [&] { m.predict_one({1}); },
                  [&] { m.predict_one({1, 2, 3}); }, [&] { m.predict_one({}); }, [&] { m.accuracy({{1, 2}}, {"a"}); });
      });
}
