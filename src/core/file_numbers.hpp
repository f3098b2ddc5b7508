// Doubles as the model files write and read them. Writing gives exactly the bytes of precision 17
// in general notation (std::to_chars with chars_format::general and precision 17, printf's "%.17g"),
// with one spelling, "nan", for every not-a-number. Reading gives exactly what the C library's
// strtod gives in the "C" locale, in the round-to-nearest mode every caller runs in.
#pragma once

#include <cstddef>
#include <locale.h>

namespace tarnwick::modelfile {

// The "C" locale of every conversion: numbers in the files never depend on the process locale.
locale_t c_locale();

// Room write_number needs at out: the longest text, "-2.2250738585072014e-308", has 24 characters,
// and the digits are moved in blocks that may write a few bytes past the end of the text.
inline constexpr std::size_t kNumberChars = 40;

// Writes value at out (room for kNumberChars) and returns the end of what it wrote.
char* write_number(char* out, double value);

enum class NumberRead {
  ok,
  none,      // no number starts at begin
  overflow,  // beyond a double's range (underflow to a subnormal or zero is a faithful reading)
};

// Reads the number at begin, skipping leading white space, as strtod does; stop is set past what
// was read. The text must go on up to end and end must point to a '\0' (std::string::c_str()).
NumberRead read_number(const char* begin, const char* end, double& value, const char*& stop);

}  // namespace tarnwick::modelfile
