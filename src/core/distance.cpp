#include "core/distance.hpp"

#include <cmath>

#include "core/check.hpp"

namespace tarnwick {

double euclidean(const DoubleVector& a, const DoubleVector& b) {
  check::covers("euclidean", a, b);
  double s = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const double d = a[i] - b[i];
    s += d * d;
  }
  return std::sqrt(s);
}

double manhattan(const DoubleVector& a, const DoubleVector& b) {
  check::covers("manhattan", a, b);
  double s = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) s += std::fabs(a[i] - b[i]);
  return s;
}

double cosine(const DoubleVector& a, const DoubleVector& b) {
  check::covers("cosine", a, b);
  double p = 0.0, sa = 0.0, sb = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    p += b[i] * a[i];
    sa += a[i] * a[i];
    sb += b[i] * b[i];
  }
  return 1 - p / (std::sqrt(sb) * std::sqrt(sa));
}

}  // namespace tarnwick
