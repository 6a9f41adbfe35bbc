// The decimal conversion of free-form number tokens, bit for bit against
// std::from_chars on the same token.
//
// Every token goes two ways: scan_number and convert_number on the token
// alone, and a whole read_numbers of a file that holds it among others, so
// that the path the grid rows take is covered too. The reference is
// std::from_chars on the token rewritten in its syntax (no leading "+",
// "e" for the exponent letters D and Q, an "e" before a letterless
// exponent). Where from_chars finds the value out of range, std::strtod
// tells an overflow (which the reader refuses) from an underflow (a zero of
// the token's sign, or a denormal).

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "support/test_support.h"
#include "textio/decimal_conversion.h"
#include "textio/diagnostics.h"
#include "textio/free_form_reader.h"
#include "textio/number_token.h"
#include "textio/units.h"

namespace {

using namespace quiltgrid::textio;
using quiltgrid::testing::hex;
using quiltgrid::testing::TempDir;
using quiltgrid::testing::write_file;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int kUnit = 300;
constexpr std::size_t kValuesPerRow = 100;

struct Expected {
  bool ok = false;  // false: beyond the range of a double
  double value = 0;
};

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The token in the syntax std::from_chars takes.
std::string from_chars_form(std::string_view token) {
  std::string out;
  std::size_t i = 0;
  if (!token.empty() && (token[0] == '+' || token[0] == '-')) {
    if (token[0] == '-') out.push_back('-');
    i = 1;
  }
  if (i < token.size() && is_letter(token[i])) {  // INF, INFINITY, NAN(...)
    out.append(token.substr(i));
    return out;
  }
  for (; i < token.size(); ++i) {
    const char c = token[i];
    if (c == 'D' || c == 'd' || c == 'Q' || c == 'q') {
      out.push_back('e');
    } else if ((c == '+' || c == '-') && (is_digit(token[i - 1]) || token[i - 1] == '.')) {
      out.push_back('e');  // the letterless exponent
      out.push_back(c);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

Expected reference(std::string_view token) {
  const std::string text = from_chars_form(token);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc{}) {
    EXPECT_EQ(end, text.data() + text.size()) << "from_chars stopped early in " << text;
    return {true, value};
  }
  EXPECT_EQ(error, std::errc::result_out_of_range) << text;
  const double rounded = std::strtod(text.c_str(), nullptr);
  if (std::isinf(rounded)) return {false, 0};
  return {true, rounded};
}

bool same_value(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// Counts the tokens checked and reports the first few disagreements.
class Tally {
 public:
  explicit Tally(std::string what) : what_(std::move(what)) {}
  ~Tally() { EXPECT_EQ(mismatches_, 0U) << "of " << checked_ << " " << what_; }

  void count() { ++checked_; }

  void mismatch(std::string_view token, const std::string& detail) {
    if (++mismatches_ <= 10) ADD_FAILURE() << what_ << ": token \"" << token << "\": " << detail;
  }

  std::uint64_t checked() const { return checked_; }

 private:
  std::string what_;
  std::uint64_t checked_ = 0;
  std::uint64_t mismatches_ = 0;
};

// scan_number and convert_number on the token alone.
void check_conversion(std::string_view token, const Expected& want, Tally& tally) {
  tally.count();
  const NumberToken scanned = scan_number(token, 0);
  if (!scanned.valid || scanned.end != token.size()) {
    return tally.mismatch(token, "not scanned as one valid token");
  }
  static std::string scratch;
  const Conversion got = convert_number(scanned, scratch);
  if (got.ok != want.ok) {
    return tally.mismatch(token, want.ok ? "refused" : "accepted " + hex(got.value));
  }
  if (want.ok && !same_value(got.value, want.value)) {
    tally.mismatch(token, "gave " + hex(got.value) + ", expected " + hex(want.value));
  }
}

// Writes the tokens as rows of a file, with the separators a grid file may
// have between them, and reads them back with read_numbers. Tokens out of
// range are left out: the read would stop at them.
void check_through_a_file(const std::vector<std::string>& tokens,
                          const std::vector<Expected>& wanted, std::mt19937_64& random,
                          Tally& tally) {
  static constexpr std::string_view kSeparators[] = {" ", "   ", "\t", ",", " , ", "\r", " \t "};
  std::vector<std::size_t> order;  // the tokens written, in order
  std::string file;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (!wanted[i].ok) continue;
    if (order.size() % kValuesPerRow == 0) {
      if (!order.empty()) file.push_back('\n');
      file.append(random() % 2 == 0 ? "  " : "");
    } else if (random() % 40 == 0) {
      file.push_back('\n');  // a row continued on the next record
    } else {
      file.append(kSeparators[random() % std::size(kSeparators)]);
    }
    file.append(tokens[i]);
    order.push_back(i);
  }
  file.append("   \n");
  const std::size_t rows = (order.size() + kValuesPerRow - 1) / kValuesPerRow;

  TempDir folder;
  write_file(folder / "rows.r2c", file);
  ASSERT_EQ(open_unknown(kUnit, (folder / "rows.r2c").string()), kOk);
  std::vector<double> values(kValuesPerRow);
  for (std::size_t r = 0; r < rows; ++r) {
    // The last row may be short.
    const std::span<double> row(values.data(),
                                std::min(kValuesPerRow, order.size() - r * kValuesPerRow));
    const Status status = read_numbers(kUnit, row);
    if (status != kOk) {
      ADD_FAILURE() << "row " << r << ": status " << status;
      break;
    }
    for (std::size_t k = 0; k < row.size(); ++k) {
      const std::size_t i = order[r * kValuesPerRow + k];
      tally.count();
      if (!same_value(row[k], wanted[i].value)) {
        tally.mismatch(tokens[i], "read " + hex(row[k]) + ", expected " + hex(wanted[i].value));
      }
    }
  }
  EXPECT_EQ(close_keep(kUnit), kOk);
}

void check_tokens(const std::vector<std::string>& tokens, std::mt19937_64& random,
                  Tally& alone, Tally& in_file) {
  std::vector<Expected> wanted;
  wanted.reserve(tokens.size());
  for (const std::string& token : tokens) {
    wanted.push_back(reference(token));
    check_conversion(token, wanted.back(), alone);
  }
  check_through_a_file(tokens, wanted, random, in_file);
}

// ---------------------------------------------------------------- tokens

std::size_t below(std::mt19937_64& random, std::size_t n) { return random() % n; }

void append_digits(std::string& out, std::mt19937_64& random, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) out.push_back(static_cast<char>('0' + below(random, 10)));
}

std::string random_case(std::string word, std::mt19937_64& random) {
  for (char& c : word) {
    if (c >= 'a' && c <= 'z' && random() % 2 == 0) c = static_cast<char>(c - 'a' + 'A');
  }
  return word;
}

// A decimal token of any shape the reader takes.
std::string random_token(std::mt19937_64& random) {
  std::string token;
  switch (below(random, 3)) {
    case 0: token.push_back('-'); break;
    case 1: token.push_back('+'); break;
    default: break;
  }
  if (below(random, 200) == 0) {
    static constexpr const char* kWords[] = {"inf", "infinity", "nan", "nan(q_7)"};
    return token + random_case(kWords[below(random, std::size(kWords))], random);
  }
  // Leading zeros, 1 to 25 significant digits, trailing zeros; now and
  // then a mantissa of zeros only.
  std::string digits(below(random, 4) == 0 ? below(random, 4) : 0, '0');
  if (below(random, 50) == 0) {
    digits.append(1 + below(random, 5), '0');
  } else {
    digits.push_back(static_cast<char>('1' + below(random, 9)));
    append_digits(digits, random, below(random, 25));
    if (below(random, 3) == 0) digits.append(below(random, 6), '0');
  }
  // The point anywhere, at either end, or nowhere.
  if (below(random, 4) != 0) digits.insert(below(random, digits.size() + 1), 1, '.');
  token.append(digits);
  const std::size_t form = below(random, 10);
  if (form < 3) return token;  // no exponent
  // Mostly moderate exponents; a share reaches past both ends of the range.
  const int exponent = below(random, 2) == 0 ? static_cast<int>(below(random, 61)) - 30
                                             : static_cast<int>(below(random, 641)) - 330;
  if (form < 9) {
    static constexpr char kLetters[] = {'E', 'e', 'D', 'd', 'Q', 'q'};
    token.push_back(kLetters[below(random, std::size(kLetters))]);
    if (exponent < 0) {
      token.push_back('-');
    } else if (below(random, 2) == 0) {
      token.push_back('+');
    }
  } else {
    token.push_back(exponent < 0 ? '-' : '+');  // letterless: 1.5+3
  }
  if (below(random, 8) == 0) token.append(below(random, 3), '0');
  token.append(std::to_string(std::abs(exponent)));
  return token;
}

// The exact decimal of the point halfway between x and the next double
// up, as significant digits and the exponent of the first one.
struct Decimal {
  std::string digits;
  int exponent = 0;
};

Decimal halfway_above(double x) {
  // Two neighbouring doubles differ in their 53rd bit, so their sum and
  // half of it are exact in the 64-bit mantissa of long double.
  const long double mid =
      (static_cast<long double>(x) + static_cast<long double>(std::nextafter(x, kInf))) / 2;
  // An exact decimal of a binary fraction above 2^-1075 has fewer than
  // 1100 significant digits.
  static char text[1200];
  std::snprintf(text, sizeof text, "%.1100Le", mid);
  const std::string_view s = text;
  const std::size_t e = s.find('e');
  Decimal d;
  d.digits.push_back(s[0]);
  d.digits.append(s.substr(2, e - 2));
  d.digits.erase(d.digits.find_last_not_of('0') + 1);
  d.exponent = std::stoi(std::string(s.substr(e + 1)));
  return d;
}

std::string scientific(std::string_view digits, int exponent, std::mt19937_64& random) {
  std::string token = random() % 2 == 0 ? "-" : "";
  token.push_back(digits[0]);
  token.push_back('.');
  token.append(digits.substr(1));
  static constexpr const char* kLetters[] = {"e", "E", "D", "q"};
  token.append(kLetters[below(random, std::size(kLetters))]);
  token.append(std::to_string(exponent));
  return token;
}

// The digits plus one unit in their last place; false when that carries
// out of the first digit.
bool incremented(std::string& digits) {
  for (std::size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return true;
    }
    digits[i] = '0';
  }
  return false;
}

// Tokens around the point halfway between a double and the next: the
// exact tie (which goes to the even one), its digits cut to 17 to 20 and 25
// digits (just below), the cut digits plus one unit (just above), and the
// tie with more digits after it (just above).
void append_near_halfway(double x, std::vector<std::string>& tokens, std::mt19937_64& random) {
  const Decimal tie = halfway_above(x);
  tokens.push_back(scientific(tie.digits, tie.exponent, random));
  tokens.push_back(scientific(tie.digits + "00001", tie.exponent, random));
  for (const std::size_t n : {17U, 18U, 19U, 20U, 25U}) {
    if (n >= tie.digits.size()) continue;
    std::string cut = tie.digits.substr(0, n);
    tokens.push_back(scientific(cut, tie.exponent, random));
    tokens.push_back(scientific(cut + "5", tie.exponent, random));
    if (incremented(cut)) tokens.push_back(scientific(cut, tie.exponent, random));
  }
}

// ---------------------------------------------------------------- tests

TEST(NumberReader, ExamplesAndBoundaries) {
  struct Case {
    const char* token;
    bool ok;
    double value;
  };
  const Case cases[] = {
      {"5", true, 5.0},
      {"-.5E+2", true, -50.0},
      {"1.5E3", true, 1500.0},
      {"1.5D3", true, 1500.0},
      {"1.5q3", true, 1500.0},
      {"1.5+3", true, 1500.0},
      {"1.5-3", true, 0.0015},
      {"1500", true, 1500.0},
      {"+1500.", true, 1500.0},
      {"0.1", true, 0.1},
      {"-0", true, -0.0},
      {"0.000e999999999", true, 0.0},
      {"-000.0d-5", true, -0.0},
      // Around 2^53, where integers stop being exact.
      {"9007199254740991", true, 9007199254740991.0},
      {"9007199254740992", true, 9007199254740992.0},
      {"9007199254740993", true, 9007199254740992.0},  // a tie, to even
      {"9007199254740995", true, 9007199254740996.0},  // a tie, to even
      {"9007199254740993.0000000000001", true, 9007199254740994.0},
      {"9007199254740993e-22", true, 0x1.e392010175ee7p-21},
      {"9007199254740991e22", true, 0x1.0f0cf064dd591p+126},
      // 19 and 20 digits, 10^22 (the last exact power) and 10^23.
      {"1234567890123456789", true, 1234567890123456768.0},
      {"9999999999999999999", true, 0x1.158e460913d00p+63},
      {"18446744073709551615", true, 0x1p+64},
      {"1e22", true, 1e22},
      {"1e23", true, 0x1.52d02c7e14af6p+76},
      {"1000000000000000000000", true, 1e21},
      // The ends of the range.
      {"1e-400", true, 0.0},
      {"-1e-400", true, -0.0},
      {"1e-99999999999", true, 0.0},
      {"1e400", false, 0},
      {"-1e400", false, 0},
      {"1e99999999999", false, 0},
      {"4.9406564584124654e-324", true, DBL_TRUE_MIN},
      {"2.4703282292062327e-324", true, 0.0},
      {"2.4703282292062328e-324", true, DBL_TRUE_MIN},
      {"-1e-323", true, -2 * DBL_TRUE_MIN},
      {"2.2250738585072011e-308", true, 0x0.fffffffffffffp-1022},
      {"2.2250738585072014e-308", true, DBL_MIN},
      {"1.7976931348623157e308", true, DBL_MAX},
      {"1.7976931348623158e308", true, DBL_MAX},
      {"1.7976931348623159e308", false, 0},
      {"INF", true, kInf},
      {"-Infinity", true, -kInf},
      {"nan", true, kNaN},
      {"NaN(x_1)", true, kNaN},
  };
  Tally alone("example tokens");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.token);
    const Expected want{c.ok, c.value};
    const Expected from_reference = reference(c.token);
    EXPECT_EQ(from_reference.ok, want.ok);
    EXPECT_TRUE(!want.ok || same_value(from_reference.value, want.value))
        << "the reference gives " << hex(from_reference.value);
    check_conversion(c.token, want, alone);
  }
}

