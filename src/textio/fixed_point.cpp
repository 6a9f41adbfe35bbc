#include "textio/fixed_point.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace quiltgrid::textio {

namespace {

__extension__ typedef unsigned __int128 Uint128;  // exact products of 53 and 30 bits

constexpr std::uint64_t kPowersOfTen[] = {1,         10,         100,         1000,
                                          10000,     100000,     1000000,     10000000,
                                          100000000, 1000000000, 10000000000, 100000000000,
                                          1000000000000, 10000000000000, 100000000000000,
                                          1000000000000000, 10000000000000000};

char* fill(char* out, int count, char c) {
  std::memset(out, c, static_cast<std::size_t>(count));
  return out + count;
}

// Right-justifies text in width columns, or fills them with asterisks.
char* justify(const char* text, int length, int width, char* out) {
  if (length > width) return fill(out, width, '*');
  out = fill(out, width - length, ' ');
  std::memcpy(out, text, static_cast<std::size_t>(length));
  return out + length;
}

char* format_special(double value, int width, char* out) {
  if (value != value) return justify("NaN", 3, width, out);
  const bool negative = value < 0;
  const char* word = negative ? "-Infinity" : "Infinity";
  const int length = negative ? 9 : 8;
  if (length <= width) return justify(word, length, width, out);
  return justify(negative ? "-Inf" : "Inf", negative ? 4 : 3, width, out);
}

// |value| * 10^decimals rounded to the nearest integer, ties to even, from
// the exact binary value: |value| = m * 2^e, so the product is
// m * 10^decimals / 2^-e, an integer division with its remainder. With at
// most 3 decimals m * 10^decimals stays below 2^63 and 64 bits do.
// Precondition: |value| < 2^53 (so e <= 0).
template <typename Product>
std::uint64_t scaled_and_rounded(double magnitude, int decimals) {
  // The sign bit goes: a zero with the sign bit set has no minus either.
  const auto bits = std::bit_cast<std::uint64_t>(magnitude) & ~(std::uint64_t{1} << 63);
  const auto biased_exponent = static_cast<int>(bits >> 52);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  int shift;  // -e
  if (biased_exponent == 0) {
    shift = 1074;  // subnormal: m * 2^-1074
  } else {
    mantissa |= std::uint64_t{1} << 52;
    shift = 1075 - biased_exponent;
  }
  constexpr int kBits = static_cast<int>(sizeof(Product) * 8);
  // Past this the product (below 2^63 or 2^83) is less than half a unit.
  if (shift >= kBits) return 0;
  const Product product = static_cast<Product>(mantissa) * kPowersOfTen[decimals];
  if (shift <= 0) return static_cast<std::uint64_t>(product);
  const auto quotient = static_cast<std::uint64_t>(product >> shift);
  const Product remainder = product & ((static_cast<Product>(1) << shift) - 1);
  const Product half = static_cast<Product>(1) << (shift - 1);
  const bool up = remainder > half || (remainder == half && (quotient & 1) != 0);
  return quotient + (up ? 1 : 0);
}

// The field of a finite value. Always inlined, so that the row layout's
// 7 columns and 2 decimals become constants: the divisions by powers of ten
// turn into multiplications, and the fills into single stores.
[[gnu::always_inline]] inline char* format_finite(double value, int width, int decimals,
                                                  char* out) {
  // The sign comes from the value, not from the rounded digits: -0.004
  // keeps its minus, a zero with the sign bit set has none.
  const bool negative = value < 0;
  const double magnitude = negative ? -value : value;
  // The widest text that fits has width - 1 - decimals integer digits at
  // most; a magnitude of 10^that or more cannot fit whatever the rounding.
  const int room = width - (negative ? 1 : 0) - 1 - decimals;
  if (room < 0 || magnitude >= static_cast<double>(kPowersOfTen[room])) {
    return fill(out, width, '*');
  }
  const std::uint64_t scaled = decimals <= 3 ? scaled_and_rounded<std::uint64_t>(magnitude, decimals)
                                             : scaled_and_rounded<Uint128>(magnitude, decimals);
  std::uint64_t whole = scaled / kPowersOfTen[decimals];
  std::uint64_t fraction = scaled % kPowersOfTen[decimals];
  std::memset(out, ' ', static_cast<std::size_t>(width));
  char* p = out + width;
  for (int i = 0; i < decimals; ++i) {
    *--p = static_cast<char>('0' + fraction % 10);
    fraction /= 10;
  }
  *--p = '.';
  if (whole == 0) {
    // A lone zero before the point when the field has a column for it.
    if (room > 0) *--p = '0';
  } else {
    for (int digits = 0; whole > 0; ++digits) {
      if (digits == room) return fill(out, width, '*');
      *--p = static_cast<char>('0' + whole % 10);
      whole /= 10;
    }
  }
  if (negative) *--p = '-';
  return out + width;
}

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The row layout's field, 7 columns with 2 decimals, which every value of
// every frame passes through: the same rules as format_finite, with the
// widths known, the digits taken in pairs and no loop but the integer's.
char* format_row_field(double value, char* out) {
  constexpr int kWidth = 7;
  const bool negative = value < 0;
  const double magnitude = negative ? -value : value;
  // At most 4 integer digits, 3 with a minus sign.
  if (magnitude >= (negative ? 1000.0 : 10000.0)) return fill(out, kWidth, '*');
  const std::uint64_t scaled = scaled_and_rounded<std::uint64_t>(magnitude, 2);
  std::uint64_t whole = scaled / 100;
  const std::uint64_t fraction = scaled % 100;
  if (whole >= (negative ? 1000U : 10000U)) return fill(out, kWidth, '*');  // rounded up to it
  std::memcpy(out, "       ", kWidth);
  std::memcpy(out + 5, kDigitPairs + 2 * fraction, 2);
  out[4] = '.';
  char* p = out + 4;
  do {
    *--p = static_cast<char>('0' + whole % 10);
    whole /= 10;
  } while (whole > 0);
  if (negative) *--p = '-';
  return out + kWidth;
}

}  // namespace

char* format_fixed(double value, int width, int decimals, char* out) {
  if (value - value != 0) return format_special(value, width, out);  // NaN or infinity
  if (width == 7 && decimals == 2) return format_row_field(value, out);
  return format_finite(value, width, decimals, out);
}

}  // namespace quiltgrid::textio
