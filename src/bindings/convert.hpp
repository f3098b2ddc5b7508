// Conversions between Python values and the library's containers. Every bindings file includes
// this header (and not the generic STL casters directly) so that all of them convert alike: the
// casters for DoubleVector and DoubleMatrix below replace the generic ones in every module file.
// Lists and tuples are walked directly; buffers (numpy arrays) of numbers are copied in bulk.
#pragma once

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <bit>
#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>

#include "core/matrix.hpp"
#include "core/text.hpp"
#include "core/types.hpp"

// Declared before anything can name them, so that no file ever sees the generic casters.
namespace pybind11::detail {
template <>
struct type_caster<tarnwick::DoubleVector>;
template <>
struct type_caster<tarnwick::DoubleMatrix>;
template <>
struct type_caster<tarnwick::DenseMatrix>;
template <>
struct type_caster<int>;
template <>
struct type_caster<std::filesystem::path>;
template <>
struct type_caster<std::string>;
}  // namespace pybind11::detail

namespace tarnwick::bindings::convert {

namespace py = pybind11;

// One item as the generic double caster would take it: any float (subclasses too, read without
// calling __float__, as PyFloat_AsDouble does), an int, and in the convert pass anything with
// __float__ or __index__.
inline bool load_double(PyObject* item, bool convert, double& out) {
  if (PyFloat_CheckExact(item)) {
    out = PyFloat_AS_DOUBLE(item);
    return true;
  }
  if (PyLong_CheckExact(item)) {
    out = PyLong_AsDouble(item);
    if (out == -1.0 && PyErr_Occurred()) {
      PyErr_Clear();  // an int beyond the double range is refused, as by the generic caster
      return false;
    }
    return true;
  }
  // A complex number (numpy's complex128 scalars are Python complex numbers) has no one double:
  // refused rather than cut to its real part.
  if (PyComplex_Check(item)) return false;
  // Python code may run from here on (__float__, __index__): the caller holds the item.
  py::detail::make_caster<double> conv;
  if (!conv.load(item, convert)) return false;
  out = py::detail::cast_op<double>(conv);
  return true;
}

// A list or tuple walked by index. The size is read again at every step and each item held while
// it converts, because a __float__ may change the list: this matches iterating over it.
inline bool load_sequence(PyObject* seq, bool convert, DoubleVector& out) {
  out.clear();
  out.reserve(std::size_t(Py_SIZE(seq)));
  const bool is_list = PyList_CheckExact(seq);
  for (Py_ssize_t i = 0; i < Py_SIZE(seq); ++i) {
    PyObject* item = is_list ? PyList_GET_ITEM(seq, i) : PyTuple_GET_ITEM(seq, i);
    if (PyFloat_CheckExact(item)) {
      out.push_back(PyFloat_AS_DOUBLE(item));
      continue;
    }
    const py::object held = py::reinterpret_borrow<py::object>(item);
    double x = 0.0;
    if (!load_double(item, convert, x)) return false;
    out.push_back(x);
  }
  return true;
}

// The element types of a buffer that convert exactly to double in bulk. Others (half floats,
// objects, a byte order not the machine's) go item by item instead; complex items are refused.
enum class Element { none, complex, f64, f32, i8, i16, i32, i64, u8, u16, u32, u64, boolean };

inline Element element_of(const Py_buffer& view) {
  const char* f = view.format ? view.format : "B";
  constexpr bool little = (std::endian::native == std::endian::little);
  if (*f == '@' || *f == '=' || (*f == '<' && little) || ((*f == '>' || *f == '!') && !little)) ++f;
  if (f[0] == 'Z') return Element::complex;
  if (f[0] == '\0' || f[1] != '\0') return Element::none;
  const Py_ssize_t size = view.itemsize;
  auto integer = [size](bool is_signed) {
    switch (size) {
      case 1: return is_signed ? Element::i8 : Element::u8;
      case 2: return is_signed ? Element::i16 : Element::u16;
      case 4: return is_signed ? Element::i32 : Element::u32;
      case 8: return is_signed ? Element::i64 : Element::u64;
      default: return Element::none;
    }
  };
  switch (f[0]) {
    case 'd': return size == 8 ? Element::f64 : Element::none;
    case 'f': return size == 4 ? Element::f32 : Element::none;
    case '?': return size == 1 ? Element::boolean : Element::none;
    case 'b': case 'h': case 'i': case 'l': case 'q': case 'n': return integer(true);
    case 'B': case 'H': case 'I': case 'L': case 'Q': case 'N': return integer(false);
    default: return Element::none;
  }
}

// A run of doubles that can be copied as it stands: contiguous and aligned.
inline const double* contiguous_doubles(Element e, const char* p, Py_ssize_t stride) {
  const bool plain = e == Element::f64 && stride == Py_ssize_t(sizeof(double)) &&
                     reinterpret_cast<std::uintptr_t>(p) % alignof(double) == 0;
  return plain ? reinterpret_cast<const double*>(p) : nullptr;
}

// A row of n items from p, every stride bytes, as doubles; copied in one go when it can be.
inline DoubleVector row_of(Element e, const char* p, Py_ssize_t n, Py_ssize_t stride);

// A strided run of n items of type T from p (possibly unaligned) as doubles.
template <typename T>
void copy_run(const char* p, Py_ssize_t n, Py_ssize_t stride, double* out) {
  if constexpr (std::is_same_v<T, double>) {
    if (stride == Py_ssize_t(sizeof(double))) {
      if (n > 0) std::memcpy(out, p, std::size_t(n) * sizeof(double));
      return;
    }
  }
  for (Py_ssize_t i = 0; i < n; ++i, p += stride) {
    T x;
    std::memcpy(&x, p, sizeof(T));
    if constexpr (std::is_same_v<T, bool>) {
      out[i] = x ? 1.0 : 0.0;
    } else {
      out[i] = static_cast<double>(x);
    }
  }
}

inline void copy_run(Element e, const char* p, Py_ssize_t n, Py_ssize_t stride, double* out) {
  switch (e) {
    case Element::f64: return copy_run<double>(p, n, stride, out);
    case Element::f32: return copy_run<float>(p, n, stride, out);
    case Element::i8: return copy_run<std::int8_t>(p, n, stride, out);
    case Element::i16: return copy_run<std::int16_t>(p, n, stride, out);
    case Element::i32: return copy_run<std::int32_t>(p, n, stride, out);
    case Element::i64: return copy_run<std::int64_t>(p, n, stride, out);
    case Element::u8: return copy_run<std::uint8_t>(p, n, stride, out);
    case Element::u16: return copy_run<std::uint16_t>(p, n, stride, out);
    case Element::u32: return copy_run<std::uint32_t>(p, n, stride, out);
    case Element::u64: return copy_run<std::uint64_t>(p, n, stride, out);
    case Element::boolean: return copy_run<bool>(p, n, stride, out);
    case Element::none:
    case Element::complex: return;
  }
}

inline DoubleVector row_of(Element e, const char* p, Py_ssize_t n, Py_ssize_t stride) {
  if (const double* d = contiguous_doubles(e, p, stride)) return DoubleVector(d, d + n);
  DoubleVector v(static_cast<std::size_t>(n));
  copy_run(e, p, n, stride, v.data());
  return v;
}

// A buffer view of an object, released with the view. `element` is none when the object exports
// no strided view or holds items that need converting one by one.
class Buffer {
 public:
  explicit Buffer(PyObject* src) {
    if (!PyObject_CheckBuffer(src)) return;
    if (PyObject_GetBuffer(src, &view_, PyBUF_RECORDS_RO) != 0) {
      PyErr_Clear();
      return;
    }
    held_ = true;
    element = element_of(view_);
  }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  ~Buffer() {
    if (held_) PyBuffer_Release(&view_);
  }

