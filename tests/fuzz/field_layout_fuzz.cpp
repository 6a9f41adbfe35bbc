// Field layouts on hostile bytes: each layout reads the bytes as an
// in-memory record and as records of a file, and writes values taken from
// the bytes, with status codes only.
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "fuzz/fuzz_files.h"
#include "textio/field_layout.h"
#include "textio/units.h"

using namespace quiltgrid;
namespace layouts = textio::layouts;

namespace {

std::int32_t fuzzed_count = 0;
std::int32_t count() { return fuzzed_count; }

void read_every_layout(std::span<const char> record) {
  char LINE[256];
  char FRAMEHEAD[30];
  char SEP[1];
  std::int32_t a = 0;
  std::int32_t b = 0;
  const textio::ReadTarget line[] = {std::span<char>(LINE)};
  const textio::ReadTarget dimension[] = {std::span<char>(FRAMEHEAD), &a};
  const textio::ReadTarget date[] = {std::span<char>(FRAMEHEAD), &a, std::span<char>(SEP), &b};
  const textio::ReadTarget frame_number[] = {&a};
  textio::read_fields(record, layouts::line, line);
  textio::read_fields(record, layouts::dimension, dimension);
  textio::read_fields(record, layouts::date, date);
  textio::read_fields(record, layouts::frame_number, frame_number);
}

void write_values_from(std::string_view bytes) {
  double values[16] = {};
  std::memcpy(values, bytes.data(), std::min(bytes.size(), sizeof values));
  std::int32_t number = 0;
  std::memcpy(&number, bytes.data(), std::min(bytes.size(), sizeof number));
  fuzzed_count = number % 32;
  const textio::WriteValue row[] = {std::span<const double>(values)};
  textio::format_fields(layouts::row, row, count);
  const textio::WriteValue marker[] = {bytes.substr(0, 6), number, ~number, bytes};
  textio::format_fields(layouts::frame_marker, marker);
  const textio::WriteValue date[] = {bytes, number, bytes.substr(0, 1), number / 7};
  textio::format_fields(layouts::date, date);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr int kUnit = 11;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  read_every_layout(std::span<const char>(bytes.data(), bytes.size()));
  write_values_from(bytes);
  fuzzing::put_file("records", bytes);
  if (textio::open_unknown(kUnit, "records") != textio::kOk) return 0;
  char LINE[256];
  const textio::ReadTarget line[] = {std::span<char>(LINE)};
  for (int turn = 0; turn < 1000; ++turn) {
    if (textio::read_fields(kUnit, layouts::line, line) != textio::kOk) break;
    read_every_layout(LINE);
  }
  textio::close_every_unit();
  return 0;
}
