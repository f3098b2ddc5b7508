#include "core/check.hpp"

#include <climits>
#include <stdexcept>

namespace tarnwick::check {

std::string shape(const DoubleMatrix& m) {
  if (m.empty()) return "0x0";
  const std::size_t c = m[0].size();
  for (std::size_t i = 1; i < m.size(); ++i) {
    if (m[i].size() != c) {
      return "ragged (" + std::to_string(m.size()) + " rows; row 0 has " + std::to_string(c) +
             " entries, row " + std::to_string(i) + " has " + std::to_string(m[i].size()) + ")";
    }
  }
  return std::to_string(m.size()) + "x" + std::to_string(c);
}

void fail(std::string_view fn, const std::string& what) {
  throw std::invalid_argument(std::string(fn) + ": " + what);
}

int count32(std::string_view fn, std::size_t n, std::string_view what) {
  if (n > static_cast<std::size_t>(INT_MAX)) {
    fail(fn, std::string(what) + " has " + std::to_string(n) + " entries, more than a 32-bit count holds");
  }
  return static_cast<int>(n);
}

std::size_t rectangular(std::string_view fn, std::string_view name, const DoubleMatrix& m) {
  if (m.empty()) return 0;
  const std::size_t c = m[0].size();
  for (const auto& row : m) {
    if (row.size() != c) fail(fn, std::string(name) + " is " + shape(m) + ", a rectangular matrix is required");
  }
  return c;
}

std::size_t nonempty_rectangular(std::string_view fn, std::string_view name, const DoubleMatrix& m) {
  if (m.empty()) fail(fn, std::string(name) + " is empty, at least one row is required");
  return rectangular(fn, name, m);
}

void same_shape_prefix(std::string_view fn, const DoubleMatrix& a, const DoubleMatrix& b,
                       std::size_t rows, std::size_t cols) {
  bool ok = b.size() >= rows;
  for (std::size_t i = 0; ok && i < rows; ++i) ok = b[i].size() == cols;
  if (!ok) fail(fn, "A is " + shape(a) + ", B is " + shape(b));
}

void leading_block(std::string_view fn, std::string_view name, const DoubleMatrix& m,
                   std::size_t rows, std::size_t cols) {
  bool ok = m.size() >= rows;
  for (std::size_t i = 0; ok && i < rows; ++i) ok = m[i].size() >= cols;
  if (!ok) {
    fail(fn, std::string(name) + " is " + shape(m) + ", smaller than the " + std::to_string(rows) + "x" +
                 std::to_string(cols) + " block it must hold");
  }
}

void covers(std::string_view fn, const DoubleVector& a, const DoubleVector& b) {
  if (b.size() < a.size()) {
    fail(fn, "a has " + std::to_string(a.size()) + " entries, b has " + std::to_string(b.size()) +
                 "; b must be at least as long as a");
  }
}

void labels_cover_rows(std::string_view fn, std::size_t rows, std::size_t labels, Wording wording,
                       std::string_view x, std::string_view y) {
  if (labels >= rows) return;
  const std::string n = std::to_string(rows), m = std::to_string(labels);
  const std::string xs(x), ys(y);
  switch (wording) {
    case Wording::rows_first: fail(fn, xs + " has " + n + " rows but " + ys + " has " + m + " labels; every row needs a label");
    case Wording::labels_first: fail(fn, ys + " has " + m + " labels, " + xs + " has " + n + " rows; every row needs its label");
    case Wording::texts: fail(fn, n + " texts but " + m + " labels; every text needs a label");
    case Wording::targets: fail(fn, ys + " has " + m + " entries, " + xs + " has " + n + "; every x needs its y");
    case Wording::file: fail(fn, xs + " has " + n + " rows but " + ys + " has " + m + " labels");
  }
}

void query_covers(std::string_view fn, const DoubleVector& query, std::size_t longest) {
  if (query.size() < longest) {
    fail(fn, "the query has " + std::to_string(query.size()) + " components, fewer than the " +
                 std::to_string(longest) + " of a training point");
  }
}

void rows_cover(std::string_view fn, const DoubleMatrix& rows, std::size_t longest, std::string_view of) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].size() < longest) {
      fail(fn, "row " + std::to_string(i) + " has " + std::to_string(rows[i].size()) + " components, fewer than the " +
                   std::to_string(longest) + " of " + std::string(of));
    }
  }
}

void at_least(std::string_view fn, std::string_view name, long long value, long long bound) {
  if (value < bound) {
    fail(fn, std::string(name) + " must be at least " + std::to_string(bound) + ", got " + std::to_string(value));
  }
}

void size_argument(int n) {
  // The message is the one a standard container gives for an impossible size.
  if (n < 0) throw std::length_error("vector");
}

}  // namespace tarnwick::check
