#include "nn/random_sources.hpp"

namespace tarnwick::nn {

namespace {

std::mt19937 seeded() {
  std::random_device device("/dev/urandom");
  return std::mt19937(device());
}

}  // namespace

// Function-local statics: the one-time creation is guarded by the language.
std::mt19937& weight_source() {
  static std::mt19937 source = seeded();
  return source;
}

std::mt19937& dropout_source() {
  static std::mt19937 source = seeded();
  return source;
}

std::mt19937& shuffle_source() {
  static std::mt19937 source = seeded();
  return source;
}

}  // namespace tarnwick::nn
