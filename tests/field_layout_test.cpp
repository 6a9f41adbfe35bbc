// Field layouts on output (format_fields, write_fields) and on input
// (read_fields from in-memory records and from file units).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "textio/diagnostics.h"
#include "textio/field_layout.h"
#include "textio/units.h"

namespace {

using namespace quiltgrid::textio;
using namespace std::string_literals;
using quiltgrid::testing::read_file;
using quiltgrid::testing::TempDir;
using quiltgrid::testing::write_file;

std::string blanks(std::size_t n) { return std::string(n, ' '); }

// The text padded with blanks on the right to n columns.
std::string padded(std::string text, std::size_t n) {
  text.resize(n, ' ');
  return text;
}

// A text of n characters that shows where each column landed.
std::string columns(std::size_t n) {
  std::string text;
  for (std::size_t i = 0; i < n; ++i) text.push_back(static_cast<char>('A' + i % 26));
  return text;
}

template <std::int32_t N>
std::int32_t count_of() {
  return N;
}

int count_calls = 0;
std::int32_t counted_four() {
  ++count_calls;
  return 4;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// ---------------------------------------------------------------- output

const std::string kBlank256(256, ' ');
const std::string kLine256 = padded("Header line "s + columns(60), 256);
const std::string kText25 = columns(25);
const std::string kText30 = columns(30);
const std::string kText40 = columns(40);

const double kRowOf4[] = {-3.14159, 0.004, 12.5, -0.0};
const double kRowOf5[] = {-12.345, 7, 0.999, -0.001, 1234.5};
const double kRowWithOverflow[] = {1.0, 10000.0, 2.0};
const double kRowOf2[] = {1.0, 2.0};

struct OutputCase {
  const char* name;
  Layout layout;
  std::vector<WriteValue> values;
  CountFunction count;
  std::string expected;
};

TEST(FieldLayoutOutput, RecordsOfTheSevenLayouts) {
  const OutputCase cases[] = {
      {"line layout takes the first 60 columns of LINE", layouts::line, {kLine256}, nullptr,
       kLine256.substr(0, 60)},
      {"line layout with a short value: right-justified, still 60 columns", layouts::line,
       {std::string_view("abc")}, nullptr, blanks(57) + "abc"},
      {"line layout with an all-blank value is 60 columns", layouts::line,
       {std::string_view(kBlank256)}, nullptr, blanks(60)},
      {"line layout with an empty value is 60 columns", layouts::line, {std::string_view()},
       nullptr, blanks(60)},
      {"dimension layout", layouts::dimension, {std::string_view(":xCount"), std::int32_t{120}},
       nullptr, blanks(26) + ":xCount"s + "  120"},
      {"date layout: 37 columns, a month below 10 shows a blank in column 36", layouts::date,
       {std::string_view(kText30), std::int32_t{2025}, std::string_view("/"), std::int32_t{7}},
       nullptr, kText30 + "2025/ 7"},
      {"date layout: integer 123 in width 2 is asterisks", layouts::date,
       {std::string_view(kText30), std::int32_t{2025}, std::string_view("/"), std::int32_t{123}},
       nullptr, kText30 + "2025/**"},
      {"date layout: a text longer than its field gives its first 30", layouts::date,
       {std::string_view(kText40), std::int32_t{2025}, std::string_view("-"), std::int32_t{12}},
       nullptr, kText40.substr(0, 30) + "2025-12"},
      {"date layout: a year of five digits is asterisks", layouts::date,
       {std::string_view(kText30), std::int32_t{20250}, std::string_view("/"), std::int32_t{1}},
       nullptr, kText30 + "****/ 1"},
      {"frame number layout: the skip field leaves 10 blanks", layouts::frame_number,
       {std::int32_t{183}}, nullptr, blanks(10) + "   183"},
      {"frame marker layout: 54 columns", layouts::frame_marker,
       {std::string_view(":Frame"), std::int32_t{183}, std::int32_t{183},
        std::string_view(kText25)},
       nullptr, ":Frame"s + blanks(7) + "183"s + blanks(7) + "183"s + blanks(3) + kText25},
      {"frame marker layout: -5 in width 10", layouts::frame_marker,
       {std::string_view(":Frame"), std::int32_t{-5}, std::int32_t{0}, std::string_view("x")},
       nullptr, ":Frame"s + blanks(8) + "-5"s + blanks(9) + "0"s + blanks(3) + blanks(24) + "x"},
      {"frame marker layout: the extremes of 32 bits in width 10", layouts::frame_marker,
       {std::string_view(":Frame"), std::int32_t{2147483647}, std::int32_t{-2147483647 - 1},
        std::string_view(kText25)},
       nullptr, ":Frame2147483647**********"s + blanks(3) + kText25},
      {"frame marker layout: values end after the integers, the skip is not written",
       layouts::frame_marker,
       {std::string_view(":Frame"), std::int32_t{1}, std::int32_t{2}}, nullptr,
       ":Frame"s + blanks(9) + "1"s + blanks(9) + "2"},
      {"frame marker layout: no values gives an empty record", layouts::frame_marker, {},
       nullptr, ""},
      {"end marker layout: 9 columns", layouts::end_marker, {std::string_view(":EndFrame")},
       nullptr, ":EndFrame"},
      {"row layout, xcount 4", layouts::row, {std::span<const double>(kRowOf4)}, count_of<4>,
       "  -3.14   0.00  12.50   0.00"},
      {"row layout, xcount 5: the last two fields touch", layouts::row,
       {std::span<const double>(kRowOf5)}, count_of<5>, " -12.35   7.00   1.00  -0.001234.50"},
      {"row layout: 10000 is asterisks, its neighbours stay in place", layouts::row,
       {std::span<const double>(kRowWithOverflow)}, count_of<3>, "   1.00*******   2.00"},
      {"row layout, xcount 0: an empty record", layouts::row, {std::span<const double>(kRowOf4)},
       count_of<0>, ""},
      {"row layout, negative xcount: an empty record", layouts::row,
       {std::span<const double>(kRowOf4)}, count_of<-3>, ""},
      {"row layout, no count function: an empty record", layouts::row,
       {std::span<const double>(kRowOf4)}, nullptr, ""},
      {"row layout: fewer values than xcount ends after the last value", layouts::row,
       {std::span<const double>(kRowOf2)}, count_of<4>, "   1.00   2.00"},
      {"row layout: more values than xcount, the extra ones unused", layouts::row,
       {std::span<const double>(kRowOf5)}, count_of<2>, " -12.35   7.00"},
  };
  for (const OutputCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(std::string(format_fields(c.layout, c.values, c.count)), c.expected);
  }
}

// Single fixed-point fields of the row layout (w = 7, d = 2).
TEST(FieldLayoutOutput, FixedPointFieldsOfTheRowLayout) {
  const struct {
    double value;
    const char* expected;
  } cases[] = {
      {12.345, "  12.35"},     // stored just above 12.345
      {2.675, "   2.67"},      // stored just below 2.675
      {0.125, "   0.12"},      // exact tie, to even
      {0.375, "   0.38"},      // exact tie, to even
      {-0.004, "  -0.00"},     // the sign comes from the value
      {-0.0, "   0.00"},       // a zero with the sign bit set has none
      {0.0, "   0.00"},
      {-40.0, " -40.00"},
      {9999.994, "9999.99"},
      {9999.996, "*******"},
      {-999.99, "-999.99"},
      {-999.996, "*******"},
      {10000.0, "*******"},
      {0.5, "   0.50"},
      {kNaN, "    NaN"},
      {-kNaN, "    NaN"},
      {kInf, "    Inf"},
      {-kInf, "   -Inf"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    const double value[] = {c.value};
    const WriteValue values[] = {std::span<const double>(value)};
    EXPECT_EQ(std::string(format_fields(layouts::row, values, count_of<1>)), c.expected);
  }
}

TEST(FieldLayoutOutput, TheCountFunctionIsCalledOncePerRowWrite) {
  const WriteValue values[] = {std::span<const double>(kRowOf4)};
  count_calls = 0;
  EXPECT_EQ(std::string(format_fields(layouts::row, values, counted_four)),
            "  -3.14   0.00  12.50   0.00");
  EXPECT_EQ(count_calls, 1);
  EXPECT_EQ(std::string(format_fields(layouts::row, values, counted_four)).size(), 28U);
  EXPECT_EQ(count_calls, 2);
}

TEST(FieldLayoutOutput, WriteFieldsPutsEachRecordOnTheFileWithItsTerminator) {
  TempDir dir;
  const std::string path = (dir / "merged.r2c").string();
  constexpr int unit = 200;
  ASSERT_EQ(open_unknown(unit, path), kOk);
  const WriteValue line[] = {std::string_view(kLine256)};
  const WriteValue marker[] = {std::string_view(":Frame"), std::int32_t{1}, std::int32_t{1},
                               std::string_view(kText25)};
  const WriteValue row[] = {std::span<const double>(kRowOf4)};
  const WriteValue end[] = {std::string_view(":EndFrame")};
  EXPECT_EQ(write_fields(unit, layouts::line, line), kOk);
  EXPECT_EQ(write_fields(unit, layouts::frame_marker, marker), kOk);
  EXPECT_EQ(write_fields(unit, layouts::row, row, count_of<4>), kOk);
  EXPECT_EQ(write_fields(unit, layouts::row, row, count_of<0>), kOk);
  EXPECT_EQ(write_fields(unit, layouts::end_marker, end), kOk);
  ASSERT_EQ(close_keep(unit), kOk);
  EXPECT_EQ(read_file(path), kLine256.substr(0, 60) + "\r\n"s + ":Frame"s + blanks(9) + "1" +
                                 blanks(9) + "1"s + blanks(3) + kText25 + "\r\n" +
                                 "  -3.14   0.00  12.50   0.00\r\n"s + "\r\n"s + ":EndFrame\r\n");
}

// ----------------------------------------------------------------- input

// Two integer fields of the same width, so that a case shows where the
// second one starts.
struct IntegerCase {
  const char* record;
  int width;
  Status status;
  std::int32_t first;
  std::int32_t second;
};

constexpr std::int32_t kUntouched = 777;

TEST(FieldLayoutInput, IntegerFields) {
  const IntegerCase cases[] = {
      {"  100", 5, kOk, 100, 0},
      {" 1 0 0", 6, kOk, 100, 0},
      {"     ", 5, kOk, 0, 0},
      {"  -  ", 5, kOk, 0, 0},
      {"  +  ", 5, kOk, 0, 0},
      {"1 2", 3, kOk, 12, 0},
      {"- 5", 3, kOk, -5, 0},
      {"+42", 3, kOk, 42, 0},
      {"007", 3, kOk, 7, 0},
      {"12-", 3, error::input_conversion, kUntouched, kUntouched},
      {"1.5", 3, error::input_conversion, kUntouched, kUntouched},
      {"+-1", 3, error::input_conversion, kUntouched, kUntouched},
      {"1+2", 3, error::input_conversion, kUntouched, kUntouched},
      {"\t12", 3, error::input_conversion, kUntouched, kUntouched},
      {"1e2", 3, error::input_conversion, kUntouched, kUntouched},
      // The comma ends the field and is consumed: the next field starts in
      // the column after it.
      {"2,5  ", 3, kOk, 2, 5},
      {",12   ", 3, kOk, 0, 12},
      {" 7,-3,", 3, kOk, 7, -3},
      // A field past the end of the record is shortened, or empty.
      {"", 5, kOk, 0, 0},
      {"   7", 5, kOk, 7, 0},
      {"   42   9", 5, kOk, 42, 9},
      // Targets before the invalid field are filled.
      {"  1  x", 3, error::input_conversion, 1, kUntouched},
      {"2147483647", 10, kOk, 2147483647, 0},
      {"2147483648", 10, error::input_conversion, kUntouched, kUntouched},
      {"-2147483648", 11, kOk, -2147483647 - 1, 0},
      {"-2147483649", 11, error::input_conversion, kUntouched, kUntouched},
      {"99999999999", 11, error::input_conversion, kUntouched, kUntouched},
      {"00000000000000000001", 20, kOk, 1, 0},
  };
  for (const IntegerCase& c : cases) {
    SCOPED_TRACE(std::string("[") + c.record + "] in width "s + std::to_string(c.width));
    const FieldDescriptor layout[] = {{FieldKind::integer, 2, c.width}};
    std::int32_t first = kUntouched;
    std::int32_t second = kUntouched;
    const ReadTarget targets[] = {&first, &second};
    const std::string record = c.record;
    EXPECT_EQ(read_fields(std::span<const char>(record), layout, targets), c.status);
    EXPECT_EQ(first, c.first);
    EXPECT_EQ(second, c.second);
  }
}

// A target of kInteger is a 4-byte integer; any other length is a text.
constexpr std::size_t kInteger = 0;

struct InMemoryCase {
  const char* name;
  Layout layout;
  std::string record;
  std::vector<std::size_t> targets;
  std::vector<std::string> expected;  // texts as stored, integers in decimal
};

TEST(FieldLayoutInput, InMemoryRecords) {
  const std::string header = padded(":xCount", 33) + "  120"s + blanks(218);
  const std::string frame = kText30 + "2025/07/01 00:00"s + blanks(210);
  const std::string frame_head = ":Frame"s + blanks(7) + "183"s + blanks(14);
  const InMemoryCase cases[] = {
      {"text target shorter than the field: the rightmost characters (30 from 33)",
       layouts::dimension, columns(33) + "  120", {30, kInteger}, {columns(33).substr(3), "120"}},
      {"dimension layout on LINE", layouts::dimension, header, {33, kInteger},
       {padded(":xCount", 33), "120"}},
      {"text target as long as the field", layouts::dimension, columns(33) + "   -7",
       {33, kInteger}, {columns(33), "-7"}},
      {"text target longer than the field: the field then blanks", layouts::dimension,
       columns(33) + "    5", {40, kInteger}, {columns(33) + blanks(7), "5"}},
      {"any character is accepted in a text field", layouts::end_marker, "\t\"'*,/ \r\x01",
       {9}, {"\t\"'*,/ \r\x01"}},
      {"date layout on FRAME", layouts::date, frame, {30, kInteger, 1, kInteger},
       {kText30, "2025", "/", "7"}},
      {"frame number layout on FRAMEHEAD: the skip field passes over 10 columns",
       layouts::frame_number, frame_head, {kInteger}, {"183"}},
      {"an 11-character record into LINE: 11 characters and 245 blanks", layouts::line,
       ":FileType r", {256}, {":FileType r"s + blanks(245)}},
      {"the line layout takes 60 columns of a longer record", layouts::line, columns(80),
       {256}, {columns(60) + blanks(196)}},
      {"a text field past the end of the record gives blanks", layouts::dimension, "short",
       {30, kInteger}, {padded("short", 30), "0"}},
      {"the read stops when the targets are used up", layouts::date, kText30 + "x",
       {30}, {kText30}},
  };
  for (const InMemoryCase& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.targets.size(), c.expected.size());
    std::vector<std::string> texts;
    std::vector<std::int32_t> integers(c.targets.size(), kUntouched);
    texts.reserve(c.targets.size());
    std::vector<ReadTarget> targets;
    for (std::size_t i = 0; i < c.targets.size(); ++i) {
      texts.emplace_back(c.targets[i], '?');
      if (c.targets[i] == kInteger) {
        targets.emplace_back(&integers[i]);
      } else {
        targets.emplace_back(std::span<char>(texts[i]));
      }
    }
    const std::string before = c.record;
    EXPECT_EQ(read_fields(std::span<const char>(c.record), c.layout, targets), kOk);
    EXPECT_EQ(c.record, before);  // an in-memory record is never changed by a read
    for (std::size_t i = 0; i < c.targets.size(); ++i) {
      SCOPED_TRACE("target "s + std::to_string(i + 1));
      EXPECT_EQ(c.targets[i] == kInteger ? std::to_string(integers[i]) : texts[i],
                c.expected[i]);
    }
  }
}

TEST(FieldLayoutInput, AnInvalidIntegerOfAnInMemoryRecordNamesUnitMinus5) {
  const std::string record = padded(":yCount", 33) + "  1.5";
  std::string text(33, '?');
  std::int32_t count = kUntouched;
  const ReadTarget targets[] = {std::span<char>(text), &count};
  const Status status = read_fields(std::span<const char>(record), layouts::dimension, targets);
  ASSERT_EQ(status, error::input_conversion);
  EXPECT_EQ(text, padded(":yCount", 33));
  EXPECT_EQ(count, kUntouched);
  EXPECT_EXIT(require(status), ::testing::ExitedWithCode(64),
              "^quiltgrid: severe \\(64\\): input conversion error, unit -5, "
              "file Internal Formatted Read\n$");
}

class FieldLayoutFileInput : public ::testing::Test {
 protected:
  static constexpr int kUnit = 100;
  void TearDown() override { close_every_unit(); }

  void open_with(const std::string& bytes) {
    path_ = (dir_ / "input.r2c").string();
    write_file(path_, bytes);
    ASSERT_EQ(open_unknown(kUnit, path_), kOk);
  }

  // One line-layout read into a 256-character LINE.
  Status read_line(std::string& line) {
    line.assign(256, '?');
    const ReadTarget targets[] = {std::span<char>(line)};
    return read_fields(kUnit, layouts::line, targets);
  }

  TempDir dir_;
  std::string path_;
};

TEST_F(FieldLayoutFileInput, LineLayoutReadsOneRecordEach) {
  open_with(":FileType r\r\n"s + columns(80) + "\r\n"s + "skipped whatever it holds\r\n" +
            "\r\n"s + "last, with no terminator");
  std::string line;
  ASSERT_EQ(read_line(line), kOk);
  EXPECT_EQ(line, ":FileType r"s + blanks(245));
  // Columns 61 to 80 are dropped; the next read starts at the next record.
  ASSERT_EQ(read_line(line), kOk);
  EXPECT_EQ(line, columns(60) + blanks(196));
  // A read with no targets passes over exactly one record.
  EXPECT_EQ(read_fields(kUnit, layouts::line, {}), kOk);
  ASSERT_EQ(read_line(line), kOk);
  EXPECT_EQ(line, blanks(256));
  ASSERT_EQ(read_line(line), kOk);
  EXPECT_EQ(line, padded("last, with no terminator", 256));
  EXPECT_EQ(read_line(line), kEndOfFile);
  EXPECT_TRUE(at_end_of_file(kUnit));
}

TEST_F(FieldLayoutFileInput, AnInvalidIntegerOfAFileRecordNamesTheFile) {
  open_with(padded(":xCount", 33) + "  12x\n");
  std::string text(33, '?');
  std::int32_t count = kUntouched;
  const ReadTarget targets[] = {std::span<char>(text), &count};
  const Status status = read_fields(kUnit, layouts::dimension, targets);
  ASSERT_EQ(status, error::input_conversion);
  EXPECT_EQ(count, kUntouched);
  EXPECT_EXIT(require(status), ::testing::ExitedWithCode(64),
              "^quiltgrid: severe \\(64\\): input conversion error, unit 100, file .*/input\\.r2c\n$");
}

}  // namespace
