// The command runner on Windows: the system command interpreter named by
// COMSPEC carries out the command line, and the tool waits for it.
#include "textio/command_runner.h"

#include <new>
#include <string>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "textio/diagnostics.h"

namespace quiltgrid::textio {

namespace {

[[noreturn]] void invalid_command() { end_run_with(error::invalid_command, 0, {}); }

// The interpreter's path; an unset (or empty) COMSPEC ends the run.
std::string interpreter() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length =
        ::GetEnvironmentVariableA("COMSPEC", path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) invalid_command();
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(length);  // the size asked for counts the terminating zero
  }
}

// "/S /C " and the command in double quotes: with /S the interpreter takes
// the text between the first and the last quote as it stands.
std::string interpreter_line(std::string_view command) {
  try {
    std::string line = "/S /C \"";
    line.append(command).append("\"");
    return line;
  } catch (const std::bad_alloc&) {
    end_run_with(error::out_of_memory, 0, {});
  }
}

}  // namespace

void run_command(std::string_view command) {
  const std::string program = interpreter();
  std::string line = interpreter_line(command);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  // Handles inherited: what the interpreter writes shows on the tool's
  // console, between the tool's own lines.
  if (!::CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
    invalid_command();
  }
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 1;
  const BOOL known = ::GetExitCodeProcess(process.hProcess, &status);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  // A copy that failed must not pass for one that was made.
  if (!known || status != 0) invalid_command();
}

}  // namespace quiltgrid::textio
