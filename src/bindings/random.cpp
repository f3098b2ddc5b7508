// manual_seed: the one way to make the network's random sources repeatable. Registered after
// every other name of the module, so the names before it keep their order.
#include <pybind11/pybind11.h>

#include <stdexcept>
#include <string>

#include "bindings/register.hpp"
#include "nn/random_sources.hpp"

namespace py = pybind11;

namespace tarnwick::bindings {

namespace {

// Any integer (an int, a numpy integer, anything with __index__) in 0 .. 2**64 - 1. The generic
// unsigned caster would refuse the others with TypeError; a seed out of range is a ValueError.
std::uint64_t seed_value(const py::object& seed) {
  const py::int_ index = py::reinterpret_steal<py::int_>(PyNumber_Index(seed.ptr()));
  if (!index) throw py::error_already_set();
  const unsigned long long value = PyLong_AsUnsignedLongLong(index.ptr());
  if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
    PyErr_Clear();
    throw std::invalid_argument("manual_seed: seed must lie in 0 .. 2**64 - 1, got " +
                                py::repr(index).cast<std::string>());
  }
  return value;
}

}  // namespace

void register_random(py::module_& m) {
  m.def("manual_seed", [](const py::object& seed) { nn::manual_seed(seed_value(seed)); }, py::arg("seed"),
        R"doc(Reseeds the network's three random sources from one integer.

Weight initialisation, dropout masks and epoch shuffling each get a stream of their own derived
from seed, so after manual_seed(s) the same calls build the same weights, draw the same masks and
orders and give the same results bit for bit, in this process or any other. Without it each
source seeds itself from the system random device on first use. Call it while no network is being
built or trained.

Args:
    seed: int (or any integer with __index__), 0 .. 2**64 - 1.

Raises:
    ValueError: seed outside 0 .. 2**64 - 1.
    TypeError: seed is not an integer (a float, a str, None).
)doc");
}

}  // namespace tarnwick::bindings
