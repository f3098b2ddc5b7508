// The free functions of the matrix helpers, the LU routines and the distances. Arguments are
// positional only; lists are copied in and results are new Python lists.
#include "bindings/convert.hpp"

#include "bindings/register.hpp"
#include "core/distance.hpp"
#include "core/lu.hpp"
#include "core/matrix.hpp"

namespace tarnwick::bindings {

void register_core(pybind11::module_& m) {
  m.def("matrix_with_matrix_multiplication", &matrix_with_matrix_multiplication);
  m.def("matrix_addition_and_sub", &matrix_addition_and_sub);
  m.def("scalar_multiply_matrix", &scalar_multiply_matrix);
  m.def("element_wise_multiplication", &element_wise_multiplication);
  m.def("element_wise_division_two_matrices", &element_wise_division_two_matrices);
  m.def("element_wise_roots", &element_wise_roots);
  m.def("transpose_matrix", &transpose_matrix);
  m.def("ReLU_derivative", &ReLU_derivative);
  m.def("sum_across_column", &sum_across_column);
  m.def("matrix_product_from_vector_and_transpose", &matrix_product_from_vector_and_transpose);
  m.def("calculate_vector", &calculate_vector);
  m.def("LU_decomposition", &LU_decomposition);
  m.def("calculate_determinant", &calculate_determinant);
  m.def("matrix_inverse", &matrix_inverse);
  m.def("matrix_product_with_matrix_and_vector", &matrix_product_with_matrix_and_vector);
  m.def("scalar_product_from_transpose_and_vector", &scalar_product_from_transpose_and_vector);
  m.def("regularize", &regularize);
  m.def("euclidean", &euclidean);
  m.def("manhattan", &manhattan);
  m.def("cosine", &cosine);
}

}  // namespace tarnwick::bindings
