// The activation formulas every part of the library uses: Scalar and Matrix nodes, the activation
// classes, logistic regression. Written once so that all of them give the same bits; each slope is
// stated in the variable its callers hold (the input for ReLU, the output for sigmoid and tanh).
#pragma once

#include <cmath>

namespace tarnwick::activation_math {

// 0.0 < x is false for -0.0 and nan, which both map to +0.0 (and have slope 0.0).
inline double relu(double x) { return 0.0 < x ? x : 0.0; }
inline double relu_slope(double x) { return 0.0 < x ? 1.0 : 0.0; }

// exp(-x) overflows to inf for very negative x, giving 0.0 rather than nan.
inline double sigmoid(double x) { return 1.0 / (std::exp(-x) + 1.0); }
// The derivative at the input whose sigmoid is s.
inline double sigmoid_slope(double s) { return s * (1.0 - s); }

inline double tanh(double x) { return std::tanh(x); }
// The derivative at the input whose tanh is t.
inline double tanh_slope(double t) { return 1.0 - t * t; }

}  // namespace tarnwick::activation_math
