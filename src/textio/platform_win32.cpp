// The platform services on Windows, on the file interface of the kernel.
//
// Error codes are the system's own (GetLastError values). The services that
// only the POSIX copy needs (new files, kernel copies, renames, folder
// flushes, modes, process ids) are absent: on Windows the command
// interpreter carries out the copy.
#include "textio/platform.h"

#include <cstring>
#include <limits>
#include <string>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace quiltgrid::platform {

namespace {

// A failing call that left no code is still a failure.
int last_error() {
  const DWORD error = ::GetLastError();
  return error == ERROR_SUCCESS ? static_cast<int>(ERROR_GEN_FAILURE) : static_cast<int>(error);
}

HANDLE win(Handle h) { return reinterpret_cast<HANDLE>(h); }
Handle ours(HANDLE h) { return reinterpret_cast<Handle>(h); }

// The largest transfer one ReadFile or WriteFile call takes.
constexpr std::size_t kMaxTransfer = std::numeric_limits<DWORD>::max();

DWORD transfer_size(std::size_t size) {
  return static_cast<DWORD>(size < kMaxTransfer ? size : kMaxTransfer);
}

// An OVERLAPPED that positions a call on a synchronous handle: the call
// still completes before it returns.
OVERLAPPED at_offset(std::uint64_t offset) {
  OVERLAPPED position{};
  position.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFU);
  position.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return position;
}

bool is_folder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

HANDLE create(const std::string& path, DWORD access, DWORD sharing, Creation creation) {
  return ::CreateFileA(path.c_str(), access, sharing, nullptr,
                       creation == Creation::open_always ? OPEN_ALWAYS : OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::wstring wide(std::string_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int count = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (count <= 0) return {};
  std::wstring out(static_cast<std::size_t>(count), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, out.data(), count);
  return out;
}

}  // namespace

std::string full_path(std::string_view name) {
  // An empty name stands for the working directory, as on POSIX.
  const std::string relative = name.empty() ? std::string(".") : std::string(name);
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = ::GetFullPathNameA(relative.c_str(), static_cast<DWORD>(path.size()),
                                            path.data(), nullptr);
    if (length == 0) return relative;  // a name the system cannot expand stays as given
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(length);  // the size asked for counts the terminating zero
  }
}

bool same_path(std::string_view a, std::string_view b) {
  if (a == b) return true;
  // The file system compares names without letter case, by the upper-case
  // table of the system rather than by the user's locale.
  const std::wstring wa = wide(a);
  const std::wstring wb = wide(b);
  if (wa.empty() || wb.empty()) return false;
  return ::CompareStringOrdinal(wa.data(), static_cast<int>(wa.size()), wb.data(),
                                static_cast<int>(wb.size()), TRUE) == CSTR_EQUAL;
}

Opened open_file(const std::string& path, Access access, Creation creation) {
  Opened result;
  HANDLE h = INVALID_HANDLE_VALUE;
  if (access == Access::read_write) {
    // Others may read the file while the tool has it, but not write it.
    h = create(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, creation);
  } else {
    h = create(path, GENERIC_READ, FILE_SHARE_READ, creation);
    if (h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_SHARING_VIOLATION) {
      // Another program writes the file: read it alongside that program.
      h = create(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, creation);
    }
  }
  if (h == INVALID_HANDLE_VALUE) {
    result.error = last_error();
    result.folder = is_folder(path);
    return result;
  }
  result.handle = ours(h);
  return result;
}

// The sharing mode of open_file keeps a second writer out.
int lock_for_writing(Handle) { return 0; }

FileKind kind_of(Handle h) {
  switch (::GetFileType(win(h))) {
    case FILE_TYPE_DISK:
      return FileKind::disk;
    case FILE_TYPE_CHAR:
      return FileKind::character_device;
    default:
      return FileKind::pipe;
  }
}