  int ndim() const { return view_.ndim; }
  Py_ssize_t shape(int d) const { return view_.shape ? view_.shape[d] : view_.len / view_.itemsize; }
  // Strides are given for any strided request; a missing one means C order.
  Py_ssize_t stride(int d) const {
    if (view_.strides) return view_.strides[d];
    Py_ssize_t s = view_.itemsize;
    for (int k = view_.ndim - 1; k > d; --k) s *= shape(k);
    return s;
  }
  const char* data() const { return static_cast<const char*>(view_.buf); }

  Element element = Element::none;

 private:
  Py_buffer view_{};
  bool held_ = false;
};

// Buffers convert without the convert pass only when their items are already doubles, as float
// items do; other numbers wait for the convert pass, as the generic caster's numpy scalars would.
inline bool buffer_accepted(const Buffer& b, int ndim, bool convert) {
  return b.element != Element::complex && b.ndim() == ndim && (convert || b.element == Element::f64);
}

inline bool is_text(PyObject* src) { return PyUnicode_Check(src) || PyBytes_Check(src); }

// The road of every list argument: a list or tuple walked by index (walk(src)), text refused, a
// buffer of numbers with Dims dimensions copied in bulk (bulk(b) fills out), anything else through
// the generic caster. Forced inline: a call per row costs about 5% of converting 100-column rows.
template <int Dims, typename Out, typename Walk, typename Bulk>
[[gnu::always_inline]] inline bool load_list(PyObject* src, bool convert, Out& out, Walk walk, Bulk bulk) {
  if (PyList_CheckExact(src) || PyTuple_CheckExact(src)) return walk(src);
  if (is_text(src)) return false;
  {
    const Buffer b(src);
    if (b.element != Element::none) {
      if (!buffer_accepted(b, Dims, convert)) return false;
      bulk(b);
      return true;
    }
  }
  py::detail::list_caster<Out, typename Out::value_type> generic;
  if (!generic.load(src, convert)) return false;
  out = static_cast<Out&&>(std::move(generic));
  return true;
}

// DoubleVector from a list or tuple of numbers, a 1-D buffer of numbers, or any other sequence
// (and in the convert pass any iterable) that the generic caster accepts.
inline bool load_vector(PyObject* src, bool convert, DoubleVector& out) {
  return load_list<1>(src, convert, out, [&](PyObject* seq) { return load_sequence(seq, convert, out); },
                      [&](const Buffer& b) { out = row_of(b.element, b.data(), b.shape(0), b.stride(0)); });
}

inline bool load_matrix(PyObject* src, bool convert, DoubleMatrix& out);

// New Python floats in a new list; nullptr with the Python error set if memory runs out.
// Positive zeros, the empty half of every triangular factor, share one float: floats are
// immutable, and equal zeros of the same sign cannot be told apart but by identity.
inline PyObject* float_list(const double* v, std::size_t n) {
  static PyObject* const zero = PyFloat_FromDouble(0.0);  // kept for the module's lifetime
  PyObject* list = PyList_New(Py_ssize_t(n));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < n; ++i) {
    if (std::bit_cast<std::uint64_t>(v[i]) == 0 && zero) {
      Py_INCREF(zero);
      PyList_SET_ITEM(list, Py_ssize_t(i), zero);
      continue;
    }
    PyObject* x = PyFloat_FromDouble(v[i]);
    if (!x) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SET_ITEM(list, Py_ssize_t(i), x);
  }
  return list;
}

