// The network's three process-wide random sources: weight initialisation, dropout masks and epoch
// shuffling. Each is an MT19937 seeded from the system random device on first use, so runs differ
// unless manual_seed reseeds all three from one seed. Each is reached only through a Draws, which
// holds the source's mutex for as long as it lives: two networks training in two threads never
// draw from one source at once.
#pragma once

#include <cstdint>
#include <mutex>
#include <random>
#include <utility>

namespace tarnwick::nn {

// One source, locked for a run of draws; itself a uniform random bit generator, so that
// distributions and std::shuffle take it in the engine's place and draw the engine's numbers.
class Draws {
 public:
  using result_type = std::mt19937::result_type;

  Draws(std::mt19937& engine, std::mutex& mutex) : lock_(mutex), engine_(engine) {}

  static constexpr result_type min() { return std::mt19937::min(); }
  static constexpr result_type max() { return std::mt19937::max(); }
  result_type operator()() { return engine_(); }
  // Reseeds the engine as std::mt19937::seed does, under the same lock.
  template <typename... Seed>
  void seed(Seed&&... value) {
    engine_.seed(std::forward<Seed>(value)...);
  }
  // The engine itself, for whatever the draws do not cover.
  std::mt19937& engine() { return engine_; }

 private:
  std::unique_lock<std::mutex> lock_;
  std::mt19937& engine_;
};

Draws weight_source();
Draws dropout_source();
Draws shuffle_source();

// Reseeds the three sources from one seed, each with a stream of its own, so that the same calls
// after it draw the same weights, masks and orders in any process. Each source is reseeded under its
// own lock; a network training meanwhile in another thread makes the draws after it unrepeatable.
void manual_seed(std::uint64_t seed);

}  // namespace tarnwick::nn