// A token in the middle of a long row of plain decimals between single
// blanks, where the reader takes whole runs of values at once: each token
// must read exactly as it does anywhere else, and whatever is not a plain
// decimal must still reach the full rules (repeat forms, commas, the slash,
// exponents, errors).
TEST(NumberReader, TokensAmidALongRowOfPlainDecimals) {
  constexpr double kUnchanged = -7.0;
  struct Case {
    const char* token;
    Status status;
    std::vector<double> values;  // the items the token fills, when read
  };
  const Case cases[] = {
      {"12.5", kOk, {12.5}},
      {"-0.0", kOk, {-0.0}},
      {"+.5", kOk, {0.5}},
      {"-5.", kOk, {-5.0}},
      {"99999999.9999999", kOk, {99999999.9999999}},  // 15 digits
      {"12345678.12345678", kOk, {12345678.12345678}},  // 16 digits
      {"00000001.5", kOk, {1.5}},
      {"1.000000001", kOk, {1.000000001}},
      {"123456789", kOk, {123456789.0}},
      {"1.5+3", kOk, {1500.0}},
      {"1e5", kOk, {1e5}},
      {"1.5D3", kOk, {1500.0}},
      {"inf", kOk, {kInf}},
      {"3*2.5", kOk, {2.5, 2.5, 2.5}},
      {"2*", kOk, {kUnchanged, kUnchanged}},
      {"1,2", kOk, {1.0, 2.0}},
      {"1,,2", kOk, {1.0, kUnchanged, 2.0}},
      {"1\t2", kOk, {1.0, 2.0}},
      {"1\r2", kOk, {1.0, 2.0}},
      {".", error::free_form_syntax, {}},
      {"-", error::free_form_syntax, {}},
      {"+", error::free_form_syntax, {}},
      {"-.", error::free_form_syntax, {}},
      {"1.2.3", error::free_form_syntax, {}},
      {"--1", error::free_form_syntax, {}},
      {"1.5x", error::free_form_syntax, {}},
      {"1;", error::free_form_syntax, {}},
      {"1e400", error::input_conversion, {}},
      {"0*5", error::repeat_count_zero, {}},
      {"-2*5", error::repeat_count_signed, {}},
  };
  constexpr std::size_t kFillers = 40;
  std::vector<double> fillers;
  std::string before;
  std::string after;
  for (std::size_t k = 0; k < kFillers; ++k) {
    fillers.push_back(-40.0 + 1.125 * static_cast<double>(k));
    char text[32];
    std::snprintf(text, sizeof text, "%.3f ", fillers.back());
    before.append(text);
    after.append(text);
  }
  TempDir folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.token);
    write_file(folder / "row.r2c", before + c.token + " " + after + "\n");
    ASSERT_EQ(open_unknown(kUnit, (folder / "row.r2c").string()), kOk);
    std::vector<double> row(2 * kFillers + c.values.size(), kUnchanged);
    EXPECT_EQ(read_numbers(kUnit, row), c.status);
    EXPECT_EQ(close_keep(kUnit), kOk);
    for (std::size_t k = 0; k < kFillers; ++k) {
      EXPECT_TRUE(same_value(row[k], fillers[k])) << "item " << k << ": " << hex(row[k]);
    }
    if (c.status != kOk) {
      EXPECT_EQ(row[kFillers], kUnchanged);
      continue;
    }
    for (std::size_t k = 0; k < c.values.size(); ++k) {
      EXPECT_TRUE(same_value(row[kFillers + k], c.values[k]))
          << "item " << kFillers + k << ": " << hex(row[kFillers + k]);
    }
    for (std::size_t k = 0; k < kFillers; ++k) {
      const std::size_t at = kFillers + c.values.size() + k;
      EXPECT_TRUE(same_value(row[at], fillers[k])) << "item " << at << ": " << hex(row[at]);
    }
  }
}

