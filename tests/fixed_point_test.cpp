// The fixed-point field editor against a correctly rounded reference.
//
// The reference rounds with std::to_chars(chars_format::fixed), which works
// on the exact binary value of the double and breaks exact ties to even,
// and then applies the field rules (sign from the value, the optional "0",
// right justification, asterisks) to its text. format_fixed must agree with
// it byte for byte on every value tried.

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "support/test_support.h"
#include "textio/fixed_point.h"

namespace {

using quiltgrid::testing::hex;
using quiltgrid::textio::format_fixed;
using quiltgrid::textio::kMaxFixedWidth;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Puts text right-justified in the field, or asterisks when it is longer.
void justify(std::string_view text, int width, char* field) {
  const auto w = static_cast<std::size_t>(width);
  if (text.size() > w) {
    std::memset(field, '*', w);
    return;
  }
  std::memset(field, ' ', w - text.size());
  std::memcpy(field + w - text.size(), text.data(), text.size());
}

// The field the rules give, from a correctly rounded decimal text.
void reference_field(double x, int width, int decimals, char* field) {
  if (std::isnan(x)) return justify("NaN", width, field);
  if (std::isinf(x)) {
    const std::string_view word = x < 0 ? "-Infinity" : "Infinity";
    if (word.size() <= static_cast<std::size_t>(width)) return justify(word, width, field);
    return justify(x < 0 ? "-Inf" : "Inf", width, field);
  }
  // Room for the sign, the optional "0" and the 309 integer digits of
  // DBL_MAX with its decimals.
  char text[2 + 320 + kMaxFixedWidth];
  char* const digits = text + 2;
  const auto [end, error] = std::to_chars(digits, text + sizeof text, std::fabs(x),
                                          std::chars_format::fixed, decimals);
  if (error != std::errc{}) {
    ADD_FAILURE() << "to_chars failed";
    return justify("", width, field);
  }
  char* begin = digits;
  // A magnitude that rounds below 1 has no integer digits of its own.
  const bool below_one = digits[0] == '0';
  if (below_one) ++begin;
  const bool negative = x < 0;  // -0.0 is not less than zero
  const auto needed = static_cast<std::size_t>(end - begin) + (negative ? 1 : 0);
  if (below_one && needed < static_cast<std::size_t>(width)) *--begin = '0';
  if (negative) *--begin = '-';
  justify({begin, static_cast<std::size_t>(end - begin)}, width, field);
}

// Checks values at one width and number of decimals; reports the first
// few disagreements in full and counts the rest.
class FieldChecker {
 public:
  FieldChecker(int width, int decimals) : width_(width), decimals_(decimals) {}

  ~FieldChecker() {
    EXPECT_EQ(mismatches_, 0U) << "of " << checked_ << " values at width " << width_
                               << ", " << decimals_ << " decimals";
  }

  void check(double x) {
    ++checked_;
    constexpr char kGuard = '#';
    char got[kMaxFixedWidth + 1];
    char want[kMaxFixedWidth];
    const auto w = static_cast<std::size_t>(width_);
    got[w] = kGuard;
    const char* const end = format_fixed(x, width_, decimals_, got);
    reference_field(x, width_, decimals_, want);
    if (end == got + width_ && got[w] == kGuard && std::memcmp(got, want, w) == 0) return;
    if (++mismatches_ <= 10) {
      ADD_FAILURE() << "value " << hex(x) << " (" << std::string(want, w) << " expected)"
                    << ": got [" << std::string(got, w) << "]"
                    << (end == got + width_ ? "" : ", wrong end")
                    << (got[w] == kGuard ? "" : ", wrote past the field");
    }
  }

  // The value and its neighbours up to two steps away.
  void check_with_neighbours(double x) {
    double below = x;
    double above = x;
    check(x);
    for (int step = 0; step < 2; ++step) {
      below = std::nextafter(below, -kInf);
      above = std::nextafter(above, kInf);
      check(below);
      check(above);
    }
  }

  std::uint64_t checked() const { return checked_; }

