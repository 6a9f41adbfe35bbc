// Free-form reads of numbers and texts from real files.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "textio/diagnostics.h"
#include "textio/free_form_reader.h"
#include "textio/units.h"

namespace {

using namespace quiltgrid::textio;
using namespace std::string_literals;
using quiltgrid::testing::TempDir;
using quiltgrid::testing::write_file;

constexpr double kUnchanged = -777.0;  // what every item holds before a read
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// What the next read of one text item gives when the file has ended.
constexpr const char* kEnd = "<end of file>";

std::string blanks(std::size_t n) { return std::string(n, ' '); }

std::string padded(std::string text, std::size_t n) {
  text.resize(n, ' ');
  return text;
}

// Equal as values: NaN matches NaN, and the sign of a zero counts.
bool same_value(double actual, double expected) {
  if (std::isnan(expected)) return std::isnan(actual);
  return std::bit_cast<std::uint64_t>(actual) == std::bit_cast<std::uint64_t>(expected);
}

std::string shown(const std::vector<double>& values) {
  std::string out;
  for (const double v : values) out += std::to_string(v) + (std::signbit(v) ? "(-) " : " ");
  return out;
}

// The file with 16 blanks at the end of every record.
std::string with_trailing_blanks(const std::string& file) {
  std::string out;
  for (const char c : file) {
    if (c == '\n') out += blanks(16);
    out.push_back(c);
  }
  if (!file.empty() && file.back() != '\n') out += blanks(16);
  return out;
}

class FreeFormReaderTest : public ::testing::Test {
 protected:
  static constexpr int kUnit = 300;

  void TearDown() override { close_every_unit(); }

  // Connects the unit to a fresh file holding the bytes.
  void open_with(const std::string& bytes) {
    close_keep(kUnit);
    path_ = (dir_ / "input.txt").string();
    write_file(path_, bytes);
    ASSERT_EQ(open_unknown(kUnit, path_), kOk);
  }

  // The value that one more read of a text item finds: the first word of
  // the record where the previous read left the unit.
  std::string next_read() {
    std::string item(32, '?');
    const Status status = read_text(kUnit, item);
    if (status == kEndOfFile) return kEnd;
    if (status != kOk) return "<status "s + std::to_string(status) + ">";
    return item.substr(0, item.find_last_not_of(' ') + 1);
  }

