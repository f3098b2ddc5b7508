// Fuzz target of KDTree.load: every input is a model file (see check_model_load in harness.hpp); a loaded
// tree answers queries of the fitted width (2) and of other widths, for several k.
#include "harness.hpp"
#include "models/kdtree.hpp"

using tarnwick::KDTree;
using tarnwick::fuzz::each_call;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  return tarnwick::fuzz::check_model_load(
      data, size, "KDTree",
      [] {
        KDTree m;
        m.fit({{1, 0.5}, {-2, 0.1}, {0, 3}, {1, 1}, {4, -1}}, {"a", "b", "a", "b", "c"});
        return m;
      },
      [](KDTree& m) {
        each_call("KDTree.predict", [&] { m.predict({{1, 2}, {0, -1}}); }, [&] { m.predict_one({1, 2}, 3); },
                  [&] { m.predict_one({1, 2}, 100); }, [&] { m.predict_one({1}); }, [&] { m.predict_one({1, 2, 3}); },
                  [&] { m.predict_one({}); }, [&] { m.accuracy({{1, 2}}, {"a"}, 2); });
      });
}
