// The command runner on POSIX. There is no command interpreter to hand the
// command line to, so the runner carries out the tool's one command, the
// copy, itself, and refuses any other.
#include "textio/command_runner.h"

#include <string>

#include "textio/atomic_copy.h"
#include "textio/diagnostics.h"
#include "textio/units.h"

namespace quiltgrid::textio {

namespace {

// The units whose files the copy names in its diagnostics.
constexpr CopyUnits kCopyUnits{200, 100};

struct CopyCommand {
  bool valid = false;
  std::string_view source;
  std::string_view target;
};

// "copy SOURCE TARGET", with single blanks between the three words.
CopyCommand parse_copy(std::string_view command) {
  constexpr std::string_view kVerb = "copy ";
  if (!command.starts_with(kVerb)) return {};
  command.remove_prefix(kVerb.size());
  const std::size_t blank = command.find(' ');
  if (blank == std::string_view::npos) return {};
  const std::string_view source = command.substr(0, blank);
  const std::string_view target = command.substr(blank + 1);
  if (source.empty() || target.empty() || target.find(' ') != std::string_view::npos) return {};
  return {true, source, target};
}

}  // namespace

void run_command(std::string_view command) {
  const CopyCommand copy = parse_copy(command);
  if (!copy.valid) end_run_with(error::invalid_command, 0, {});
  require(copy_atomically(resolve_name(copy.source), resolve_name(copy.target), kCopyUnits));
}

}  // namespace quiltgrid::textio
