// The network's three process-wide random sources: weight initialisation, dropout masks and epoch
// shuffling. Each is an MT19937 created on first use (thread-safe), seeded once from the system
// random device and never reseeded, so runs are not reproducible and no seed can be set.
#pragma once

#include <random>

namespace tarnwick::nn {

std::mt19937& weight_source();
std::mt19937& dropout_source();
std::mt19937& shuffle_source();

}  // namespace tarnwick::nn