  TempDir dir_;
  std::string path_;
};

struct NumberCase {
  const char* name;
  std::string file;
  std::size_t items;
  Status status;
  std::vector<double> expected;
  std::string next;  // the first word the following read finds
};

TEST_F(FreeFormReaderTest, NumberReads) {
  const double U = kUnchanged;
  const NumberCase cases[] = {
      // Values over records, and where the next read starts.
      {"two records fill three items", "1.0 2.0\n3.0\nnext\n", 3, kOk, {1, 2, 3}, "next"},
      {"the rest of the last record is passed over", "1 2 3 4 rest\nnext\n", 2, kOk, {1, 2},
       "next"},
      {"empty and blank records are passed over while a value is looked for",
       "\n   \n\t\n\r\n7\nnext\n", 1, kOk, {7}, "next"},
      {"a last record without a line feed", "1 2", 2, kOk, {1, 2}, kEnd},
      {"a last record with two numbers for three items", "1 2\n", 3, kEndOfFile, {1, 2, U}, kEnd},
      {"a read with no items uses up one record", "1 2 3\nnext\n", 0, kOk, {}, "next"},
      {"a read with no items at the end of the file", "", 0, kEndOfFile, {}, kEnd},
      {"a read at the end of the file", "", 2, kEndOfFile, {U, U}, kEnd},
      {"only blank records left", "  \n\n", 1, kEndOfFile, {U}, kEnd},
      // Separators.
      {"tabs separate", "1.0\t2.0\t\t3", 3, kOk, {1, 2, 3}, kEnd},
      {"a carriage return right after a number separates", "1.0\r2.0\r\n3\n", 3, kOk,
       {1, 2, 3}, kEnd},
      {"carriage returns before the line feed", "1 2\r\r\r\nnext\r\n", 2, kOk, {1, 2}, "next"},
      {"blanks around commas", "1 , 2 ,3", 3, kOk, {1, 2, 3}, kEnd},
      // Commas and null values.
      {"two commas: a null value between", "1,,3\nnext", 3, kOk, {1, U, 3}, "next"},
      {"blanks between two commas", "1 , , 3", 3, kOk, {1, U, 3}, kEnd},
      {"a comma before any value is a null value", ",2", 2, kOk, {U, 2}, kEnd},
      {"commas only", ", ,", 2, kOk, {U, U}, kEnd},
      {"a comma at the end of a record separates the value before it", "1,\n2", 2, kOk, {1, 2},
       kEnd},
      {"a comma at the start of the next record separates the value before it", "1\n,2", 2, kOk,
       {1, 2}, kEnd},
      {"a comma at each side of a record end: a null value", "1,\n,3", 3, kOk, {1, U, 3}, kEnd},
      {"two commas then a value on the next record", "1,,\n4", 3, kOk, {1, U, 4}, kEnd},
      {"a trailing comma then the end of the file", "1,", 2, kEndOfFile, {1, U}, kEnd},
      // Repeat forms.
      {"3*2.5 fills three items", "3*2.5\nnext", 3, kOk, {2.5, 2.5, 2.5}, "next"},
      {"2* and a blank: two null values", "2* 7", 3, kOk, {U, U, 7}, kEnd},
      {"2* and a comma: the comma goes with the null values", "2*,5", 3, kOk, {U, U, 5}, kEnd},
      {"2* at the end of the record", "2*\n5", 3, kOk, {U, U, 5}, kEnd},
      {"2* and a tab", "2*\t5", 3, kOk, {U, U, 5}, kEnd},
      {"copies left over are passed over with the record", "3*1.5\nnext", 2, kOk, {1.5, 1.5},
       "next"},
      {"a repeat among values", "1 2*-4e1 3", 4, kOk, {1, -40, -40, 3}, kEnd},
      {"a repeat of a special value", "2*nan", 2, kOk, {kNaN, kNaN}, kEnd},
      {"the largest repeat count", "4294967295*1", 1, kOk, {1}, kEnd},
      {"a repeat count of 0", "0*5\nnext", 1, error::repeat_count_zero, {U}, "next"},
      {"a repeat count with a minus sign", "-2*5\nnext", 1, error::repeat_count_signed, {U},
       "next"},
      {"a repeat count of minus 0", "-0*5", 1, error::repeat_count_signed, {U}, kEnd},
      {"a repeat count with a plus sign", "+2*5", 1, error::input_conversion, {U}, kEnd},
      {"a repeat count with a full stop", "2.5*1", 1, error::input_conversion, {U}, kEnd},
      {"a repeat count with an exponent", "1e1*1", 1, error::input_conversion, {U}, kEnd},
      {"a repeat count beyond 32 bits", "99999999999*1", 1, error::input_conversion, {U}, kEnd},
      {"a repeat count one beyond 32 bits", "4294967296*1", 1, error::input_conversion, {U},
       kEnd},
      {"a repeated value followed by a letter", "2*5x", 1, error::free_form_syntax, {U}, kEnd},
      {"a repeated value that is a repeat form again", "2*3*4", 1, error::free_form_syntax, {U},
       kEnd},
      // The slash.
      {"a slash ends the read", "1 2 / 9\nnext", 4, kOk, {1, 2, U, U}, "next"},
      {"a slash right after a number", "1/ 9", 3, kOk, {1, U, U}, kEnd},
      {"a slash first", "/ 1", 2, kOk, {U, U}, kEnd},
      {"a slash after a pending null repeat", "2*,/ 3", 3, kOk, {U, U, U}, kEnd},
      // Number tokens.
      {"exponent letters and the letterless exponent", "1.5E3 1.5D3 1.5q3 1.5+3 1500", 5, kOk,
       {1500, 1500, 1500, 1500, 1500}, kEnd},
      {"exponent letters in lower case, signed exponents", "15e2 1.5d+3 15000Q-1 150000-2", 4,
       kOk, {1500, 1500, 1500, 1500}, kEnd},
      {"a single digit, a point on either side, a signed exponent", "5 -.5E+2 5. +.5", 4, kOk,
       {5, -50, 5, 0.5}, kEnd},
      {"zeros keep their sign", "0 -0 -0.0e5 +0.", 4, kOk, {0.0, -0.0, -0.0, 0.0}, kEnd},
      {"an exponent letter without digits reads as exponent 0", "1E 2.5d -3q", 3, kOk,
       {1, 2.5, -3}, kEnd},
      {"a number may end at a closing parenthesis", "4)", 1, kOk, {4}, kEnd},
      {"infinity and not-a-number in any case", "INF inf Infinity -inf +INFINITY iNfInItY", 6,
       kOk, {kInf, kInf, kInf, -kInf, kInf, kInf}, kEnd},
      {"not-a-number with its parenthesised part", "NAN nan NaN(abc_1) -nan() nan(X9)", 5, kOk,
       {kNaN, kNaN, kNaN, kNaN, kNaN}, kEnd},
      {"long mantissas, correctly rounded",
       "0.1000000000000000055511151231257827 123456789012345678901234567890 "
       "0.0000000000000000000001",
       3, kOk, {0.1, 123456789012345678901234567890.0, 1e-22}, kEnd},
      {"seven digits on either side of the point",
       "1234567.1234567 -7654321.7654321 .0000001 9999999. -0.0000000 +0012.5", 6, kOk,
       {1234567.1234567, -7654321.7654321, 1e-7, 9999999.0, -0.0, 12.5}, kEnd},
      {"eight digits on either side of the point",
       "12345678.12345678 -87654321 0.99999999 100000000.5", 4, kOk,
       {12345678.12345678, -87654321.0, 0.99999999, 100000000.5}, kEnd},
      {"around 2^53: exact below, ties to even above", "9007199254740991 9007199254740993 -2.5",
       3, kOk, {9007199254740991.0, 9007199254740992.0, -2.5}, kEnd},
      {"beyond the range of a double", "1e400\nnext", 1, error::input_conversion, {U}, "next"},
      {"beyond the range of a double, negative", "-1.8e308", 1, error::input_conversion, {U},
       kEnd},
      {"too small for a double: zeros of their sign", "1e-400 -1e-400 2.5e-99999", 3, kOk,
       {0.0, -0.0, 0.0}, kEnd},
      {"the smallest and largest doubles", "4.9406564584124654e-324 1.7976931348623157e308", 2,
       kOk, {std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::max()},
       kEnd},
      // Tokens that are not numbers.
      {"a number followed by the letter x", "1x 2", 2, error::free_form_syntax, {U, U}, kEnd},
      {"a number followed by a byte above 127", "2.5\xe9 1", 1, error::free_form_syntax, {U},
       kEnd},
      {"a number followed by a colon", "25: 1", 1, error::free_form_syntax, {U}, kEnd},
      {"a number followed by a semicolon", "1;\nnext", 1, error::free_form_syntax, {U}, "next"},
      {"a lone full stop", ".", 1, error::free_form_syntax, {U}, kEnd},
      {"a lone minus sign", "-", 1, error::free_form_syntax, {U}, kEnd},
      {"a lone plus sign", "+ 1", 1, error::free_form_syntax, {U}, kEnd},
      {"an exponent sign with no digits", "1e+", 1, error::free_form_syntax, {U}, kEnd},
      {"a letterless exponent sign with no digits", "1.5-", 1, error::free_form_syntax, {U},
       kEnd},
      {"two full stops", "1.2.3", 1, error::free_form_syntax, {U}, kEnd},
      {"an exponent with no mantissa", "E5", 1, error::free_form_syntax, {U}, kEnd},
      {"a hexadecimal form", "0x1p3", 1, error::free_form_syntax, {U}, kEnd},
      {"a logical constant", "T", 1, error::free_form_syntax, {U}, kEnd},
      {"a logical constant between full stops", ".F.", 1, error::free_form_syntax, {U}, kEnd},
      {"a quoted text", "'1.0'", 1, error::free_form_syntax, {U}, kEnd},
      {"a word after infinity", "infinite", 1, error::free_form_syntax, {U}, kEnd},
      {"an unclosed parenthesised part", "nan(abc", 1, error::free_form_syntax, {U}, kEnd},
      {"a bad character in the parenthesised part", "nan(a-b)", 1, error::free_form_syntax, {U},
       kEnd},
      {"the end marker where a number is expected", "1 2\n:EndFrame\nnext", 3,
       error::free_form_syntax, {1, 2, U}, "next"},
      // Where reading resumes after a failure.
      {"a failure passes over the rest of its record", "1 x 3\nnext", 3, error::free_form_syntax,
       {1, U, U}, "next"},
      {"a failure on a later record", "1\n2 x 3\nnext", 3, error::free_form_syntax, {1, 2, U},
       "next"},
  };
  // Each case also runs with 16 trailing blanks on every record: trailing
  // blanks change no value, and a token with that much record after it
  // takes the reader's path for long records.
  for (const bool padded_records : {false, true}) {
    for (const NumberCase& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (padded_records ? ", records padded" : ""));
      open_with(padded_records ? with_trailing_blanks(c.file) : c.file);
      std::vector<double> items(c.items, kUnchanged);
      EXPECT_EQ(read_numbers(kUnit, items), c.status);
      ASSERT_EQ(items.size(), c.expected.size());
      bool all_same = true;
      for (std::size_t i = 0; i < items.size(); ++i) {
        all_same &= same_value(items[i], c.expected[i]);
      }
      EXPECT_TRUE(all_same) << "read " << shown(items) << "\nexpected " << shown(c.expected);
      EXPECT_EQ(next_read(), c.next);
    }
  }
}

