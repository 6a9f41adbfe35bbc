// The free-form number token scanner: finds where a number token ends and
// what it says, character by character, without converting it.
#pragma once

#include <cstdint>
#include <string_view>

namespace quiltgrid::textio {

struct NumberToken {
  enum class Kind { finite, infinity, not_a_number };
  Kind kind = Kind::finite;
  bool valid = false;  // the token has the syntax of a number
  bool negative = false;
  bool signed_explicitly = false;   // a "+" or "-" stands before it
  bool plain_integer = false;       // digits only, no point, no exponent
  std::size_t end = 0;              // offset of the character after the token
  std::string_view mantissa;        // digits with the point, if any
  std::int32_t exponent = 0;        // the written exponent, clamped
  // The significant digits (from the first that is not zero) as an integer
  // while there are at most 19 of them; with more, only the count is right
  // and the value needs the exact conversion.
  std::uint64_t leading_digits = 0;
  int significant_digits = 0;
  int fraction_digits = 0;  // digits after the point
  // The number of digits before the point in scientific notation (1 for
  // 1.5, 0 for 0.15, 3 for 1.5E2): positive for large values, not
  // positive for small ones. Only meaningful when a digit is not zero.
  std::int32_t magnitude = 0;
};

// Scans a number token starting at text[start]: an optional sign, then a
// mantissa of digits with at most one point and an optional exponent (a
// letter E, D or Q in either case, then an optional sign and digits; or a
// sign and digits with no letter), or the words INF, INFINITY or NAN (NAN
// with an optional parenthesised part). The token must end at the end of
// the text or before a blank, tab, carriage return, comma, slash, closing
// parenthesis or asterisk; otherwise it is not valid.
NumberToken scan_number(std::string_view text, std::size_t start);

}  // namespace quiltgrid::textio
