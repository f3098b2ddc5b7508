// The free functions of the matrix helpers, the LU routines and the distances. Arguments are
// positional only; lists are copied in and results are new Python lists. Matrices are lists of
// rows; shapes in the docstrings are (rows, columns).
#include "bindings/convert.hpp"

#include "bindings/docstring.hpp"
#include "bindings/guard.hpp"
#include "bindings/register.hpp"
#include "core/distance.hpp"
#include "core/lu.hpp"
#include "core/matrix.hpp"

namespace tarnwick::bindings {

namespace {

// Two matrices of one shape, entry by entry (more: the arguments after B).
std::string two_matrices(const std::string& summary, std::vector<std::string> more = {}) {
  more.insert(more.begin(), {"A: (m, n) list of rows, at least one row.", "B: (m, n) list of rows."});
  return Doc{summary, more, {"(m, n) list of lists of float."},
             {"ValueError: A is empty or ragged, or B is smaller than A."}}
      .text();
}

// One matrix of at least one row, and a matrix of the given shape back (more: the arguments after M).
std::string one_matrix(const std::string& summary, const std::string& shape, std::vector<std::string> more = {}) {
  more.insert(more.begin(), "M: (m, n) list of rows, at least one row.");
  return Doc{summary, more, {shape + " list of lists of float."}, {"ValueError: M is empty or ragged."}}.text();
}

// Two vectors read over the entries of a.
std::string two_vectors(const std::string& summary, const std::string& a, const char* result) {
  return Doc{summary, {"a: " + a, "b: list of floats, at least as long as a (later entries are ignored)."}, {result},
             {"ValueError: b is shorter than a."}}
      .text();
}

}  // namespace

void register_core(pybind11::module_& m) {
  // Two float64 arrays are read where they lie; the result goes from the product's block straight
  // into lists.
  m.def("matrix_with_matrix_multiplication",
      [](convert::MatrixArgument& A, convert::MatrixArgument& B) {
        // The arrays stay held by their arguments while the product runs without the interpreter.
        const auto product = [&] {
          if (A.lent() && B.lent()) return dense_product(A.block, B.block);
          return dense_product(A.as_rows(), B.as_rows());
        };
        if (A.block.rows * A.block.cols + work_of(A.rows) < kReleaseWork) {
          return product();
        }
        pybind11::gil_scoped_release unlocked;
        return product();
      },
      R"doc(Matrix product A @ B, computed by one BLAS dgemm call.

Args (positional only):
    A: (m, k) list of rows, at least one row.
    B: (k, p) list of rows; only its first k rows are read.

Returns:
    (m, p) list of lists of float.

Raises:
    ValueError: A is empty or ragged, or B is empty, ragged or has fewer than k rows.
)doc");
  m.def("matrix_addition_and_sub", released<&matrix_addition_and_sub>(),
        two_matrices(R"(A + B when operation is exactly "add", A - B for any other text ("sub", "Add", "").)",
                     {R"(operation: str, compared byte for byte with "add".)"}).c_str());
  m.def("scalar_multiply_matrix", released<&scalar_multiply_matrix>(), R"doc(factor * M, entry by entry.

Args (positional only):
    M: (m, n) list of rows; may be empty.
    factor: float.

Returns:
    (m, n) list of lists of float (an empty M comes back empty).

Raises:
    ValueError: M is ragged.
)doc");
  m.def("element_wise_multiplication", released<&element_wise_multiplication>(),
        two_matrices("Element-wise (Hadamard) product of A and B.").c_str());
  m.def("element_wise_division_two_matrices", released<&element_wise_division_two_matrices>(),
        two_matrices("Element-wise quotient A / B; a zero divisor gives +-inf, and 0 / 0 gives nan (never an error).")
            .c_str());
  m.def("element_wise_roots", released<&element_wise_roots>(),
        one_matrix("The degree-th root of every entry, pow(x, 1.0 / degree); a negative entry gives nan.", "(m, n)",
                   {"degree: float; 0 makes the exponent inf."}).c_str());
  m.def("transpose_matrix", released<&transpose_matrix>(), one_matrix("The transpose of M.", "(n, m)").c_str());
  m.def("ReLU_derivative", released<&ReLU_derivative>(),
        one_matrix("1.0 where an entry is above 0.0, else 0.0 (zero, negative and nan entries give 0.0).", "(m, n)")
            .c_str());
  m.def("sum_across_column", released<&sum_across_column>(),
      R"doc(The sum of each row (the sum runs across the columns), added left to right from 0.0.

Args (positional only):
    M: (m, n) list of rows; may be empty.

Returns:
    list of m floats ([] for an empty M).

Raises:
    ValueError: M is ragged.
)doc");
  m.def("matrix_product_from_vector_and_transpose", released<&matrix_product_from_vector_and_transpose>(),
      R"doc(The outer product v v^T of the first n entries of v.

Args (positional only):
    n: int, at least 0.
    v: list of at least n floats; later entries are ignored.

Returns:
    (n, n) list of lists of float ([] for n = 0).

Raises:
    ValueError: n is negative ("vector") or v has fewer than n entries.
)doc");
  m.def("calculate_vector", released<&calculate_vector>(),
        two_vectors("The difference a - b over the entries of a.", "list of floats.", "list of len(a) floats.")
            .c_str());
  m.def("LU_decomposition", released<&LU_decomposition>(),
      R"doc(LU factorisation A = L U without pivoting (Doolittle) of the leading n x n block of A.

A zero pivot is not an error: it fills the rest of its column of L with inf and nan.

Args (positional only):
    A: list of at least n rows of at least n floats.
    n: int, at least 0.

Returns:
    (L, U): L (n, n) unit lower-triangular, U (n, n) upper-triangular.

Raises:
    ValueError: n is negative ("vector") or A is smaller than n x n.
)doc");
  m.def("calculate_determinant", released<&calculate_determinant>(),
      R"doc(The product of the first n diagonal entries; given the U of LU_decomposition, det(A).

Args (positional only):
    U: list of at least n rows of at least n floats.
    n: int; n <= 0 gives 1.0.

Returns:
    float (exactly 0.0 for an exactly zero pivot).

Raises:
    ValueError: U is smaller than n x n.
)doc");
  m.def("matrix_inverse", released<&matrix_inverse>(),
      R"doc(The inverse of L U by forward then back substitution (L's diagonal is taken as 1).

A zero diagonal entry of U gives inf and nan in the result, never an error.

Args (positional only):
    L: (n, n) unit lower-triangular, as returned by LU_decomposition.
    U: (n, n) upper-triangular.
    n: int, at least 0.

Returns:
    (n, n) list of lists of float ([] for n = 0).

Raises:
    ValueError: n is negative ("vector") or L or U is smaller than n x n.
)doc");
  m.def("matrix_product_with_matrix_and_vector", released<&matrix_product_with_matrix_and_vector>(),
      R"doc(The product of the leading rows x cols block of M with the first cols entries of v.

Args (positional only):
    M: list of at least rows rows of at least cols floats.
    v: list of at least cols floats.
    rows: int, at least 0.
    cols: int, at least 0 (0 gives rows zeros).

Returns:
    list of rows floats.

Raises:
    ValueError: rows or cols is negative ("vector"), or M or v is too small.
)doc");
  m.def("scalar_product_from_transpose_and_vector", released<&scalar_product_from_transpose_and_vector>(),
        two_vectors("The dot product a . b over the entries of a, added in index order from 0.0.",
                    "list of floats; empty gives 0.0.", "float.").c_str());
  m.def("regularize", released<&regularize>(), R"doc(M with amount added to its first n diagonal entries.

Args (positional only):
    M: list of at least n rows of at least n floats.
    n: int; n <= 0 returns M unchanged.
    amount: float.

Returns:
    a new list of lists of float of M's shape.

Raises:
    ValueError: M is smaller than n x n.
)doc");
  m.def("euclidean", released<&euclidean>(),
        two_vectors("Euclidean distance sqrt(sum((a - b) ** 2)) over the entries of a.",
                    "list of floats; empty gives 0.0.", "float >= 0.")
            .c_str());
  m.def("manhattan", released<&manhattan>(),
        two_vectors("Manhattan distance sum(|a - b|) over the entries of a.", "list of floats; empty gives 0.0.",
                    "float >= 0.").c_str());
  m.def("cosine", released<&cosine>(),
        two_vectors("Cosine distance 1 - a.b / (|b| |a|): 0 for one direction, 1 orthogonal, 2 opposite.\n\n"
                    "An all-zero (or empty) vector gives nan, never an error.",
                    "list of floats.", "float.").c_str());
}

}  // namespace tarnwick::bindings
