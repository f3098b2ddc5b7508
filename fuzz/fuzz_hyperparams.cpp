// Fuzz target of Network.load_hyperparams: every input is a hyper-parameter file for the network
// of network.hpp (see check_load in harness.hpp); a loaded network trains with the dropout rate and
// learning rate it read, then predicts.
#include "harness.hpp"
#include "network.hpp"

using tarnwick::fuzz::each_call;
using tarnwick::fuzz::kNetworkInput;
using tarnwick::fuzz::kNetworkLabels;
using tarnwick::fuzz::OwnedNetwork;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  return tarnwick::fuzz::check_load(
      data, size, tarnwick::fuzz::make_network,
      [](const OwnedNetwork& m, const std::string& path) { m.net.save_hyperparams(path); },
      [](OwnedNetwork& m, const std::string& path) { m.net.load_hyperparams(path); },
      [](OwnedNetwork& m) {
        each_call("Network.train_loop", [&] { m.net.train_loop(2, kNetworkLabels, 2); },
                  [&] { m.net.predict(kNetworkInput); }, [&] { m.net.test_accuracy(kNetworkInput, kNetworkLabels); });
      },
      "Network.load_hyperparams");
}
