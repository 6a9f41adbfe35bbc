// Free-form input on hostile bytes: every read asks for a status code, so
// nothing here may end the process, crash or trip a sanitizer.
#include <cstdint>
#include <span>
#include <string_view>

#include "fuzz/fuzz_files.h"
#include "textio/free_form_reader.h"
#include "textio/units.h"

using namespace quiltgrid;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr int kUnit = 10;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  fuzzing::put_file("input", bytes);
  if (textio::open_unknown(kUnit, "input") != textio::kOk) return 0;
  // Alternate number rows of a few lengths with text items, as the tool
  // reads data rows, first header records and run report lines.
  double row[7] = {};
  char text[30];
  for (int turn = 0; turn < 1000 && !textio::at_end_of_file(kUnit); ++turn) {
    if (turn % 3 == 2) {
      textio::read_text(kUnit, text);
    } else {
      textio::read_numbers(kUnit, std::span<double>(row, static_cast<std::size_t>(turn % 7 + 1)));
    }
  }
  textio::close_every_unit();
  return 0;
}
