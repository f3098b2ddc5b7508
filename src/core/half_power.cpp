#include "core/half_power.hpp"

#include <algorithm>

#include "core/vector_clones.hpp"

namespace tarnwick {

namespace {

constexpr std::size_t kChunk = 256;

// The square root of every entry, with whether it is provably the entry's pow(x, 0.5).
TARNWICK_VECTOR_CLONES void candidate_roots(const double* __restrict x, double* __restrict out,
                                            unsigned char* __restrict exact, std::size_t n) {
  for (std::size_t j = 0; j < n; ++j) {
    const double r = std::sqrt(x[j]);
    // pow(+-0, y) is +0 for every y > 0 that is not an odd integer.
    const bool zero = x[j] == 0.0;
    out[j] = zero ? 0.0 : r;
    exact[j] = zero | sqrt_is_half_power(x[j], r);
  }
}

}  // namespace

void half_powers(const double* x, double* out, std::size_t n) {
  unsigned char exact[kChunk];
  for (std::size_t first = 0; first < n; first += kChunk) {
    const std::size_t count = std::min(kChunk, n - first);
    candidate_roots(x + first, out + first, exact, count);
    for (std::size_t j = 0; j < count; ++j) {
      if (!exact[j]) out[first + j] = std::pow(x[first + j], 0.5);
    }
  }
}

}  // namespace tarnwick
