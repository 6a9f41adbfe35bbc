// The integer field editor, for field layouts and free-form output.
#pragma once

#include <cstdint>
#include <string_view>

namespace quiltgrid::textio {

// Writes exactly `width` characters at out: the value right-justified, a
// minus sign when negative, asterisks when it does not fit.
char* format_integer(std::int32_t value, int width, char* out);

// Reads an integer field. Blanks anywhere are ignored, an empty or blank
// field (or a lone sign) reads 0; after leading blanks one sign may stand,
// then only digits. A comma ends the field early: consumed tells how many
// columns were used, the comma included. False for any other character or
// a value outside 32 bits.
struct IntegerField {
  bool valid = false;
  std::int32_t value = 0;
  bool ended_at_comma = false;
  std::size_t consumed = 0;  // columns used up to the comma, the comma included
};
IntegerField parse_integer(std::string_view field);

}  // namespace quiltgrid::textio
