#include "nn/random_sources.hpp"

namespace tarnwick::nn {

namespace {

std::mt19937 seeded() {
  std::random_device device("/dev/urandom");
  return std::mt19937(device());
}

struct Source {
  std::mt19937 engine = seeded();
  std::mutex mutex;
};

}  // namespace

// Function-local statics: the one-time creation is guarded by the language, every later draw by
// the source's own mutex.
Draws weight_source() {
  static Source source;
  return Draws(source.engine, source.mutex);
}

Draws dropout_source() {
  static Source source;
  return Draws(source.engine, source.mutex);
}

Draws shuffle_source() {
  static Source source;
  return Draws(source.engine, source.mutex);
}

namespace {

// The seed's two halves and the source's index go through a seed sequence, which spreads them over
// the whole generator state: neighbouring seeds or indices give unrelated streams.
void reseed(Draws source, std::uint64_t seed, std::uint32_t index) {
  std::seed_seq sequence{std::uint32_t(seed & 0xffffffffu), std::uint32_t(seed >> 32), index};
  source.seed(sequence);
}

}  // namespace

void manual_seed(std::uint64_t seed) {
  reseed(weight_source(), seed, 0);
  reseed(dropout_source(), seed, 1);
  reseed(shuffle_source(), seed, 2);
}

}  // namespace tarnwick::nn