inline PyObject* float_list(const DoubleVector& v) { return float_list(v.data(), v.size()); }

// The new lists stay out of the cyclic collector's sight until the whole result is built: a
// collection that the many new lists set off meanwhile has no half-built rows to walk (they hold
// only floats and nothing else refers to them yet). Every list is tracked again before anyone
// else can see it. row(i) gives a row's list (nullptr on failure, the Python error set).
template <typename Row>
PyObject* rows_list(std::size_t n, Row row) {
  PyObject* rows = PyList_New(Py_ssize_t(n));
  if (!rows) return nullptr;
  PyObject_GC_UnTrack(rows);
  for (std::size_t i = 0; i < n; ++i) {
    PyObject* r = row(i);
    if (!r) {
      Py_DECREF(rows);  // a list may be released untracked
      return nullptr;
    }
    PyObject_GC_UnTrack(r);
    PyList_SET_ITEM(rows, Py_ssize_t(i), r);
  }
  for (std::size_t i = 0; i < n; ++i) PyObject_GC_Track(PyList_GET_ITEM(rows, Py_ssize_t(i)));
  PyObject_GC_Track(rows);
  return rows;
}

// A matrix argument that a float64 buffer of rows stored one after another lends as it stands
// (held for the call), and that anything else gives as a DoubleMatrix.
struct MatrixArgument {
  std::unique_ptr<Buffer> buffer;
  Block block;
  DoubleMatrix rows;

