// A test program over the text record layer: it carries out the requests
// its arguments name, one after another, and asks for no status code, so a
// failing request ends the process exactly as it ends the tool's run.
//
//   open UNIT NAME      connect UNIT to NAME with the status "unknown"
//   close UNIT          close UNIT with "keep"
//   read UNIT           read a record for a field layout; echo it
//   readtext UNIT       free-form read of one text value; echo it
//   readnums UNIT N     free-form read of N numbers; echo them
//   write UNIT TEXT     write TEXT as one record
//   run COMMAND         hand COMMAND to the command runner
//   handle-interrupts   let console interrupts end the process
//   sleep               wait until a signal ends the process
//
// Echoes and "ready" (written after each handle-interrupts) go to the
// console unit, each as a record of its own. After the last request the
// process ends through the end-of-run handling with status 0.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "textio/command_runner.h"
#include "textio/diagnostics.h"
#include "textio/free_form_reader.h"
#include "textio/interrupts.h"
#include "textio/units.h"

namespace {

using namespace quiltgrid::textio;

[[noreturn]] void usage(std::string_view why) {
  std::fprintf(stderr, "textio_probe: %.*s\n", static_cast<int>(why.size()), why.data());
  std::exit(2);
}

int number_of(std::string_view word) {
  int value = 0;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (ec != std::errc{} || end != word.data() + word.size()) usage("not a number: " + std::string(word));
  return value;
}

void echo(std::string_view text) { require(write_record(kConsoleUnit, text)); }

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> words(argv + 1, argv + argc);
  std::size_t next = 0;
  const auto take = [&]() -> std::string_view {
    if (next == words.size()) usage("a request lacks its arguments");
    return words[next++];
  };
  while (next < words.size()) {
    const std::string_view request = take();
    if (request == "open") {
      const int unit = number_of(take());
      require(open_unknown(unit, take()));
    } else if (request == "close") {
      require(close_keep(number_of(take())));
    } else if (request == "read") {
      std::string_view record;
      require(read_record(number_of(take()), CarriageReturns::one, record));
      echo(record);
    } else if (request == "readtext") {
      std::vector<char> value(kMaxTextValue, ' ');
      require(read_text(number_of(take()), value));
      const std::string_view text(value.data(), value.size());
      echo(text.substr(0, text.find_last_not_of(' ') + 1));
    } else if (request == "readnums") {
      const int unit = number_of(take());
      std::vector<double> values(static_cast<std::size_t>(number_of(take())), 0.0);
      require(read_numbers(unit, values));
      std::string line;
      for (const double value : values) {
        char digits[32];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        if (!line.empty()) line.push_back(' ');
        line.append(digits, end);
      }
      echo(line);
    } else if (request == "write") {
      const int unit = number_of(take());
      require(write_record(unit, take()));
    } else if (request == "run") {
      run_command(take());
    } else if (request == "handle-interrupts") {
      handle_console_interrupts();
      echo("ready");
    } else if (request == "sleep") {
      for (;;) ::pause();
    } else {
      usage("unknown request: " + std::string(request));
    }
  }
  end_of_run(0);
}
