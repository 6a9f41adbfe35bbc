// A stand-in for the command interpreter, for COMSPEC: carries out nothing.
// It writes the command line it was given to standard output, as
// "interpreter: <command line>", and ends with the exit status in the
// variable FAKE_INTERPRETER_STATUS (1 when unset). With FAKE_INTERPRETER_WAIT
// naming a file, it first creates "<file>.started" and waits until the file
// itself exists (at most ten minutes).
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void say(const std::string& text) {
  DWORD put = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &put,
              nullptr);
}

std::string variable(const char* name) {
  char value[1024];
  const DWORD length = ::GetEnvironmentVariableA(name, value, sizeof value);
  return length == 0 || length >= sizeof value ? std::string() : std::string(value, length);
}

}  // namespace

int main() {
  say("interpreter: " + std::string(::GetCommandLineA()) + "\r\n");
  const std::string wait = variable("FAKE_INTERPRETER_WAIT");
  if (!wait.empty()) {
    const std::string started = wait + ".started";
    const HANDLE marker = ::CreateFileA(started.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker != INVALID_HANDLE_VALUE) ::CloseHandle(marker);
    for (int waited = 0; waited < 10 * 60 * 50; ++waited) {
      if (::GetFileAttributesA(wait.c_str()) != INVALID_FILE_ATTRIBUTES) break;
      ::Sleep(20);
    }
  }
  const std::string status = variable("FAKE_INTERPRETER_STATUS");
  return status.empty() ? 1 : std::atoi(status.c_str());
}