struct TextCase {
  const char* name;
  std::string file;
  std::size_t length;
  Status status;
  std::string expected;  // the whole item
  std::string next;
};

TEST_F(FreeFormReaderTest, TextReads) {
  const std::string untouched(10, '?');
  const std::string a2049(2049, 'a');
  const TextCase cases[] = {
      {"40 number signs into 256 characters", std::string(40, '#') + "\nnext", 256, kOk,
       std::string(40, '#') + blanks(216), "next"},
      {"an undelimited text ends at the first blank", "Name of grid  : x\nnext", 256, kOk,
       padded("Name", 256), "next"},
      {"an empty record is passed over", "\n  abc\nnext", 10, kOk, padded("abc", 10), "next"},
      {"a value longer than the item gives its first characters", "abcdefghijkl", 5, kOk, "abcde",
       kEnd},
      {"a value as long as the item", "abcde", 5, kOk, "abcde", kEnd},
      {"an undelimited text ends at a comma", "ab,cd", 10, kOk, padded("ab", 10), kEnd},
      {"an undelimited text ends at a slash", "ab/cd", 10, kOk, padded("ab", 10), kEnd},
      {"an undelimited text ends at a tab", "ab\tcd", 10, kOk, padded("ab", 10), kEnd},
      {"an undelimited text ends at a carriage return", "ab\rcd\r\n", 10, kOk, padded("ab", 10),
       kEnd},
      {"an undelimited text ends at byte 0", std::string("ab\0cd", 5), 10, kOk, padded("ab", 10),
       kEnd},
      {"an undelimited text holds quotes, colons and asterisks", "a'b:c\"d*e", 10, kOk,
       padded("a'b:c\"d*e", 10), kEnd},
      {"an undelimited text does not continue over records", "abc\ndef", 10, kOk,
       padded("abc", 10), "def"},
      {"a number read as a text", "-1.5e3 x", 10, kOk, padded("-1.5e3", 10), kEnd},
      {"a doubled apostrophe inside apostrophes", "'it''s'", 10, kOk, "it's"s + blanks(6), kEnd},
      {"doubled quotation marks inside quotation marks", "\"say \"\"hi\"\"\" x", 12, kOk,
       padded("say \"hi\"", 12), kEnd},
      {"the other quote inside a quoted text", "'a\"b' \"c'd\"", 10, kOk, padded("a\"b", 10),
       kEnd},
      {"a quoted text keeps blanks, commas and slashes", "' a, b / c '", 12, kOk,
       padded(" a, b / c ", 12), kEnd},
      {"an empty quoted text", "'' x", 4, kOk, blanks(4), kEnd},
      {"a quoted text continued over records", "'abc\ndef' x\nnext", 10, kOk,
       padded("abcdef", 10), "next"},
      {"a quoted text continued over an empty record", "'ab\n\ncd'", 10, kOk, padded("abcd", 10),
       kEnd},
      {"a quoted text cut off by the end of the file", "'abc\ndef\n", 10, error::free_form_syntax,
       untouched, kEnd},
      {"a quoted text closed by a quote of the other kind only", "'abc\"", 10,
       error::free_form_syntax, untouched, kEnd},
      {"2049 characters undelimited", a2049 + "\nnext", 2100, kOk, a2049 + blanks(51), "next"},
      {"2050 characters undelimited", a2049 + "b\nnext", 2100, error::free_form_syntax,
       std::string(2100, '?'), "next"},
      {"2049 characters quoted", "'"s + a2049 + "'\nnext", 2049, kOk, a2049, "next"},
      {"2050 characters quoted", "'"s + a2049 + "b'\nnext", 2049, error::free_form_syntax,
       std::string(2049, '?'), "next"},
      {"2049 characters quoted over records", "'"s + a2049.substr(0, 49) + "\n" +
                                                  a2049.substr(49) + "'",
       2049, kOk, a2049, kEnd},
      {"2050 characters quoted over records",
       "'"s + a2049.substr(0, 50) + "\n"s + a2049.substr(49) + "'\nnext", 2049,
       error::free_form_syntax, std::string(2049, '?'), "next"},
      {"2049 characters quoted with a doubled quote", "'"s + a2049.substr(1) + "'''\nnext", 2049,
       kOk, a2049.substr(1) + "'", "next"},
      {"a null value leaves the item", ",abc", 10, kOk, untouched, kEnd},
      {"a slash leaves the item", "/abc", 10, kOk, untouched, kEnd},
      {"a repeat of a text", "3*ab", 10, kOk, padded("ab", 10), kEnd},
      {"a repeat of a quoted text", "2*'a b'", 10, kOk, padded("a b", 10), kEnd},
      {"a repeat of null values", "2* ab", 10, kOk, untouched, kEnd},
      {"a repeat count of 0 for a text", "0*ab\nnext", 10, error::repeat_count_zero, untouched,
       "next"},
      {"a signed count is no repeat count for a text", "-2*ab", 10, kOk, padded("-2*ab", 10),
       kEnd},
      {"a text item at the end of the file", "", 10, kEndOfFile, untouched, kEnd},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.name);
    open_with(c.file);
    std::string item(c.length, '?');
    EXPECT_EQ(read_text(kUnit, item), c.status);
    EXPECT_EQ(item, c.expected);
    EXPECT_EQ(next_read(), c.next);
  }
}

