// Error numbers, the diagnostic line, and the one place that ends a run.
//
// A request that fails records what failed (note_failure) and returns the
// error number as its status. The caller either keeps the status or hands
// it to require(), which shows the diagnostic of the failure last noted and
// ends the run with the error number as exit status.
#pragma once

#include <string>
#include <string_view>

#include "textio/status.h"

namespace quiltgrid::textio {

namespace error {
inline constexpr int permission_denied = 9;
inline constexpr int end_of_file = 24;
inline constexpr int close_failed = 28;
inline constexpr int file_not_found = 29;
inline constexpr int open_failed = 30;
inline constexpr int write_failed = 38;
inline constexpr int read_failed = 39;
inline constexpr int out_of_memory = 41;
inline constexpr int no_such_device = 42;
inline constexpr int bad_file_name = 43;
inline constexpr int write_to_read_only = 47;
inline constexpr int free_form_syntax = 59;
inline constexpr int input_conversion = 64;
inline constexpr int invalid_grid_size = 66;
inline constexpr int invalid_command = 124;
inline constexpr int interrupted = 200;
inline constexpr int repeat_count_signed = 494;
inline constexpr int repeat_count_zero = 495;
}  // namespace error

// Units that are not files: the console, and records held in memory.
inline constexpr int kConsoleUnit = -1;
inline constexpr int kInMemoryUnit = -5;
inline constexpr std::string_view kConsoleName = "stdout";
inline constexpr std::string_view kInMemoryName = "Internal Formatted Read";

enum class Severity { info = 1, warning = 2, error = 3, severe = 4 };

// The message text of an error number, with "%d" for the unit and "%s" for
// the file where the message names them.
std::string_view message_text(int number);

// Records the failure that the status `number` reports. os_error, when not
// 0, is the system's error code whose text is shown on a line of its own
// before the diagnostic. Returns number.
Status note_failure(int number, int unit, std::string_view file, int os_error = 0);

// The diagnostic line(s) of a failure, each ended by a line feed.
std::string diagnostic_text(Severity severity, int number, int unit, std::string_view file,
                            int os_error);

// Ends the run if status is not 0: shows the diagnostic of the failure last
// noted (the end-of-file diagnostic for -1) and runs the end-of-run
// handling with the error number as exit status.
inline void require(Status status);
[[noreturn]] void end_run_on(Status status);

// Shows a severe diagnostic that no request noted (a check of the tool's
// own) and ends the run with `number`.
[[noreturn]] void end_run_with(int number, int unit, std::string_view file);

// Closes every connected unit and ends the process with the exit status.
[[noreturn]] void end_of_run(int exit_status);

inline void require(Status status) {
  if (status != kOk) [[unlikely]]
    end_run_on(status);
}

}  // namespace quiltgrid::textio
