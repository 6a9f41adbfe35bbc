// The plain decimals of data rows (like -12.345), found and read many
// characters at a time; the free-form reader's fast path. Anything that is
// not a plain decimal ended by a blank is left to the full scanner.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define QUILTGRID_SIXTEEN_AT_A_TIME 1
#endif

namespace quiltgrid::textio::plain_decimals {

// 10^k for k up to 22, all exact doubles.
inline constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

#ifdef QUILTGRID_SIXTEEN_AT_A_TIME
// Reading a row goes from one value to the next, and finding where the
// next value starts is the one step each value waits for. Done a character
// at a time that step is a chain of branches; here it is a comparison of
// 16 or 64 characters at once and a few bit operations, and the digits of
// each value are read beside it.

// Eight characters as a word, the first in its lowest byte (x86 is
// little-endian).
inline std::uint64_t eight_characters(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// The first `count` (0 to 8) characters of the word, all digits, as digit
// values 0 to 9 in its top `count` bytes, with zero digits below them.
inline std::uint64_t digits_on_top(std::uint64_t word, int count) {
  constexpr std::uint64_t kEveryByte = 0x0101010101010101;
  // Past the digits the subtraction may borrow, but only upwards, into
  // characters that the shift drops.
  word -= kEveryByte * '0';
  return count == 0 ? 0 : word << (8 * (8 - count));
}

// The number that eight digit values (the first in the lowest byte) stand
// for.
inline std::uint64_t eight_digits_value(std::uint64_t word) {
  word = word * 10 + (word >> 8);  // pairs of digits
  word = (((word & 0x000000FF000000FF) * (100 + (1000000ULL << 32))) +
          (((word >> 16) & 0x000000FF000000FF) * (1 + (10000ULL << 32)))) >>
         32;
  return word & 0xFFFFFFFF;
}

inline constexpr std::uint64_t kIntegerPowersOfTen[] = {1,       10,       100,      1000,    10000,
                                                 100000,  1000000,  10000000, 100000000};

inline double with_sign_bit(double magnitude, bool negative) {
  // A bit, not a branch: the sign of a row's values follows no pattern.
  return std::bit_cast<double>(std::bit_cast<std::uint64_t>(magnitude) |
                               (static_cast<std::uint64_t>(negative) << 63));
}

// Bit k of each mask tells what p[k] is, for the 16 * chunks characters
// at p.
struct CharacterMasks {
  std::uint64_t blanks = 0;
  std::uint64_t digits = 0;
  std::uint64_t points = 0;
};

template <int kChunks>
[[gnu::always_inline]] inline CharacterMasks masks_of(const char* p) {
  const auto bits = [](__m128i bytes) {
    return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(bytes)));
  };
  CharacterMasks masks;
  for (int c = 0; c < kChunks; ++c) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * c));
    const __m128i digit = _mm_and_si128(_mm_cmpgt_epi8(chunk, _mm_set1_epi8('0' - 1)),
                                        _mm_cmplt_epi8(chunk, _mm_set1_epi8('9' + 1)));
    masks.blanks |= bits(_mm_cmpeq_epi8(chunk, _mm_set1_epi8(' '))) << (16 * c);
    masks.digits |= bits(digit) << (16 * c);
    masks.points |= bits(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('.'))) << (16 * c);
  }
  return masks;
}

// Reads p[start] to p[end - 1] when it is a plain decimal of at most 15
// digits (a sign, up to 8 digits, a point, up to 8 digits); false for
// anything else, which the general path then reads. end is below 64, and
// the 8 characters after p[end] must be there to look at.
[[gnu::always_inline]] inline bool decimal_at(const char* p, unsigned start, unsigned end,
                                              const CharacterMasks& masks, double& value) {
  const std::uint64_t token = (std::uint64_t{1} << end) - (std::uint64_t{1} << start);
  const std::uint64_t point = masks.points & token;
  const char first = p[start];
  const bool negative = first == '-';
  const std::uint64_t sign = negative || first == '+' ? std::uint64_t{1} << start : 0;
  const unsigned point_at = point != 0 ? static_cast<unsigned>(std::countr_zero(point)) : end;
  // Only digits, the sign and at most one point (a shift, not a count of
  // bits: this target may have no instruction for that), and a digit.
  if ((token & ~(masks.digits | sign | point)) != 0 || (point >> point_at) > 1 ||
      (masks.digits & token) == 0) {
    return false;
  }
  const unsigned whole_at = start + (sign != 0 ? 1 : 0);
  const auto whole = static_cast<int>(point_at - whole_at);
  const int fraction = point != 0 ? static_cast<int>(end - point_at - 1) : 0;
  if (whole > 8 || fraction > 8 || whole + fraction > 15) return false;
  const std::uint64_t whole_digits = digits_on_top(eight_characters(p + whole_at), whole);
  const std::uint64_t fraction_digits = digits_on_top(eight_characters(p + point_at + 1), fraction);
  // Up to 8 digits in all (the common case) make one word, the whole
  // digits above the fraction digits; with fraction = 8 there are no whole
  // digits to move.
  const std::uint64_t number =
      whole + fraction <= 8
          ? eight_digits_value((whole_digits >> ((8 * fraction) & 63)) | fraction_digits)
          : eight_digits_value(whole_digits) * kIntegerPowersOfTen[fraction] +
                eight_digits_value(fraction_digits);
  // Below 10^15 < 2^53, and 10^fraction is exact: one division rounds
  // correctly.
  value = with_sign_bit(
      static_cast<double>(static_cast<std::int64_t>(number)) / kPowersOfTen[fraction], negative);
  return true;
}

// The blanks at p and a plain decimal after them ended by a blank, all
// within 16 characters: returns the characters used, or 0 when that is not
// what p holds. 32 characters from p must be there.
[[gnu::always_inline]] inline std::size_t blank_delimited_decimal(const char* p, double& value) {
  const CharacterMasks masks = masks_of<1>(p);
  const auto start = static_cast<unsigned>(std::countr_zero(~masks.blanks));  // 64: all blank
  if (start > 15) return 0;
  const auto end =
      static_cast<unsigned>(std::countr_zero(masks.blanks & (~std::uint64_t{0} << start)));
  if (end > 15) return 0;  // no blank after the value within the 16
  return decimal_at(p, start, end, masks, value) ? end : 0;
}
#endif

}  // namespace quiltgrid::textio::plain_decimals
