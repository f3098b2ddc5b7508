// Fuzz target of the model files' number conversions against the C library: the input, read as the
// reader reads a number, must give what strtod gives in the "C" locale (the value to the bit, where
// it stops, the range error); and its first eight bytes, taken as a double, must be written exactly
// as std::to_chars writes them at precision 17 in general notation (every not-a-number as "nan").
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/file_numbers.hpp"
#include "harness.hpp"

using tarnwick::fuzz::fault;
using tarnwick::modelfile::c_locale;
using tarnwick::modelfile::kNumberChars;
using tarnwick::modelfile::NumberRead;
using tarnwick::modelfile::read_number;
using tarnwick::modelfile::write_number;

namespace {

void check_read(const std::string& text) {
  const char* begin = text.c_str();  // ends with the '\0' both conversions need
  double value = 0.0;
  const char* stop = begin;
  const NumberRead got = read_number(begin, begin + text.size(), value, stop);
  char* end = nullptr;
  errno = 0;
  const double want = strtod_l(begin, &end, c_locale());
  if (end == begin) {
    if (got != NumberRead::none) fault("read_number read a number where strtod reads none");
  } else if (errno == ERANGE && std::isinf(want)) {
    if (got != NumberRead::overflow) fault("read_number missed an overflow strtod reports");
  } else {
    if (got != NumberRead::ok) fault("read_number refused a number strtod reads");
    if (stop != end) fault("read_number stopped elsewhere than strtod");
    if (std::memcmp(&value, &want, sizeof value) != 0) fault("read_number read another value than strtod");
  }
}

void check_write(double v) {
  char got[kNumberChars], want[kNumberChars];
  const std::size_t got_size = std::size_t(write_number(got, v) - got);
  const std::size_t want_size = std::isnan(v) ? 3 : std::size_t(std::to_chars(want, want + sizeof want, v,
                                                                             std::chars_format::general, 17).ptr - want);
  if (std::isnan(v)) std::memcpy(want, "nan", 3);
  if (got_size != want_size || std::memcmp(got, want, got_size) != 0) fault("write_number wrote other bytes than to_chars");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  check_read(std::string(reinterpret_cast<const char*>(data), size));
  if (size >= sizeof(double)) {
    double v;
    std::memcpy(&v, data, sizeof v);
    check_write(v);
  }
  return 0;
}