// The steps one by one, as the grid rows use them: one read of xcount
// numbers per row, with a status code per step.
TEST_F(FreeFormReaderTest, StepByStepReadsOfRows) {
  open_with("1 2 3 4\n5 6\n7\n-1.5,2*0.25\n8\n:EndFrame\n9\n");
  constexpr std::size_t kColumns = 3;
  struct Row {
    Status status;
    std::vector<double> values;
  };
  const double U = kUnchanged;
  const Row rows[] = {
      {kOk, {1, 2, 3}},  // the 4 is passed over
      {kOk, {5, 6, 7}},  // the row takes its missing value from the next record
      {kOk, {-1.5, 0.25, 0.25}},
      {error::free_form_syntax, {8, U, U}},  // the end marker is no number
      {kEndOfFile, {9, U, U}},               // the record after the failure, then the end
  };
  FreeFormReader reader;
  for (std::size_t r = 0; r < std::size(rows); ++r) {
    SCOPED_TRACE("row "s + std::to_string(r + 1));
    std::vector<double> row(kColumns, kUnchanged);
    Status status = reader.begin(kUnit);
    for (std::size_t i = 0; status == kOk && i < row.size(); ++i) status = reader.item(row[i]);
    // After a failing step the read is over: no end step.
    if (status == kOk) reader.end();
    EXPECT_EQ(status, rows[r].status);
    for (std::size_t i = 0; i < kColumns; ++i) {
      EXPECT_TRUE(same_value(row[i], rows[r].values[i])) << "item " << i << ": " << row[i];
    }
  }
  EXPECT_TRUE(at_end_of_file(kUnit));
  EXPECT_EQ(reader.begin(kUnit), kEndOfFile);
}

