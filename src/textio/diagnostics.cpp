#include "textio/diagnostics.h"

#include <array>
#include <charconv>

#include "textio/platform.h"
#include "textio/units.h"

namespace quiltgrid::textio {

namespace {

constexpr std::string_view kTag = "quiltgrid";

struct Message {
  int number;
  std::string_view text;
};

constexpr std::array kMessages{
    Message{error::permission_denied, "permission to access file denied, unit %d, file %s"},
    Message{error::end_of_file, "end-of-file during read, unit %d, file %s"},
    Message{error::close_failed, "CLOSE error, unit %d, file %s"},
    Message{error::file_not_found, "file not found, unit %d, file %s"},
    Message{error::open_failed, "open failure, unit %d, file %s"},
    Message{error::write_failed, "error during write, unit %d, file %s"},
    Message{error::read_failed, "error during read, unit %d, file %s"},
    Message{error::out_of_memory, "insufficient virtual memory"},
    Message{error::no_such_device, "no such device, unit %d, file %s"},
    Message{error::bad_file_name, "file name specification error, unit %d, file %s"},
    Message{error::write_to_read_only, "write to READONLY file, unit %d, file %s"},
    Message{error::free_form_syntax, "syntax error in free-form input, unit %d, file %s"},
    Message{error::input_conversion, "input conversion error, unit %d, file %s"},
    Message{error::invalid_grid_size, "invalid grid size, unit %d, file %s"},
    Message{error::invalid_command, "invalid command"},
    Message{error::interrupted, "program aborting due to %s event"},
    Message{error::repeat_count_signed, "Input repeat count not unsigned integer"},
    Message{error::repeat_count_zero, "Input repeat count of zero is an error"},
};

constexpr std::array<std::string_view, 5> kSeverityWords{"", "info", "warning", "error",
                                                         "severe"};

struct Failure {
  int number = error::end_of_file;
  int unit = 0;
  std::string file;
  int os_error = 0;
};

Failure& last_failure() {
  static Failure failure;
  return failure;
}

void append_number(std::string& out, int value) {
  char digits[12];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

}  // namespace

std::string_view message_text(int number) {
  for (const Message& message : kMessages) {
    if (message.number == number) return message.text;
  }
  return "unexpected error, unit %d, file %s";
}

Status note_failure(int number, int unit, std::string_view file, int os_error) {
  Failure& failure = last_failure();
  failure.number = number;
  failure.unit = unit;
  failure.file.assign(file);
  failure.os_error = os_error;
  return number;
}

std::string diagnostic_text(Severity severity, int number, int unit, std::string_view file,
                            int os_error) {
  std::string out;
  if (os_error != 0) {
    out.append(kTag).append(": ").append(platform::error_text(os_error)).append("\n");
  }
  out.append(kTag).append(": ").append(kSeverityWords[static_cast<std::size_t>(severity)]);
  out.append(" (");
  append_number(out, number);
  out.append("): ");
  // The first "%d" is the unit, "%s" the file name.
  const std::string_view text = message_text(number);
  bool unit_shown = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == 'd' || text[i + 1] == 's')) {
      if (text[i + 1] == 'd' && !unit_shown) {
        append_number(out, unit);
        unit_shown = true;
      } else {
        out.append(file);
      }
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  out.push_back('\n');
  return out;
}

void end_run_on(Status status) {
  const Failure& failure = last_failure();
  const int number = status == kEndOfFile ? error::end_of_file : status;
  platform::write_error_safely(
      diagnostic_text(Severity::severe, number, failure.unit, failure.file, failure.os_error));
  end_of_run(number);
}

void end_run_with(int number, int unit, std::string_view file) {
  note_failure(number, unit, file);
  end_run_on(number);
}

void end_of_run(int exit_status) {
  close_every_unit();
  platform::exit_process(exit_status);
}

}  // namespace quiltgrid::textio
