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

}  // namespace tarnwick::nn