TEST_F(FreeFormReaderTest, TextsAndNumbersInOneRead) {
  open_with("grid 2*ab, 'c d' 1.5 2*\n3\nnext\n");
  FreeFormReader reader;
  std::string word(6, '?');
  std::string first(4, '?');
  std::string second(4, '?');
  std::string third(4, '?');
  double numbers[] = {kUnchanged, kUnchanged, kUnchanged, kUnchanged};
  ASSERT_EQ(reader.begin(kUnit), kOk);
  EXPECT_EQ(reader.item(std::span<char>(word)), kOk);
  EXPECT_EQ(reader.item(std::span<char>(first)), kOk);
  EXPECT_EQ(reader.item(std::span<char>(second)), kOk);
  EXPECT_EQ(reader.item(std::span<char>(third)), kOk);
  for (double& n : numbers) EXPECT_EQ(reader.item(n), kOk);
  reader.end();
  EXPECT_EQ(word, "grid  ");
  EXPECT_EQ(first, "ab  ");
  EXPECT_EQ(second, "ab  ");
  EXPECT_EQ(third, "c d ");
  EXPECT_EQ(numbers[0], 1.5);
  EXPECT_EQ(numbers[1], kUnchanged);
  EXPECT_EQ(numbers[2], kUnchanged);
  EXPECT_EQ(numbers[3], 3.0);
  EXPECT_EQ(next_read(), "next");
}

