// Shared value types of the library: matrices as row-major rows of doubles, vectors of doubles.
// Functions take the row count from the outer vector and the column count from one named row.
#pragma once

#include <vector>

namespace tarnwick {

using DoubleVector = std::vector<double>;
using DoubleMatrix = std::vector<DoubleVector>;

}  // namespace tarnwick