  bool lent() const { return buffer != nullptr; }
  // The rows of either form, made from the block the first time they are asked for.
  const DoubleMatrix& as_rows() {
    if (lent() && rows.empty() && block.rows > 0) rows = rows_of(block);
    return rows;
  }
};

}  // namespace tarnwick::bindings::convert

namespace pybind11::detail {

template <>
struct type_caster<tarnwick::DoubleVector> {
  bool load(handle src, bool convert) {
    return src && tarnwick::bindings::convert::load_vector(src.ptr(), convert, value);
  }

  static handle cast(const tarnwick::DoubleVector& src, return_value_policy, handle) {
    return tarnwick::bindings::convert::float_list(src);
  }

  PYBIND11_TYPE_CASTER(tarnwick::DoubleVector,
                       io_name("collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | "
                               "collections.abc.Buffer",
                               "list[float]"));
};

template <>
struct type_caster<tarnwick::DoubleMatrix> {
  bool load(handle src, bool convert) {
    return src && tarnwick::bindings::convert::load_matrix(src.ptr(), convert, value);
  }

  static handle cast(const tarnwick::DoubleMatrix& src, return_value_policy, handle) {
    return tarnwick::bindings::convert::rows_list(
        src.size(), [&](std::size_t i) { return tarnwick::bindings::convert::float_list(src[i]); });
  }

  // A result about to die gives each row back once it is converted, so that the row lists'
  // storage can take the place of the rows' rather than add to it.
  static handle cast(tarnwick::DoubleMatrix&& src, return_value_policy, handle) {
    return tarnwick::bindings::convert::rows_list(src.size(), [&](std::size_t i) {
      PyObject* row = tarnwick::bindings::convert::float_list(src[i]);
      tarnwick::DoubleVector().swap(src[i]);
      return row;
    });
  }

  PYBIND11_TYPE_CASTER(tarnwick::DoubleMatrix,
                       io_name("collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | "
                               "typing.SupportsIndex]] | collections.abc.Buffer",
                               "list[list[float]]"));
};

template <>
struct type_caster<tarnwick::DenseMatrix> {
  static handle cast(const tarnwick::DenseMatrix& src, return_value_policy, handle) {
    return tarnwick::bindings::convert::rows_list(src.rows, [&](std::size_t i) {
      return tarnwick::bindings::convert::float_list(src.data.get() + i * src.cols, src.cols);
    });
  }

  PYBIND11_TYPE_CASTER(tarnwick::DenseMatrix, io_name("", "list[list[float]]"));
};

template <>
struct type_caster<tarnwick::bindings::convert::MatrixArgument> {
  bool load(handle src, bool convert);

  PYBIND11_TYPE_CASTER(tarnwick::bindings::convert::MatrixArgument,
                       io_name("collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | "
                               "typing.SupportsIndex]] | collections.abc.Buffer",
                               "list[list[float]]"));
};

}  // namespace pybind11::detail

namespace tarnwick::bindings::convert {

// DoubleMatrix from a list or tuple of rows (each row as a DoubleVector argument, so rows may
// differ in length), a 2-D buffer of numbers, or any other sequence of rows the generic caster
// accepts.
inline bool load_matrix(PyObject* src, bool convert, DoubleMatrix& out) {
  const auto rows = [&](PyObject* seq) {
    const bool is_list = PyList_CheckExact(seq);
    out.clear();
    out.reserve(std::size_t(Py_SIZE(seq)));
    for (Py_ssize_t i = 0; i < Py_SIZE(seq); ++i) {
      const py::object row =
          py::reinterpret_borrow<py::object>(is_list ? PyList_GET_ITEM(seq, i) : PyTuple_GET_ITEM(seq, i));
      DoubleVector v;
      if (!load_vector(row.ptr(), convert, v)) return false;
      out.push_back(std::move(v));
    }
    return true;
  };
  return load_list<2>(src, convert, out, rows, [&](const Buffer& b) {
    const Py_ssize_t n = b.shape(0), cols = b.shape(1);
    out.clear();
    out.reserve(std::size_t(n));
    for (Py_ssize_t i = 0; i < n; ++i) out.push_back(row_of(b.element, b.data() + i * b.stride(0), cols, b.stride(1)));
  });
}

}  // namespace tarnwick::bindings::convert

