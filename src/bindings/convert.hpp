// Conversions between Python values and the library's containers. Every bindings file includes
// this header (and not the generic STL casters directly) so that all of them convert alike.
#pragma once

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
