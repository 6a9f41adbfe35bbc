// The fixed-point field editor: a double in w columns with d decimals.
#pragma once

namespace quiltgrid::textio {

// The widest field and the most decimals the editor takes. Every value a
// field this wide can show lies below 2^53, where the exact rounding below
// works on integers.
inline constexpr int kMaxFixedWidth = 16;
inline constexpr int kMaxFixedDecimals = 9;

// Writes exactly `width` characters at out: the value rounded from its
// exact binary value to `decimals` digits (ties to even), right-justified;
// "NaN", "Inf" or "Infinity" with its sign for the special values; asterisks
// when the text does not fit. Returns out + width.
char* format_fixed(double value, int width, int decimals, char* out);

}  // namespace quiltgrid::textio