// The slash ends the read: the items after it keep their contents.
TEST(NumberReader, ASlashAmidALongRowEndsTheRead) {
  std::string text;
  for (int k = 0; k < 40; ++k) text.append("1.250 ");
  text.append("2.5/ ");
  for (int k = 0; k < 40; ++k) text.append("3.750 ");
  TempDir folder;
  write_file(folder / "row.r2c", text + "\n");
  ASSERT_EQ(open_unknown(kUnit, (folder / "row.r2c").string()), kOk);
  std::vector<double> row(81, -7.0);
  EXPECT_EQ(read_numbers(kUnit, row), kOk);
  EXPECT_EQ(close_keep(kUnit), kOk);
  std::vector<double> expected(40, 1.25);
  expected.push_back(2.5);
  expected.resize(81, -7.0);
  EXPECT_EQ(row, expected);
}

TEST(NumberReader, AValueBeyondTheRangeIsAConversionErrorOfTheRead) {
  TempDir folder;
  write_file(folder / "rows.r2c", "1.0 1e400 3.0\n");
  ASSERT_EQ(open_unknown(kUnit, (folder / "rows.r2c").string()), kOk);
  std::vector<double> row(3, -7.0);
  EXPECT_EQ(read_numbers(kUnit, row), error::input_conversion);
  EXPECT_EQ(row, (std::vector<double>{1.0, -7.0, -7.0}));
  EXPECT_EQ(close_keep(kUnit), kOk);
}

