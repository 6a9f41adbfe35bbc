#include "textio/number_token.h"

namespace quiltgrid::textio {

namespace {

constexpr int kMaxLeadingDigits = 19;
constexpr std::int32_t kExponentClamp = 100000;  // far beyond any double

bool is_digit(char c) { return c >= '0' && c <= '9'; }
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

bool ends_token(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == ',' || c == '/' || c == ')' || c == '*';
}

// True if text at i begins with the lower-case word, in any case.
bool has_word(std::string_view text, std::size_t i, std::string_view word) {
  if (text.size() - i < word.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k) {
    if (lower(text[i + k]) != word[k]) return false;
  }
  return true;
}

bool is_name_character(char c) {
  const char l = lower(c);
  return is_digit(c) || (l >= 'a' && l <= 'z') || c == '_';
}

// INF, INFINITY, NAN and NAN(...); returns the offset after the word, or
// i itself when there is none.
std::size_t scan_word(std::string_view text, std::size_t i, NumberToken& token) {
  if (has_word(text, i, "inf")) {
    token.kind = NumberToken::Kind::infinity;
    return has_word(text, i + 3, "inity") ? i + 8 : i + 3;
  }
  if (!has_word(text, i, "nan")) return i;
  token.kind = NumberToken::Kind::not_a_number;
  std::size_t j = i + 3;
  if (j < text.size() && text[j] == '(') {
    std::size_t k = j + 1;
    while (k < text.size() && is_name_character(text[k])) ++k;
    if (k < text.size() && text[k] == ')') return k + 1;
  }
  return j;
}

// Digits after an exponent letter or sign; false when a sign has none.
bool scan_exponent(std::string_view text, std::size_t& i, NumberToken& token, bool need_digits) {
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
    need_digits = true;
  }
  const std::size_t first = i;
  std::int32_t value = 0;
  while (i < text.size() && is_digit(text[i])) {
    if (value < kExponentClamp) value = value * 10 + (text[i] - '0');
    ++i;
  }
  if (need_digits && i == first) return false;
  token.exponent = negative ? -value : value;
  return true;
}

}  // namespace

NumberToken scan_number(std::string_view text, std::size_t start) {
  NumberToken token;
  std::size_t i = start;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    token.negative = text[i] == '-';
    token.signed_explicitly = true;
    ++i;
  }
  if (const std::size_t after_word = scan_word(text, i, token); after_word != i) {
    i = after_word;
  } else {
    const std::size_t mantissa_start = i;
    bool point = false;
    bool any_digit = false;
    int integer_digits = 0;
    int fraction_digits = 0;
    int first_significant = 0;  // its index among the integer or fraction digits
    bool first_in_fraction = false;
    for (; i < text.size(); ++i) {
      const char c = text[i];
      if (c == '.' && !point) {
        point = true;
        continue;
      }
      if (!is_digit(c)) break;
      any_digit = true;
      (point ? fraction_digits : integer_digits) += 1;
      if (c == '0' && token.significant_digits == 0) continue;  // a leading zero
      if (token.significant_digits == 0) {
        first_in_fraction = point;
        first_significant = point ? fraction_digits : integer_digits;
      }
      if (++token.significant_digits <= kMaxLeadingDigits) {
        token.leading_digits = token.leading_digits * 10 + static_cast<std::uint64_t>(c - '0');
      }
    }
    if (!any_digit) return token;
    token.fraction_digits = fraction_digits;
    if (token.significant_digits > 0) {
      token.magnitude = first_in_fraction ? 1 - first_significant
                                          : integer_digits - first_significant + 1;
    }
    token.mantissa = text.substr(mantissa_start, i - mantissa_start);
    token.plain_integer = !point;
    if (i < text.size()) {
      const char l = lower(text[i]);
      if (l == 'e' || l == 'd' || l == 'q') {
        ++i;
        token.plain_integer = false;
        if (!scan_exponent(text, i, token, false)) return token;
      } else if (text[i] == '+' || text[i] == '-') {
        token.plain_integer = false;
        if (!scan_exponent(text, i, token, true)) return token;
      }
    }
    token.magnitude += token.exponent;
  }
  token.end = i;
  token.valid = i == text.size() || ends_token(text[i]);
  return token;
}

}  // namespace quiltgrid::textio
