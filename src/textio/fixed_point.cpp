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
// m * 10^decimals / 2^-e, an integer division with its remainder.
// Precondition: |value| < 2^53 (so e <= 0).
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
  if (shift > 100) return 0;  // below 2^-47: far less than half a unit
  const Uint128 product =
      static_cast<Uint128>(mantissa) * kPowersOfTen[decimals];
  if (shift <= 0) return static_cast<std::uint64_t>(product);
  const auto quotient = static_cast<std::uint64_t>(product >> shift);
  const Uint128 remainder = product & ((static_cast<Uint128>(1) << shift) - 1);
  const Uint128 half = static_cast<Uint128>(1) << (shift - 1);
  const bool up = remainder > half || (remainder == half && (quotient & 1) != 0);
  return quotient + (up ? 1 : 0);
}

char* write_digits(std::uint64_t value, int count, char* end) {
  for (int i = 0; i < count; ++i) {
    *--end = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return end;
}

int digit_count(std::uint64_t value) {
  int count = 0;
  while (value > 0) {
    ++count;
    value /= 10;
  }
  return count;
}

}  // namespace

char* format_fixed(double value, int width, int decimals, char* out) {
  if (value - value != 0) return format_special(value, width, out);  // NaN or infinity
  // The sign comes from the value, not from the rounded digits: -0.004
  // keeps its minus, a zero with the sign bit set has none.
  const bool negative = value < 0;
  const double magnitude = negative ? -value : value;
  const int sign_columns = negative ? 1 : 0;
  // The widest text that fits has width - 1 - decimals integer digits at
  // most; a magnitude of 10^that or more cannot fit whatever the rounding.
  const int room = width - sign_columns - 1 - decimals;
  if (room < 0 || magnitude >= static_cast<double>(kPowersOfTen[room])) {
    return fill(out, width, '*');
  }
  const std::uint64_t scaled = scaled_and_rounded(magnitude, decimals);
  const std::uint64_t whole = scaled / kPowersOfTen[decimals];
  const std::uint64_t fraction = scaled % kPowersOfTen[decimals];
  const int whole_digits = digit_count(whole);
  if (whole_digits > room) return fill(out, width, '*');
  // A lone zero before the point when the field has a column for it.
  const bool leading_zero = whole_digits == 0 && room > 0;
  const int length = sign_columns + (leading_zero ? 1 : whole_digits) + 1 + decimals;
  char* const end = out + width;
  char* p = write_digits(fraction, decimals, end);
  *--p = '.';
  p = leading_zero ? write_digits(0, 1, p) : write_digits(whole, whole_digits, p);
  if (negative) *--p = '-';
  fill(out, width - length, ' ');
  return end;
}

}  // namespace quiltgrid::textio
