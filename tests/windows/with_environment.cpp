// with_environment [NAME=VALUE | NAME]... -- PROGRAM [ARGUMENT]...: runs
// PROGRAM with the variables set (NAME=VALUE) or removed (NAME alone),
// its standard handles inherited, and ends with PROGRAM's exit status.
//
// wine lays the variables of its registry (COMSPEC among them) over the
// environment of a program started from outside; a program started by
// another Windows program gets that program's environment as it stands.
#include <windows.h>

#include <cstring>
#include <string>

namespace {

// One argument as the C runtime of the child splits its command line.
std::string quoted(const char* argument) {
  if (*argument != '\0' && std::strpbrk(argument, " \t\"") == nullptr) return argument;
  std::string out = "\"";
  std::size_t backslashes = 0;
  for (const char* p = argument; *p != '\0'; ++p) {
    if (*p == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote escaped.
    out.append(*p == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    out.push_back(*p);
  }
  out.append(2 * backslashes, '\\');
  out.push_back('"');
  return out;
}

int fail(const char* text) {
  DWORD put = 0;
  ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(std::strlen(text)), &put,
              nullptr);
  return 125;
}

}  // namespace

int main(int argc, char** argv) {
  int i = 1;
  for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    const char* equals = std::strchr(argv[i], '=');
    if (equals == nullptr) {
      ::SetEnvironmentVariableA(argv[i], nullptr);
    } else {
      const std::string name(argv[i], static_cast<std::size_t>(equals - argv[i]));
      ::SetEnvironmentVariableA(name.c_str(), equals + 1);
    }
  }
  if (i + 1 >= argc) return fail("usage: with_environment [NAME=VALUE | NAME]... -- PROGRAM\r\n");
  const char* program = argv[i + 1];
  std::string line = quoted(program);
  for (int a = i + 2; a < argc; ++a) line.append(" ").append(quoted(argv[a]));

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessA(program, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
    return fail("with_environment: the program cannot be started\r\n");
  }
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 125;
  ::GetExitCodeProcess(process.hProcess, &status);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return static_cast<int>(status);
}
