// Shape checks shared by the public entry points: each throws std::invalid_argument (Python
// ValueError) whose message names the function and the shapes it saw, so a user can act on it.
// Where entry points word one check differently, the wording is a parameter: messages are part of
// what users see and match on, so each entry point keeps its own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/types.hpp"

namespace tarnwick::check {

// "2x3" for a rectangular matrix; "ragged (4 rows; row 0 has 3 entries, row 2 has 1)" otherwise.
std::string shape(const DoubleMatrix& m);

[[noreturn]] void fail(std::string_view fn, const std::string& what);

// A container size as the library's 32-bit count; larger sizes are refused, not truncated.
int count32(std::string_view fn, std::size_t n, std::string_view what);

// At least one row, every row as long as row 0. Returns the column count.
std::size_t nonempty_rectangular(std::string_view fn, std::string_view name, const DoubleMatrix& m);

// Every row as long as row 0 (an empty matrix passes). Returns the column count (0 if empty).
std::size_t rectangular(std::string_view fn, std::string_view name, const DoubleMatrix& m);

// B has at least `rows` rows, and each of the first `rows` has exactly `cols` entries.
void same_shape_prefix(std::string_view fn, const DoubleMatrix& a, const DoubleMatrix& b,
                       std::size_t rows, std::size_t cols);

// The leading rows x cols block of m exists (rows may hold more entries, m may hold more rows).
void leading_block(std::string_view fn, std::string_view name, const DoubleMatrix& m,
                   std::size_t rows, std::size_t cols);

// b is read at every index of a.
void covers(std::string_view fn, const DoubleVector& a, const DoubleVector& b);

// How a "labels cover the rows" message reads (x and y stand for the names given):
//   rows_first    "x has 3 rows but y has 2 labels; every row needs a label"
//   labels_first  "y has 2 labels, x has 3 rows; every row needs its label"
//   texts         "3 texts but 2 labels; every text needs a label"
//   targets       "y has 2 entries, x has 3; every x needs its y"
//   file          "x has 3 rows but y has 2 labels" (a model file's fields)
enum class Wording { rows_first, labels_first, texts, targets, file };

// At least one label (or target) per row.
void labels_cover_rows(std::string_view fn, std::size_t rows, std::size_t labels, Wording wording,
                       std::string_view x = "x", std::string_view y = "y");

// The query has at least `longest` components, the most of any training point.
void query_covers(std::string_view fn, const DoubleVector& query, std::size_t longest);

// Every row has at least `longest` components: "row 2 has 1 components, fewer than the 3 of <of>".
void rows_cover(std::string_view fn, const DoubleMatrix& rows, std::size_t longest,
                std::string_view of = "a training point");

// value >= bound: "k must be at least 1, got 0".
void at_least(std::string_view fn, std::string_view name, long long value, long long bound);

// A size argument that would size a container: negative sizes fail as the container would.
void size_argument(int n);

}  // namespace tarnwick::check