namespace pybind11::detail {

inline bool type_caster<tarnwick::bindings::convert::MatrixArgument>::load(handle src, bool convert) {
  namespace c = tarnwick::bindings::convert;
  if (!src) return false;
  PyObject* o = src.ptr();
  if (!PyList_CheckExact(o) && !PyTuple_CheckExact(o) && !c::is_text(o)) {
    auto b = std::make_unique<c::Buffer>(o);
    if (b->element == c::Element::f64 && b->ndim() == 2) {
      const Py_ssize_t rows = b->shape(0), cols = b->shape(1);
      const Py_ssize_t item = Py_ssize_t(sizeof(double));
      const bool stored_in_order = (cols <= 1 || b->stride(1) == item) && (rows <= 1 || b->stride(0) == cols * item);
      const bool aligned = reinterpret_cast<std::uintptr_t>(b->data()) % alignof(double) == 0;
      if (stored_in_order && aligned && rows > 0 && cols > 0) {
        value.block = tarnwick::Block{reinterpret_cast<const double*>(b->data()), std::size_t(rows),
                                      std::size_t(cols)};
        value.buffer = std::move(b);
        return true;
      }
    }
  }
  return c::load_matrix(o, convert, value.rows);
}

// A 32-bit integer argument is an int or an object with __index__ (numpy integers, bool): a float,
// a Decimal, a Fraction or an object with only __int__ is refused rather than truncated.
template <>
struct type_caster<int> {
  bool load(handle src, bool /*convert*/) {
    if (!src || PyFloat_Check(src.ptr()) || !PyIndex_Check(src.ptr())) return false;
    object index = reinterpret_steal<object>(PyNumber_Index(src.ptr()));
    if (!index) {
      PyErr_Clear();
      return false;
    }
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
    if (overflow != 0 || v < INT_MIN || v > INT_MAX || (v == -1 && PyErr_Occurred())) {
      PyErr_Clear();
      return false;
    }
    value = int(v);
    return true;
  }

  static handle cast(int src, return_value_policy, handle) { return PyLong_FromLong(src); }

  PYBIND11_TYPE_CASTER(int, io_name("typing.SupportsIndex", "int"));
};

// A path is a str or any os.PathLike (bytes too, as open() takes them), in the file system's
// encoding. A NUL character would cut the path short at the system call, so it is refused first.
template <>
struct type_caster<std::filesystem::path> {
  bool load(handle src, bool /*convert*/) {
    if (!src) return false;
    object fspath = reinterpret_steal<object>(PyOS_FSPath(src.ptr()));
    if (!fspath) {
      PyErr_Clear();
      return false;
    }
    object bytes;
    if (PyUnicode_Check(fspath.ptr())) {
      bytes = reinterpret_steal<object>(PyUnicode_EncodeFSDefault(fspath.ptr()));
      if (!bytes) throw error_already_set();
    } else {
      bytes = fspath;
    }
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(bytes.ptr(), &data, &size) != 0) throw error_already_set();
    const std::string text(data, std::size_t(size));
    if (text.find('\0') != std::string::npos) throw value_error("embedded null character");
    value = std::filesystem::path(text);
    return true;
  }

  static handle cast(const std::filesystem::path& src, return_value_policy, handle) {
    const std::string& text = src.native();
    return PyUnicode_DecodeFSDefaultAndSize(text.data(), Py_ssize_t(text.size()));
  }

  PYBIND11_TYPE_CASTER(std::filesystem::path, io_name("str | os.PathLike[str]", "str"));
};

// Text is a str, or bytes (and bytearray) holding UTF-8: every string the library keeps comes back
// to Python as a str, so bytes that do not decode (a label, a metric, a pickled file's text) are
// refused with ValueError, as a model file holding them is, rather than kept and failing later.
template <>
struct type_caster<std::string> : string_caster<std::string> {
  bool load(handle src, bool convert) {
    if (!string_caster<std::string>::load(src, convert)) return false;
    if (!PyUnicode_Check(src.ptr()) && !tarnwick::valid_utf8(value)) {
      throw value_error("text given as bytes must be UTF-8");
    }
    return true;
  }
};

}  // namespace pybind11::detail
