#include "grid/header_records.h"

#include <string_view>

#include "report/console_messages.h"
#include "textio/diagnostics.h"
#include "textio/field_layout.h"
#include "textio/free_form_reader.h"

namespace quiltgrid::grid {

namespace {

using textio::require;

// Keys compare the leading columns exactly, letter case included.
bool starts_with(std::span<const char> LINE, std::string_view key) {
  return std::string_view{LINE.data(), LINE.size()}.starts_with(key);
}

bool is_number_character(char c) { return (c >= '0' && c <= '9') || c == '-' || c == '+'; }

// The count stands in columns 34 to 38. A number that reaches past them on
// either side (another writer's layout) would be read cut, and every frame
// misread with it: it counts as no value, which the run refuses.
void read_grid_size(std::span<char, 256> LINE, std::span<char, 30> FRAMEHEAD,
                    std::int32_t& count) {
  const textio::ReadTarget targets[] = {std::span<char>{FRAMEHEAD}, &count};
  require(textio::read_fields(LINE, textio::layouts::dimension, targets));
  constexpr std::size_t kBefore = 32;  // column 33
  constexpr std::size_t kAfter = 38;   // column 39
  if (is_number_character(LINE[kBefore]) || is_number_character(LINE[kAfter])) count = 0;
}

struct Copy {
  int out;
  std::span<char, 30> FRAMEHEAD;
  std::int32_t& xcount;
  std::int32_t& ycount;
};

void header_scan(int in, std::span<char, 256> LINE, const Copy* copy) {
  require(textio::read_text(in, LINE));
  report::show_first_value(LINE);
  const textio::ReadTarget line_target[] = {std::span<char>{LINE}};
  const textio::WriteValue line_value[] = {std::string_view{LINE.data(), LINE.size()}};
  while (!starts_with(LINE, ":endHeader")) {
    require(textio::read_fields(in, textio::layouts::line, line_target));
    if (copy != nullptr) require(textio::write_fields(copy->out, textio::layouts::line, line_value));
    report::show_header_record(LINE);
    if (copy == nullptr) continue;
    if (starts_with(LINE, ":xCount")) read_grid_size(LINE, copy->FRAMEHEAD, copy->xcount);
    if (starts_with(LINE, ":yCount")) read_grid_size(LINE, copy->FRAMEHEAD, copy->ycount);
  }
}

}  // namespace

void copying_header_scan(int in, int out, std::span<char, 256> LINE,
                         std::span<char, 30> FRAMEHEAD, std::int32_t& xcount,
                         std::int32_t& ycount) {
  const Copy copy{out, FRAMEHEAD, xcount, ycount};
  header_scan(in, LINE, &copy);
}

void echoing_header_scan(int in, std::span<char, 256> LINE) { header_scan(in, LINE, nullptr); }

}  // namespace quiltgrid::grid
