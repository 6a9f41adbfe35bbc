#include "textio/decimal_conversion.h"

#include <charconv>
#include <limits>

namespace quiltgrid::textio {

namespace {

constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr std::uint64_t kExactIntegerLimit = std::uint64_t{1} << 53;

double with_sign(const NumberToken& token, double magnitude) {
  return token.negative ? -magnitude : magnitude;
}

Conversion convert_exactly(const NumberToken& token, std::string& scratch) {
  // std::from_chars reads the mantissa as written and an "e" exponent.
  scratch.assign(token.mantissa);
  char exponent[12];
  const auto exponent_end = std::to_chars(exponent, exponent + sizeof exponent, token.exponent).ptr;
  scratch.push_back('e');
  scratch.append(exponent, exponent_end);
  double magnitude = 0;
  const auto [end, error] =
      std::from_chars(scratch.data(), scratch.data() + scratch.size(), magnitude);
  if (error == std::errc::result_out_of_range) {
    if (token.magnitude > 0) return {false, 0};
    return {true, with_sign(token, 0.0)};
  }
  return {end == scratch.data() + scratch.size() && error == std::errc{},
          with_sign(token, magnitude)};
}

}  // namespace

Conversion convert_number(const NumberToken& token, std::string& scratch) {
  switch (token.kind) {
    case NumberToken::Kind::infinity:
      return {true, with_sign(token, std::numeric_limits<double>::infinity())};
    case NumberToken::Kind::not_a_number:
      return {true, with_sign(token, std::numeric_limits<double>::quiet_NaN())};
    case NumberToken::Kind::finite:
      break;
  }
  if (token.significant_digits == 0) return {true, with_sign(token, 0.0)};
  if (token.significant_digits <= 19 && token.leading_digits < kExactIntegerLimit) {
    const std::int32_t power = token.exponent - token.fraction_digits;
    // Both operands are exact doubles, so one operation rounds correctly.
    const auto digits = static_cast<double>(token.leading_digits);
    if (power >= 0 && power <= 22) return {true, with_sign(token, digits * kExactPowersOfTen[power])};
    if (power < 0 && power >= -22) return {true, with_sign(token, digits / kExactPowersOfTen[-power])};
  }
  return convert_exactly(token, scratch);
}

}  // namespace quiltgrid::textio
