// Fuzz target of Network.load_weights: every input is a weights file for the network of
// network.hpp (see check_load in harness.hpp); a loaded network predicts, scores and trains.
#include "harness.hpp"
#include "network.hpp"

using tarnwick::fuzz::each_call;
using tarnwick::fuzz::kNetworkInput;
using tarnwick::fuzz::kNetworkLabels;
using tarnwick::fuzz::OwnedNetwork;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  return tarnwick::fuzz::check_load(
      data, size, tarnwick::fuzz::make_network,
      [](const OwnedNetwork& m, const std::string& path) { m.net.save_weights(path); },
      [](OwnedNetwork& m, const std::string& path) { m.net.load_weights(path); },
      [](OwnedNetwork& m) {
        each_call("Network.predict", [&] { m.net.predict(kNetworkInput); },
                  [&] { m.net.test_accuracy(kNetworkInput, kNetworkLabels); },
                  [&] { m.net.predict({{1, 2}}); }, [&] { m.net.train_loop(1, kNetworkLabels, 2); });
      },
      "Network.load_weights");
}
