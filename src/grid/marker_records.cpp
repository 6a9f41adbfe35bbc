#include "grid/marker_records.h"

#include <string_view>

#include "textio/diagnostics.h"
#include "textio/field_layout.h"

namespace quiltgrid::grid {

namespace {

using textio::ReadTarget;
using textio::require;
using textio::WriteValue;
namespace layouts = textio::layouts;

constexpr std::size_t kTimeStampColumn = 29;  // column 30, counted from 0
constexpr std::size_t kTimeStampWidth = 25;

std::string_view text_of(std::span<const char> text) { return {text.data(), text.size()}; }

}  // namespace

textio::Status read_marker(int unit, std::span<char, 256> FRAME) {
  const ReadTarget targets[] = {std::span<char>{FRAME}};
  return textio::read_fields(unit, layouts::line, targets);
}

void copy_marker(int unit, std::span<const char, 256> FRAME) {
  const WriteValue values[] = {text_of(FRAME)};
  require(textio::write_fields(unit, layouts::line, values));
}

void parse_marker(std::span<const char, 256> FRAME, std::span<char, 30> FRAMEHEAD,
                  std::int32_t& yyyy, std::span<char, 1> SEP, std::int32_t& mm) {
  const ReadTarget targets[] = {std::span<char>{FRAMEHEAD}, &yyyy, std::span<char>{SEP}, &mm};
  require(textio::read_fields(FRAME, layouts::date, targets));
}

void take_frame_number(std::span<const char, 30> FRAMEHEAD, std::int32_t& frameNo) {
  const ReadTarget targets[] = {&frameNo};
  require(textio::read_fields(FRAMEHEAD, layouts::frame_number, targets));
}

void write_composed_marker(int unit, std::int32_t frameNo, std::span<const char, 256> FRAME) {
  const WriteValue values[] = {std::string_view{":Frame"}, frameNo, frameNo,
                               text_of(FRAME.subspan(kTimeStampColumn, kTimeStampWidth))};
  require(textio::write_fields(unit, layouts::frame_marker, values));
}

textio::Status skip_end_marker(int unit) { return textio::read_fields(unit, layouts::line, {}); }

void write_end_marker(int unit) {
  const WriteValue values[] = {std::string_view{":EndFrame"}};
  require(textio::write_fields(unit, layouts::end_marker, values));
}

}  // namespace quiltgrid::grid