TEST(NumberReader, LongMantissasWhoseExponentCancels) {
  std::mt19937_64 random(11);
  std::vector<std::string> tokens;
  for (const std::size_t zeros : {19U, 22U, 23U, 100U, 400U, 1000U}) {
    const std::string exponent = std::to_string(zeros);
    std::string token = "1";
    token.append(zeros, '0').append("e-").append(exponent);
    tokens.push_back(token);
    token = "0.";
    token.append(zeros, '0').append("123e").append(exponent);
    tokens.push_back(token);
    token = "3.";
    append_digits(token, random, zeros);
    tokens.push_back(token);
  }
  Tally alone("long tokens alone");
  Tally in_file("long tokens read from a file");
  check_tokens(tokens, random, alone, in_file);
  EXPECT_EQ(in_file.checked(), tokens.size());
}

TEST(NumberReader, RandomTokensOfEveryShape) {
  std::mt19937_64 random(4242);
  Tally alone("random tokens alone");
  Tally in_file("random tokens read from a file");
  constexpr int kBatches = 10;
  constexpr std::size_t kPerBatch = 200'000;
  std::vector<std::string> tokens(kPerBatch);
  for (int batch = 0; batch < kBatches; ++batch) {
    for (std::string& token : tokens) token = random_token(random);
    check_tokens(tokens, random, alone, in_file);
  }
  EXPECT_EQ(alone.checked(), kBatches * kPerBatch);
  EXPECT_GT(in_file.checked(), kBatches * kPerBatch * 9 / 10);
}

