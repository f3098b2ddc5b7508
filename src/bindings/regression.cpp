#include "bindings/convert.hpp"
#include "bindings/register.hpp"

namespace tarnwick::bindings {

void register_regression(pybind11::module_&) {}

}  // namespace tarnwick::bindings
