// Decimal number tokens to doubles, correctly rounded.
#pragma once

#include <string>

#include "textio/number_token.h"

namespace quiltgrid::textio {

struct Conversion {
  bool ok = false;  // false: the value is beyond the range of a double
  double value = 0;
};

// Converts a valid token. Short plain decimals (at most 19 digits, below
// 2^53, with a power of ten up to 22) take one correctly rounded
// multiplication or division; all others go through std::from_chars on the
// token rewritten in its syntax. Values too small for a double become a
// zero of the token's sign. `scratch` holds the rewritten token.
Conversion convert_number(const NumberToken& token, std::string& scratch);

}  // namespace quiltgrid::textio
