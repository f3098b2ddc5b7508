// The network of the network-file fuzz targets: two inputs, layers of 3 and 2 neurons, ReLU,
// dropout 0.25, an Adam of its own (a network only borrows its optimizer, so the pair travels
// together and every model of a run has a separate learning rate).
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "core/types.hpp"
#include "harness.hpp"
#include "nn/network.hpp"
#include "nn/optimizer.hpp"

namespace tarnwick::fuzz {

inline const DoubleMatrix kNetworkInput = {{0.5, -1, 2, 0}, {1, 0, -0.5, 3}};  // 2 features x 4 samples
inline const DoubleMatrix kNetworkLabels = {{1, 0, 1, 0}, {0, 1, 0, 1}};

struct OwnedNetwork {
  std::unique_ptr<Adam> adam;
  Network net;
};

inline OwnedNetwork make_network() {
  auto adam = std::make_unique<Adam>(0.01);
  Adam* borrowed = adam.get();
  return OwnedNetwork{std::move(adam), Network(2, {3, 2}, kNetworkInput, FunctionType::RELU, borrowed, 0.25, nullptr)};
}

}  // namespace tarnwick::fuzz

// Training prints a progress line per batch to standard output; libFuzzer reports on standard
// error. Every target built on this network trains, so its initializer lives here: one file per
// target includes this header.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!std::freopen("/dev/null", "w", stdout)) tarnwick::fuzz::fault("cannot silence standard output");
  return 0;
}