// Short plain decimals, the shapes that may take the exact fast path, at
// and beyond its ends: up to 19 digits, powers of ten up to 10^22 and past.
TEST(NumberReader, RandomShortDecimalsAroundTheFastPath) {
  std::mt19937_64 random(99);
  Tally alone("short decimals alone");
  Tally in_file("short decimals read from a file");
  std::vector<std::string> tokens(400'000);
  for (std::string& token : tokens) {
    token.clear();
    if (random() % 2 == 0) token.push_back('-');
    const std::size_t digits = 1 + below(random, 19);
    const std::size_t fraction = std::min(digits, below(random, 8));
    append_digits(token, random, digits - fraction);
    if (fraction > 0) token.push_back('.');
    append_digits(token, random, fraction);
    if (random() % 2 == 0) {
      token.append("e").append(std::to_string(static_cast<int>(below(random, 57)) - 28));
    }
  }
  check_tokens(tokens, random, alone, in_file);
}

TEST(NumberReader, TokensNearHalfwayBetweenDoubles) {
  std::mt19937_64 random(31337);
  std::vector<std::string> tokens;
  // Doubles of every exponent, denormals included, and doubles of the
  // grid's own range.
  for (int i = 0; i < 12'000; ++i) {
    double x = 0;
    do {
      x = std::fabs(std::bit_cast<double>(random()));
    } while (!std::isfinite(x) || x == DBL_MAX || x == 0);
    append_near_halfway(x, tokens, random);
  }
  std::uniform_real_distribution<double> temperature(-100, 100);
  for (int i = 0; i < 8'000; ++i) {
    append_near_halfway(std::fabs(temperature(random)), tokens, random);
  }
  for (int e = -1074; e < -1021; ++e) append_near_halfway(std::ldexp(1.0, e), tokens, random);
  append_near_halfway(9007199254740992.0, tokens, random);
  append_near_halfway(std::nextafter(DBL_MAX, 0.0), tokens, random);
  Tally alone("near-halfway tokens alone");
  Tally in_file("near-halfway tokens read from a file");
  check_tokens(tokens, random, alone, in_file);
  EXPECT_GT(alone.checked(), 200'000U);
}

}  // namespace