ReadResult read(Handle h, FileKind kind, std::uint64_t offset, std::span<char> buffer) {
  DWORD got = 0;
  BOOL done = FALSE;
  if (kind == FileKind::disk) {
    OVERLAPPED position = at_offset(offset);
    done = ::ReadFile(win(h), buffer.data(), transfer_size(buffer.size()), &got, &position);
  } else {
    done = ::ReadFile(win(h), buffer.data(), transfer_size(buffer.size()), &got, nullptr);
  }
  if (done) return {got, 0};
  const DWORD error = ::GetLastError();
  // A positioned read past the end, and a pipe whose writer has gone, are
  // the end of the file.
  if (error == ERROR_HANDLE_EOF || error == ERROR_BROKEN_PIPE) return {0, 0};
  return {0, last_error()};
}

int write(Handle h, FileKind kind, std::uint64_t offset, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD put = 0;
    BOOL done = FALSE;
    if (kind == FileKind::disk) {
      OVERLAPPED position = at_offset(offset);
      done = ::WriteFile(win(h), bytes.data(), transfer_size(bytes.size()), &put, &position);
    } else {
      done = ::WriteFile(win(h), bytes.data(), transfer_size(bytes.size()), &put, nullptr);
    }
    if (!done) return last_error();
    if (put == 0) return static_cast<int>(ERROR_WRITE_FAULT);
    bytes.remove_prefix(put);
    offset += put;
  }
  return 0;
}

int truncate(Handle h, std::uint64_t length) {
  LONG high = static_cast<LONG>(length >> 32);
  const DWORD low = ::SetFilePointer(win(h), static_cast<LONG>(length & 0xFFFFFFFFU), &high,
                                     FILE_BEGIN);
  if (low == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR) return last_error();
  return ::SetEndOfFile(win(h)) ? 0 : last_error();
}

SizeResult size_of(Handle h) {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(win(h), &size)) return {0, last_error()};
  return {static_cast<std::uint64_t>(size.QuadPart), 0};
}

int close(Handle h) { return ::CloseHandle(win(h)) ? 0 : last_error(); }

bool exists_not_folder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string error_text(int error) {
  char* text = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string out;
  if (length != 0 && text != nullptr) out.assign(text, length);
  if (text != nullptr) ::LocalFree(text);
  // The system's texts end with a line end; the diagnostic puts its own.
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  if (out.empty()) out = "system error " + std::to_string(error);
  return out;
}

Handle standard_output() { return ours(::GetStdHandle(STD_OUTPUT_HANDLE)); }
Handle standard_error() { return ours(::GetStdHandle(STD_ERROR_HANDLE)); }

TimeOfDay local_time_of_day() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return {now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

namespace {

InterruptHandler interrupt_handler = nullptr;

// The status Windows gives a console program that control-C ends
// (STATUS_CONTROL_C_EXIT), for all three events: none of them may look
// like a successful run.
constexpr int kInterruptedStatus = static_cast<int>(0xC000013AU);

BOOL WINAPI on_control_event(DWORD event) {
  const char* name = nullptr;
  switch (event) {
    case CTRL_C_EVENT:
      name = "control-C";
      break;
    case CTRL_BREAK_EVENT:
      name = "control-BREAK";
      break;
    case CTRL_CLOSE_EVENT:
      name = "window-CLOSE";
      break;
    default:
      return FALSE;  // log-off and shut-down are the system's business
  }
  interrupt_handler(name, kInterruptedStatus);
  return TRUE;
}

}  // namespace

void on_console_interrupt(InterruptHandler handler) {
  interrupt_handler = handler;
  ::SetConsoleCtrlHandler(on_control_event, TRUE);
}

// A write to a pipe without reader fails with an error on Windows anyway.
void report_broken_pipes_as_errors() {}

void write_error_safely(std::string_view text) {
  const HANDLE h = ::GetStdHandle(STD_ERROR_HANDLE);
  while (!text.empty()) {
    DWORD put = 0;
    if (!::WriteFile(h, text.data(), transfer_size(text.size()), &put, nullptr) || put == 0) return;
    text.remove_prefix(put);
  }
}

void remove_file_safely(const char* path) { ::DeleteFileA(path); }

}  // namespace quiltgrid::platform