// The failure a read notes is the one a run that asks for no status code
// ends with: its number, unit and file.
TEST_F(FreeFormReaderTest, FailuresEndARunWithTheirDiagnostic) {
  const struct {
    const char* file;
    Status status;
    int exit_status;
    std::string message;
  } cases[] = {
      {"1 x", error::free_form_syntax, 59, "syntax error in free-form input, unit 300, file "},
      {"1e999", error::input_conversion, 64, "input conversion error, unit 300, file "},
      {"-2*1", error::repeat_count_signed, 494, "Input repeat count not unsigned integer"},
      {"0*1", error::repeat_count_zero, 495, "Input repeat count of zero is an error"},
      {"1", kEndOfFile, 24, "end-of-file during read, unit 300, file "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    open_with(c.file);
    double items[2] = {};
    const Status status = read_numbers(kUnit, items);
    ASSERT_EQ(status, c.status);
    const bool names_file = c.message.ends_with("file ");
    // Exit statuses are taken modulo 256 by the system.
    EXPECT_EXIT(require(status), ::testing::ExitedWithCode(c.exit_status % 256),
                "^quiltgrid: severe \\("s + std::to_string(c.exit_status) + "\\): "s + c.message +
                    (names_file ? ".*/input\\.txt" : "") + "\n$");
  }
}

}  // namespace
