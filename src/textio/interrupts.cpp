#include "textio/interrupts.h"

#include <array>
#include <atomic>
#include <string>
#include <string_view>

#include "textio/diagnostics.h"
#include "textio/platform.h"

namespace quiltgrid::textio {

namespace {

constexpr std::array<std::string_view, 3> kEvents{"control-C", "control-BREAK", "window-CLOSE"};

// The handler may not allocate, so its lines are made beforehand.
std::array<std::string, 3>& interrupt_lines() {
  static std::array<std::string, 3> lines;
  return lines;
}

std::atomic<const char*> cleanup_path{nullptr};

void on_interrupt(const char* event, int exit_status) {
  for (std::size_t i = 0; i < kEvents.size(); ++i) {
    if (kEvents[i] == event) platform::write_error_safely(interrupt_lines()[i]);
  }
  if (const char* path = cleanup_path.load()) platform::remove_file_safely(path);
  platform::exit_process(exit_status);
}

}  // namespace

void handle_console_interrupts() {
  for (std::size_t i = 0; i < kEvents.size(); ++i) {
    interrupt_lines()[i] = diagnostic_text(Severity::error, error::interrupted, 0, kEvents[i], 0);
  }
  platform::report_broken_pipes_as_errors();
  platform::on_console_interrupt(on_interrupt);
}

void set_interrupt_cleanup(const char* path) { cleanup_path.store(path); }

}  // namespace quiltgrid::textio
