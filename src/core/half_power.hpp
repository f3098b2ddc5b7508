// pow(x, 0.5) bit for bit as the C library's pow returns it, through a square root wherever the two
// provably agree: the root of degree 2 of element_wise_roots and of Adam's step.
// Assumes round-to-nearest, the floating-point environment every caller of the library runs in.
#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace tarnwick {

// Whether r = sqrt(x) is what pow(x, 0.5) returns, decided without branches so that loops of it
// vectorise. glibc's pow (2.28 on) is documented to lie within 0.54 ULP of the exact power; the
// correctly rounded r is then the only double that close whenever the exact root lies within
// 0.46 ULP of r, which the exact residual x - r * r tells. Roots near a rounding midpoint or on a
// power of two, extreme scales, infinities, nan and negatives answer false, as does every other C
// library.
inline bool sqrt_is_half_power(double x, double r) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 28))
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(r);
  // r * r = p + e exactly (Dekker: r split into two halves of 26 bits, every partial product exact
  // at these scales); x - p is exact by Sterbenz's lemma, and so is the residual, which a correctly
  // rounded root always leaves representable.
  const double c = 134217729.0 * r;
  const double hi = c - (c - r);
  const double lo = r - hi;
  const double p = r * r;
  const double e = ((hi * hi - p) + hi * lo + lo * hi) + lo * lo;
  const double residual = (x - p) - e;
  const double ulp = std::bit_cast<double>(bits & 0x7ff0000000000000ULL) * 0x1p-52;
  // |root - r| = |residual| / (root + r) < 0.9 r ulp / (2 r - ulp / 2) < 0.46 ulp.
  return (x >= 0x1p-960) & (x <= 0x1p1020) & ((bits & 0x000fffffffffffffULL) != 0) &
         (std::fabs(residual) < 0.9 * (r * ulp));
#else
  (void)x;
  (void)r;
  return false;
#endif
}

// out[j] = pow(x[j], 0.5) for j < n, the square roots taken a vector at a time; x and out are
// distinct arrays.
void half_powers(const double* x, double* out, std::size_t n);

}  // namespace tarnwick