 private:
  int width_;
  int decimals_;
  std::uint64_t checked_ = 0;
  std::uint64_t mismatches_ = 0;
};

double power_of_ten(int n) {
  double p = 1;
  for (int i = 0; i < n; ++i) p *= 10;
  return p;
}

// Every n / 10^d for n in [first, last] with its neighbours, and the points
// halfway between two such numbers with theirs.
void check_decimal_grid(FieldChecker& checker, int decimals, std::int64_t first,
                        std::int64_t last) {
  const double scale = power_of_ten(decimals);
  for (std::int64_t n = first; n <= last; ++n) {
    checker.check_with_neighbours(static_cast<double>(n) / scale);
    checker.check_with_neighbours(static_cast<double>(2 * n + 1) / (2 * scale));
  }
}

// Exact ties at d decimals are the odd multiples of 2^-(d+1): k * 10^d /
// 2^(d+1) = k * 5^d / 2 is an odd number of halves.
void check_exact_ties(FieldChecker& checker, int decimals, std::int64_t first_k,
                      std::int64_t last_k) {
  const double unit = std::ldexp(1.0, -(decimals + 1));
  for (std::int64_t k = first_k | 1; k <= last_k; k += 2) {
    checker.check(static_cast<double>(k) * unit);
  }
}

// Doubles of every exponent: all 64-bit patterns are equally likely, so
// NaNs with payloads, infinities, denormals and huge values all occur.
void check_random_bits(FieldChecker& checker, std::mt19937_64& random, int count) {
  for (int i = 0; i < count; ++i) checker.check(std::bit_cast<double>(random()));
}

void check_random_uniform(FieldChecker& checker, std::mt19937_64& random, double low,
                          double high, int count) {
  std::uniform_real_distribution<double> value(low, high);
  for (int i = 0; i < count; ++i) checker.check(value(random));
}

// Values of every binary exponent from 2^-1074 up to 2^70, each with a
// random mantissa and sign.
void check_every_exponent(FieldChecker& checker, std::mt19937_64& random, int per_exponent) {
  for (int e = -1074; e <= 70; ++e) {
    for (int i = 0; i < per_exponent; ++i) {
      const double mantissa = 1.0 + std::ldexp(static_cast<double>(random() >> 11), -53);
      const double x = std::ldexp(mantissa, e);
      checker.check((random() & 1) != 0 ? -x : x);
    }
  }
}

std::string field(double x, int width = 7, int decimals = 2) {
  std::string text(static_cast<std::size_t>(width), '?');
  format_fixed(x, width, decimals, text.data());
  return text;
}

TEST(FixedPointField, WorkedExamplesAndLimitsOfTheRowField) {
  struct Case {
    double value;
    const char* field;
  };
  const Case cases[] = {
      {12.345, "  12.35"},     // the stored value lies just above 12.345
      {2.675, "   2.67"},      // the stored value lies just below 2.675
      {0.125, "   0.12"},      // exact tie, to even
      {0.375, "   0.38"},      // exact tie, to even
      {-0.004, "  -0.00"},     // the sign comes from the value
      {-0.0, "   0.00"},       // a zero with the sign bit set has none
      {-40, " -40.00"},
      {9999.994, "9999.99"},
      {9999.996, "*******"},
      {-999.996, "*******"},
      {0.005, "   0.01"},      // the stored value lies just above 0.005
      {kNaN, "    NaN"},
      {-kNaN, "    NaN"},
      {kInf, "    Inf"},
      {-kInf, "   -Inf"},
      // The limits of the row field.
      // 9999.995 is stored as 9999.99500000000080...: it rounds to 10000.00.
      {9999.995, "*******"},
      {std::nextafter(9999.995, 0.0), "9999.99"},
      {9999.994999, "9999.99"},
      {9999.99499999999, "9999.99"},
      {9999.99, "9999.99"},
      {10000, "*******"},
      // -999.995 is stored as -999.99500000000000454...: it rounds to -1000.00.
      {-999.995, "*******"},
      {std::nextafter(-999.995, 0.0), "-999.99"},
      {-999.994999, "-999.99"},
      {-999.99, "-999.99"},
      {-1000, "*******"},
      {999.995, "1000.00"},  // stored just above the tie
      {0.0, "   0.00"},
      {-0.005, "  -0.01"},
      {-0.00499999999999999, "  -0.00"},
      {DBL_MIN, "   0.00"},
      {-DBL_MIN, "  -0.00"},
      {DBL_TRUE_MIN, "   0.00"},
      {-DBL_TRUE_MIN, "  -0.00"},
      {DBL_MAX, "*******"},
      {-DBL_MAX, "*******"},
      {std::ldexp(1.0, 53), "*******"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(hex(c.value));
    EXPECT_EQ(field(c.value), c.field);
  }
}

// Other shapes of field: the optional "0", short fields and the wider
// forms of infinity.
TEST(FixedPointField, OtherWidthsByExample) {
  struct Case {
    double value;
    int width;
    int decimals;
    const char* field;
  };
  const Case cases[] = {
      {0.5, 3, 2, ".50"},           // no column left for the "0"
      {-0.5, 4, 2, "-.50"},         // no column left for the "0"
      {0.25, 4, 2, "0.25"},
      {-0.25, 5, 2, "-0.25"},
      {-0.25, 3, 2, "***"},
      {9.96, 4, 1, "10.0"},
      {99.96, 4, 1, "****"},
      {-9.96, 4, 1, "****"},
      {kInf, 8, 2, "Infinity"},
      {-kInf, 8, 2, "    -Inf"},
      {-kInf, 9, 2, "-Infinity"},
      {kInf, 2, 1, "**"},
      {kNaN, 2, 1, "**"},
      {kNaN, 3, 1, "NaN"},
      {0.0005, 10, 3, "     0.001"},   // stored just above the tie
      {0.0625, 10, 3, "     0.062"},   // exact tie, to even
      {123456.123456789, 16, 9, "123456.123456789"},
      {1e6, 16, 9, "****************"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(hex(c.value) + " in " + std::to_string(c.width) + "." +
                 std::to_string(c.decimals));
    EXPECT_EQ(field(c.value, c.width, c.decimals), c.field);
  }
}

TEST(FixedPointField, SpecialAndExtremeValuesMatchTheReference) {
  const double values[] = {0.0,      -0.0,      DBL_MIN,  -DBL_MIN,      DBL_TRUE_MIN,
                           -DBL_TRUE_MIN,       DBL_MAX,  -DBL_MAX,      kNaN,
                           -kNaN,    kInf,      -kInf,    DBL_EPSILON,   -DBL_EPSILON,
                           std::nextafter(DBL_MIN, 0.0),  std::ldexp(1.0, 52),
                           std::ldexp(1.0, 53), std::ldexp(1.0, 63), std::ldexp(1.0, 64)};
  for (const int width : {4, 5, 7, 10, 16}) {
    for (const int decimals : {1, 2, 3, 9}) {
      if (decimals + 1 > width) continue;
      FieldChecker checker(width, decimals);
      for (const double x : values) checker.check(x);
      // Denormals of every bit length.
      for (int e = -1074; e < -1022; ++e) {
        checker.check(std::ldexp(1.0, e));
        checker.check(-std::ldexp(3.0, e));
      }
    }
  }
}

// Every hundredth from -1000.00 to 10000.00, the points halfway between,
// and two steps of the binary grid on each side of all of them.
TEST(FixedPointField, EveryHundredthAndEveryHalfwayPointWithNeighbours) {
  FieldChecker checker(7, 2);
  check_decimal_grid(checker, 2, -100000, 1000000);
  EXPECT_EQ(checker.checked(), 1100001U * 10);
}

TEST(FixedPointField, ExactTiesGoToEven) {
  FieldChecker checker(7, 2);
  // Every odd k/8 from -1000.125 to 10000.125.
  check_exact_ties(checker, 2, -8001, 80001);
}

TEST(FixedPointField, RandomValuesOfTheRowField) {
  std::mt19937_64 random(20240601);
  FieldChecker checker(7, 2);
  // The temperatures a grid holds and beyond both ends of the field.
  check_random_uniform(checker, random, -1200, 12000, 24'000'000);
  check_random_uniform(checker, random, -1, 1, 2'000'000);
  check_random_bits(checker, random, 2'000'000);
  check_every_exponent(checker, random, 1000);
  EXPECT_GT(checker.checked(), 29'000'000U);
}

TEST(FixedPointField, OtherWidthsAndDecimalsMatchTheReference) {
  struct Shape {
    int width;
    int decimals;
  };
  const Shape shapes[] = {{10, 3}, {16, 9}, {4, 1}, {5, 2}};
  std::mt19937_64 random(777);
  for (const Shape shape : shapes) {
    SCOPED_TRACE(std::to_string(shape.width) + "." + std::to_string(shape.decimals));
    FieldChecker checker(shape.width, shape.decimals);
    // Integer digits a positive value may have; a negative one has one less.
    const int room = shape.width - 1 - shape.decimals;
    const double limit = power_of_ten(room);
    check_random_uniform(checker, random, -0.12 * limit, 1.2 * limit, 1'500'000);
    check_random_uniform(checker, random, -1, 1, 200'000);
    check_random_bits(checker, random, 300'000);
    check_every_exponent(checker, random, 100);
    // Around zero, the positive limit and the negative limit.
    const auto units = static_cast<std::int64_t>(limit * power_of_ten(shape.decimals));
    constexpr std::int64_t kWindow = 20000;
    check_decimal_grid(checker, shape.decimals, -kWindow, kWindow);
    check_decimal_grid(checker, shape.decimals, units - kWindow, units + kWindow);
    check_decimal_grid(checker, shape.decimals, -units / 10 - kWindow, -units / 10 + kWindow);
    const auto tie_units = static_cast<std::int64_t>(std::ldexp(limit, shape.decimals + 1));
    check_exact_ties(checker, shape.decimals, -tie_units / 10 - kWindow, -tie_units / 10 + kWindow);
    check_exact_ties(checker, shape.decimals, tie_units - kWindow, tie_units + kWindow);
    check_exact_ties(checker, shape.decimals, -kWindow, kWindow);
    EXPECT_GT(checker.checked(), 2'000'000U);
  }
}

}  // namespace
