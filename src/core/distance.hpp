// Distances between two points: Euclidean, Manhattan and cosine (1 - cosine similarity).
// The length of a counts; b is read at the same positions and must be at least as long.
#pragma once

#include "core/types.hpp"

namespace tarnwick {

double euclidean(const DoubleVector& a, const DoubleVector& b);
double manhattan(const DoubleVector& a, const DoubleVector& b);
// Not-a-number when either vector is all zeros.
double cosine(const DoubleVector& a, const DoubleVector& b);

}  // namespace tarnwick
