// Registration functions of the Python module, one per subsystem, called by the module body in a
// fixed order: free functions first, then base classes before subclasses, FunctionType before
// Network, and the classic models last.
#pragma once

#include <pybind11/pybind11.h>

namespace tarnwick::bindings {

void register_core(pybind11::module_& m);        // the twenty free functions
void register_autodiff(pybind11::module_& m);    // Element, Scalar, Matrix, activations, FunctionType
void register_nn(pybind11::module_& m);          // Adam, SGD, Network
void register_regression(pybind11::module_& m);  // GDA, LinearRegression, LogisticRegression
void register_neighbours(pybind11::module_& m);  // KNN, KDTree, GaussianNaiveBayes
void register_text(pybind11::module_& m);        // BernoulliNaiveBayes, MultinomialNaiveBayes
void register_random(pybind11::module_& m);      // manual_seed, after every other name

}  // namespace tarnwick::bindings
