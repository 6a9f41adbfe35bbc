#include "textio/integer_field.h"

#include <cstring>

namespace quiltgrid::textio {

char* format_integer(std::int32_t value, int width, char* out) {
  char digits[12];
  char* end = digits + sizeof digits;
  char* p = end;
  // In 64 bits, so that the most negative value has a magnitude.
  auto magnitude = value < 0 ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
  do {
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude > 0);
  if (value < 0) *--p = '-';
  const auto length = static_cast<int>(end - p);
  if (length > width) {
    std::memset(out, '*', static_cast<std::size_t>(width));
  } else {
    std::memset(out, ' ', static_cast<std::size_t>(width - length));
    std::memcpy(out + width - length, p, static_cast<std::size_t>(length));
  }
  return out + width;
}

IntegerField parse_integer(std::string_view field) {
  IntegerField result;
  if (const std::size_t comma = field.find(','); comma != std::string_view::npos) {
    field = field.substr(0, comma);
    result.consumed = comma + 1;
    result.ended_at_comma = true;
  } else {
    result.consumed = field.size();
  }
  std::size_t i = 0;
  while (i < field.size() && field[i] == ' ') ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
    negative = field[i] == '-';
    ++i;
  }
  std::int64_t magnitude = 0;
  for (; i < field.size(); ++i) {
    const char c = field[i];
    if (c == ' ') continue;
    if (c < '0' || c > '9') return result;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > std::int64_t{2147483648}) return result;
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value > std::int64_t{2147483647}) return result;
  result.valid = true;
  result.value = static_cast<std::int32_t>(value);
  return result;
}

}  // namespace quiltgrid::textio
