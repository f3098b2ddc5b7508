// The network's three process-wide random sources: weight initialisation, dropout masks and epoch
// shuffling. Each is an MT19937 created on first use (thread-safe) and seeded from the system
// random device, so runs differ unless manual_seed reseeds all three from one seed.
#pragma once

#include <cstdint>
#include <random>

namespace tarnwick::nn {

std::mt19937& weight_source();
std::mt19937& dropout_source();
std::mt19937& shuffle_source();

// Reseeds the three sources from one seed, each with a stream of its own, so that the same calls
// after it draw the same weights, masks and orders in any process. Draws are not synchronised with
// it: call it while no network is being built or trained.
void manual_seed(std::uint64_t seed);

}  // namespace tarnwick::nn
