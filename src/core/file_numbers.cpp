#include "core/file_numbers.hpp"

#include <array>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace tarnwick::modelfile {

namespace {

__extension__ typedef unsigned __int128 U128;

// ---------------------------------------------------------------- writing
//
// A finite v = m * 2^e with 10^X <= |v| < 10^(X+1) is written from d, the integer nearest to
// |v| * 10^(16-X) (ties to even), a number of 17 digits. Where 10^(16-X) = 5^k * 2^k with k from 0
// to 55, 5^k fits in 128 bits and m * 5^k * 2^(e+k) is computed exactly (in 128 bits up to k = 27,
// where 5^k fits in 64, in 192 beyond), so d and its rounding are exact: that covers |v| from about
// 1e-39 up to 1e17, the values models hold. Other values (subnormals, larger and smaller
// magnitudes) go to std::to_chars, which is exact too but several times slower.

constexpr int kMaxFastPower = 55;    // 5^55 < 2^128 <= 5^56
constexpr int kMaxNarrowPower = 27;  // 5^27 < 2^64 <= 5^28
constexpr std::uint64_t kTen8 = 100000000ULL;
constexpr std::uint64_t kTen16 = 10000000000000000ULL;
constexpr std::uint64_t kTen17 = 100000000000000000ULL;

constexpr std::array<U128, kMaxFastPower + 1> kPowersOfFive = [] {
  std::array<U128, kMaxFastPower + 1> p{};
  p[0] = 1;
  for (int i = 1; i <= kMaxFastPower; ++i) p[i] = p[i - 1] * 5;
  return p;
}();

// floor(e * log10(2)) for |e| < 1650.
int floor_log10_pow2(int e) { return (e * 78913) >> 18; }

// m * 5^k * 2^s (in 192 bits) as its integer part and whether rounding it to the nearest integer
// (ties to even) goes up; false where the integer part needs more than 64 bits.
bool scaled(std::uint64_t m, int k, int s, std::uint64_t& integer, bool& round_up) {
  const U128 p = kPowersOfFive[k];
  const U128 lo = U128(m) * std::uint64_t(p);
  const U128 hi = U128(m) * std::uint64_t(p >> 64);
  const U128 mid = (lo >> 64) + std::uint64_t(hi);
  const std::uint64_t x[3] = {std::uint64_t(lo), std::uint64_t(mid), std::uint64_t(hi >> 64) + std::uint64_t(mid >> 64)};
  round_up = false;
  if (s >= 0) {
    if (x[1] != 0 || x[2] != 0 || s >= 64 || (x[0] >> (63 - s)) != 0) return false;
    integer = x[0] << s;
    return true;
  }
  const unsigned r = unsigned(-s);
  if (r >= 192) return false;
  const unsigned w = r / 64, b = r % 64;
  std::uint64_t y[3];  // x >> r
  for (unsigned i = 0; i < 3; ++i) {
    const unsigned from = i + w;
    y[i] = from < 3 ? x[from] >> b : 0;
    if (b != 0 && from + 1 < 3) y[i] |= x[from + 1] << (64 - b);
  }
  if (y[1] != 0 || y[2] != 0) return false;
  integer = y[0];
  // The bit worth one half, then whether anything below it is set.
  const unsigned t = r - 1;
  const bool half = (x[t / 64] >> (t % 64)) & 1;
  bool sticky = (x[t / 64] & ((std::uint64_t(1) << (t % 64)) - 1)) != 0;
  for (unsigned i = 0; i < t / 64; ++i) sticky |= x[i] != 0;
  round_up = half && (sticky || (integer & 1));
  return true;
}

// Stores v at p, its least significant byte first, whatever the machine's byte order: the digit
// words below hold their first character in their lowest byte.
void store_low_first(char* p, std::uint64_t v) {
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  std::memcpy(p, &v, 8);
}

void store_low_first(char* p, U128 v) {
  store_low_first(p, std::uint64_t(v));
  store_low_first(p + 8, std::uint64_t(v >> 64));
}

// The eight digits of v < 10^8 in ASCII, the first in the lowest byte. v is split into its 4-digit
// halves, pairs and digits inside one 64-bit word: x / 100 for x < 10^4 is (x * 10486) >> 20, and
// x / 10 for x < 100 is (x * 103) >> 10, exactly.
std::uint64_t eight_digits(std::uint32_t v) {
  const std::uint64_t fours = (v / 10000) | (std::uint64_t(v % 10000) << 32);
  const std::uint64_t hundreds = ((fours * 10486) >> 20) & 0x0000007F0000007FULL;
  const std::uint64_t pairs = hundreds | ((fours - hundreds * 100) << 16);
  const std::uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000FULL;
  return (tens | ((pairs - tens * 10) << 8)) | 0x3030303030303030ULL;
}

// Digits of 17 significant places (10^16 <= d < 10^17) and decimal exponent x, in general
// notation. The digits stay in registers and are stored in words, the part after a decimal point
// shifted into place, which is what the slack of kNumberChars is for; reading them back from memory
// in other widths than they were stored in would stall.
char* general(char* out, bool negative, std::uint64_t d, int x) {
  const std::uint64_t high = d / kTen8;  // 9 digits
  const char first = char('0' + high / kTen8);
  const U128 rest = U128(eight_digits(std::uint32_t(high % kTen8))) | U128(eight_digits(std::uint32_t(d % kTen8))) << 64;
  // The digits left once trailing zeros are dropped: a byte of `zeros` is 0 where its digit is '0'.
  const U128 zeros = rest ^ (U128(0x3030303030303030ULL) << 64 | 0x3030303030303030ULL);
  const std::uint64_t zeros_high = std::uint64_t(zeros >> 64), zeros_low = std::uint64_t(zeros);
  const int n = zeros_high != 0 ? 17 - std::countl_zero(zeros_high) / 8
                : zeros_low != 0 ? 9 - std::countl_zero(zeros_low) / 8
                                 : 1;
  *out = '-';
  out += negative;
  if (x >= -4 && x < 17) {
    if (x >= 0) {
      const int whole = x + 1;
      out[0] = first;
      store_low_first(out + 1, rest);
      if (n <= whole) return out + whole;
      out[whole] = '.';
      store_low_first(out + whole + 1, rest >> (8 * (whole - 1)));
      return out + n + 1;
    }
    std::memcpy(out, "0.0000", 6);
    out[1 - x] = first;
    store_low_first(out + 2 - x, rest);
    return out + 1 - x + n;
  }
  out[0] = first;
  out[1] = '.';
  store_low_first(out + 2, rest);
  out += n > 1 ? n + 1 : 1;
  *out++ = 'e';
  *out++ = x < 0 ? '-' : '+';
  unsigned e = unsigned(x < 0 ? -x : x);
  if (e >= 100) {
    *out++ = char('0' + e / 100);
    e %= 100;
  }
  out[0] = char('0' + e / 10);
  out[1] = char('0' + e % 10);
  return out + 2;
}

// The exact fast path above; nullptr where it does not apply.
char* write_fast(char* out, double value) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  const bool negative = bits >> 63;
  const int biased = int((bits >> 52) & 0x7ff);
  const std::uint64_t fraction = bits & ((std::uint64_t(1) << 52) - 1);
  if (biased == 0x7ff) return nullptr;
  if (biased == 0) {
    if (fraction != 0) return nullptr;  // subnormal
    if (negative) *out++ = '-';
    *out++ = '0';
    return out;
  }
  const std::uint64_t m = fraction | (std::uint64_t(1) << 52);
  const int e = biased - 1075;
  // 2^(e+52) <= |v| < 2^(e+53), so the decimal exponent is this estimate or one more.
  int x = floor_log10_pow2(e + 52);
  int k = 16 - x;
  const int s = e + k;
  if (k >= 0 && k <= kMaxNarrowPower && s < 0 && s > -128) {
    // m * 5^k < 2^117. N = |v| * 10^k lies in [10^16, 10^18): where the estimate was one short,
    // N has 18 digits and N / 10 is rounded instead, from the same exact product. Both roundings
    // are computed and one is selected, as the choice follows the data and predicts badly.
    const U128 p = U128(m) * std::uint64_t(kPowersOfFive[k]);
    const unsigned r = unsigned(-s);
    const std::uint64_t integer = std::uint64_t(p >> r);
    const U128 rest = p & ((U128(1) << r) - 1), half = U128(1) << (r - 1);
    const std::uint64_t tenth = integer / 10;
    const unsigned last = unsigned(integer - tenth * 10);
    const bool over = integer >= kTen17;
    const bool up_over = (last > 5) | ((last == 5) & ((rest != 0) | (tenth & 1)));
    const bool up = (rest > half) | ((rest == half) & (integer & 1));
    const std::uint64_t d = (over ? tenth + up_over : integer + up);
    x += over;
    if (d == kTen17) return general(out, negative, kTen16, x + 1);
    return general(out, negative, d, x);
  }
  for (int attempt = 0; attempt < 2; ++attempt, ++x, --k) {
    if (k < 0 || k > kMaxFastPower) return nullptr;
    std::uint64_t integer = 0;
    bool round_up = false;
    if (!scaled(m, k, e + k, integer, round_up)) return nullptr;
    if (integer >= kTen17) continue;  // the estimate was one short
    if (integer < kTen16) return nullptr;  // cannot happen: |v| * 10^k >= 10^16
    const std::uint64_t d = integer + round_up;
    if (d == kTen17) return general(out, negative, kTen16, x + 1);
    return general(out, negative, d, x);
  }
  return nullptr;
}

}  // namespace

