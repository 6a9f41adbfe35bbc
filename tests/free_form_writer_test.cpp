// Free-form output: the records a list of items makes, and their bytes on
// a file.

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "textio/free_form_writer.h"
#include "textio/units.h"

namespace {

using namespace quiltgrid::textio;
using namespace std::string_literals;
using quiltgrid::testing::read_file;
using quiltgrid::testing::TempDir;

std::string blanks(std::size_t n) { return std::string(n, ' '); }

// A text of n characters that shows where each piece ended up.
std::string letters(std::size_t n, char first = 'a') {
  std::string text;
  for (std::size_t i = 0; i < n; ++i) text.push_back(static_cast<char>(first + static_cast<char>(i % 26)));
  return text;
}

// An integer item's 12 columns.
std::string field(const std::string& digits) { return blanks(12 - digits.size()) + digits; }

// Texts that the items below point into; they live as long as the tests.
const std::string kWord60 = "gridValues"s + blanks(50);
const std::string k55 = letters(55);
const std::string k60 = letters(60);
const std::string k66 = letters(66);
const std::string k67 = letters(67);
const std::string k70 = letters(70);
const std::string k79 = letters(79);
const std::string k80 = letters(80);
const std::string k100 = letters(100);
const std::string k170 = letters(170);
const std::string k10 = letters(10, 'A');
const std::string k12 = letters(12, 'A');
const std::string k20 = letters(20, 'A');

struct Case {
  const char* name;
  std::initializer_list<FreeFormItem> items;
  std::vector<std::string> records;
};

TEST(FreeFormWriter, RecordsOfTheItems) {
  const Case cases[] = {
      {"no items: one blank", {}, {" "}},
      {"a text stands in column 2", {"T"}, {" T"}},
      {"texts side by side", {"ab", "c", "de"}, {" abcde"}},
      {"a text keeps its trailing blanks", {"ab  "}, {" ab  "}},
      {"frameNo = and 5: 23 columns", {"frameNo = ", 5}, {" frameNo = "s + field("5")}},
      {"yyyy,mm and 2025, 6: 33 columns", {"yyyy,mm ", 2025, 6},
       {" yyyy,mm "s + field("2025") + field("6")}},
      {"a single integer: 12 columns, the first blank", {5}, {field("5")}},
      {"-5 in 12 columns", {-5}, {blanks(10) + "-5"}},
      {"0 in 12 columns", {0}, {blanks(11) + "0"}},
      {"the extremes of 32 bits", {2147483647, -2147483647 - 1},
       {field("2147483647") + field("-2147483648")}},
      {"an integer then a text: one blank between", {7, "ab"}, {field("7") + " ab"}},
      {"a text then an integer: none", {"ab", 7}, {" ab"s + field("7")}},
      {"text, integer, integer, text", {"T", 1, 2, "U"}, {" T"s + field("1") + field("2") + " U"}},
      {"a 60-column text of a word and blanks: 61 columns", {kWord60}, {" "s + kWord60}},
      // Overflow past 80 columns.
      {"the seventh integer goes to column 1 of a new record", {1, 2, 3, 4, 5, 6, 7},
       {field("1") + field("2") + field("3") + field("4") + field("5") + field("6"),
        field("7")}},
      {"an integer that fits in exactly the 12 columns left", {k67, 9},
       {" "s + k67 + field("9")}},
      {"an integer with 11 columns left goes to a new record", {k67, "x", 9},
       {" "s + k67 + "x", field("9")}},
      {"an integer after a full record", {k79, 5}, {" "s + k79, field("5")}},
      {"a text of 79 fills the record", {k79}, {" "s + k79}},
      {"a text after a text that does not fit goes to column 2 of a new record", {k70, k20},
       {" "s + k70, " "s + k20}},
      {"a text after an integer that does not fit: the separating blank stays",
       {k60, 1, k10}, {" "s + k60 + field("1") + " ", " "s + k10}},
      {"a text after an integer on a full record", {k55, 1, 2, k10},
       {" "s + k55 + field("1") + field("2"), " "s + k10}},
      {"a text that fits only without its separating blank is split",
       {k55, 1, k12}, {" "s + k55 + field("1") + " "s + k12.substr(0, 11), " "s + k12.substr(11)}},
      {"one column left: the separating blank ends the record", {k66, 1, "z"},
       {" "s + k66 + field("1") + " ", " z"}},
      {"a text of 80 at the start is split after its leading blank", {k80},
       {" "s + k80.substr(0, 79), " "s + k80.substr(79)}},
      {"a text longer than 80 at the start", {k100},
       {" "s + k100.substr(0, 79), " "s + k100.substr(79)}},
      {"a text longer than 80 after another text", {"ab", k170},
       {" ab", " "s + k170.substr(0, 79), " "s + k170.substr(79, 79), " "s + k170.substr(158)}},
      {"items after a split go on in the last record", {k100, 3, "end"},
       {" "s + k100.substr(0, 79), " "s + k100.substr(79) + field("3") + " end"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::string> records = format_free_form(c.items);
    EXPECT_EQ(records, c.records);
    for (const std::string& record : records) EXPECT_LE(record.size(), kFreeFormColumns);
  }
}

TEST(FreeFormWriter, WritesEachRecordWithItsTerminator) {
  TempDir dir;
  const std::string path = (dir / "runReport.txt").string();
  constexpr int unit = 99;
  ASSERT_EQ(open_unknown(unit, path), kOk);
  EXPECT_EQ(write_free_form(unit, {"frameNo = ", 5}), kOk);
  EXPECT_EQ(write_free_form(unit, {}), kOk);
  EXPECT_EQ(write_free_form(unit, {k100, 3}), kOk);
  ASSERT_EQ(close_keep(unit), kOk);
  EXPECT_EQ(read_file(path), " frameNo = "s + field("5") + "\r\n"s + " \r\n"s + " " +
                                 k100.substr(0, 79) + "\r\n"s + " "s + k100.substr(79) +
                                 field("3") + "\r\n");
}

}  // namespace
