// Fuzz target of LinearRegression.load: every input is a model file (see check_model_load in harness.hpp);
// a loaded model predicts and scores a few points.
#include "harness.hpp"
#include "models/linear_regression.hpp"

using tarnwick::LinearRegression;
using tarnwick::fuzz::each_call;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  return tarnwick::fuzz::check_model_load(
      data, size, "LinearRegression", [] { LinearRegression m; m.fit({0, 1, 2, 3}, {1, 3.5, 5, 7}, 0.05, 40); return m; },
      [](LinearRegression& m) {
        each_call("LinearRegression.predict", [&] { m.predict({0, -1.5, 1e300}); },
                  [&] { m.mse({0, 2}, {1, 4}); });
      });
}
