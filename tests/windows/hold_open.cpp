// hold_open FILE RELEASE [exclusive]: holds FILE open for reading and
// writing, letting others read it but not write it, as a second program
// that writes the file would (with "exclusive", letting others do nothing
// with it). Writes "held" to standard output once the file is held, and
// lets go when the file RELEASE exists (or after ten minutes, so that a
// test that dies leaves no program behind for long).
#include <windows.h>

#include <cstring>

namespace {

void say(const char* text) {
  DWORD put = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text, static_cast<DWORD>(std::strlen(text)), &put,
              nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  const bool exclusive = argc == 4 && std::strcmp(argv[3], "exclusive") == 0;
  if (argc != 3 && !exclusive) {
    say("usage: hold_open FILE RELEASE [exclusive]\r\n");
    return 2;
  }
  const DWORD sharing = exclusive ? DWORD{0} : DWORD{FILE_SHARE_READ};
  const HANDLE file = ::CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, sharing, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    say("cannot open the file\r\n");
    return 1;
  }
  say("held\r\n");
  for (int waited = 0; waited < 10 * 60 * 50; ++waited) {
    if (::GetFileAttributesA(argv[2]) != INVALID_FILE_ATTRIBUTES) break;
    ::Sleep(20);
  }
  ::CloseHandle(file);
  return 0;
}