char* write_number(char* out, double value) {
  if (std::isnan(value)) {
    std::memcpy(out, "nan", 3);
    return out + 3;
  }
  if (char* end = write_fast(out, value)) return end;
  return std::to_chars(out, out + kNumberChars, value, std::chars_format::general, 17).ptr;
}

// ---------------------------------------------------------------- reading

locale_t c_locale() {
  static const locale_t loc = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
  return loc;
}

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Where std::from_chars stops before one of these, strtod stops there too: none of them can
// continue a number.
bool ends_number(char c) {
  switch (c) {
    case ',': case ']': case '}': case ' ': case '\n': case '\r': case '\t': case '\0': return true;
    default: return false;
  }
}

// Kept out of the fast path, so that the fast path needs no registers saved for it.
[[gnu::noinline]] NumberRead read_as_strtod(const char* begin, double& value, const char*& stop) {
  char* after = nullptr;
  errno = 0;
  const double v = strtod_l(begin, &after, c_locale());
  if (after == begin) return NumberRead::none;
  if (errno == ERANGE && std::isinf(v)) return NumberRead::overflow;
  value = v;
  stop = after;
  return NumberRead::ok;
}

}  // namespace

NumberRead read_number(const char* begin, const char* end, double& value, const char*& stop) {
  // std::from_chars reads the plain decimal form the files are written in, correctly rounded like
  // strtod and several times faster. It takes no leading white space or '+', reads "0x1p3" as 0,
  // and reports over- and underflow its own way, so only a result that starts with a digit (after
  // an optional '-'), is finite, and stops before a character no number continues with is taken;
  // everything else is strtod's, as are the texts it reads that from_chars refuses.
  const char* digits = begin + (begin < end && *begin == '-');
  if (digits < end && is_digit(*digits)) {
    double v;
    const auto [ptr, ec] = std::from_chars(begin, end, v);
    if (ec == std::errc() && std::isfinite(v) && (ptr == end || ends_number(*ptr))) {
      value = v;
      stop = ptr;
      return NumberRead::ok;
    }
  }
  return read_as_strtod(begin, value, stop);
}

}  // namespace tarnwick::modelfile
