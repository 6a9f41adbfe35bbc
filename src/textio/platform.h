// The platform services the text record layer needs, and nothing else.
//
// Every function that can fail returns the system's error code (an errno
// value on POSIX) as a positive number, or 0 on success; none of them shows
// a message or ends the run. Deciding what a failure means is the layer's
// business, not the platform's. Nothing above this seam includes a system
// header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quiltgrid::platform {

// An open file: a descriptor on POSIX, a handle on Windows.
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

enum class FileKind { disk, character_device, pipe };

// The full path of a name relative to the working directory (or of an
// absolute name): the backslash taken as folder separator, "." and ".."
// folded, symbolic links left as they are.
std::string full_path(std::string_view name);

// True when two full paths name the same file by the platform's rules for
// names (letter case counts on POSIX, not on Windows).
bool same_path(std::string_view a, std::string_view b);

// The folder separator of full paths.
#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

enum class Access { read_write, read_only };
enum class Creation { open_always, open_existing };

struct Opened {
  Handle handle = kNoHandle;
  int error = 0;        // 0 when handle is valid
  bool folder = false;  // the name is a folder (handle is closed then)
};

// Opens (and with open_always creates) the file for the given access.
// error: ENOENT, EACCES, EISDIR... as the system gives them.
Opened open_file(const std::string& path, Access access, Creation creation);

// Creates a new file that did not exist, for writing only (O_EXCL).
// error: EEXIST when the name is taken, else as the system gives it.
Opened create_new_file(const std::string& path, unsigned mode);

// Takes an advisory write lock on the whole file, held by this open file
// description until it is closed. Returns 0, or EAGAIN when another open
// file description (another run) holds a lock on it.
int lock_for_writing(Handle h);

// What the open handle is: disk file, character device or pipe.
FileKind kind_of(Handle h);

// Reads up to buffer.size() bytes. Disk files are read at `offset`
// (positioned read, the file pointer is not used); other kinds read from
// the current point. got: bytes read, 0 at the end of the file.
struct ReadResult {
  std::size_t got = 0;
  int error = 0;
};
ReadResult read(Handle h, FileKind kind, std::uint64_t offset, std::span<char> buffer);

// Writes all of bytes with one system call (more only if the system takes
// part of them). Disk files are written at `offset`. error: ENOSPC, EIO,
// EPIPE... as the system gives them.
int write(Handle h, FileKind kind, std::uint64_t offset, std::string_view bytes);

// Ends the file at `length`.
int truncate(Handle h, std::uint64_t length);

// Size in bytes of the open file; error when the system cannot say.
struct SizeResult {
  std::uint64_t size = 0;
  int error = 0;
};
SizeResult size_of(Handle h);

// Mode bits of an open file, for a replacement that keeps them.
unsigned mode_of(Handle h);
int set_mode(Handle h, unsigned mode);

// The file a path finally names, symbolic links followed; the path itself
// when it names nothing (yet).
std::string final_path(const std::string& path);

// Mode bits of the file at path, or `fallback` when there is none.
unsigned mode_of_path(const std::string& path, unsigned fallback);

// Flushes the file's data to stable storage.
int flush_to_disk(Handle h);

int close(Handle h);

// Copies up to `count` bytes from `from` at its offset to `to` at its
// offset, in the kernel where it can. Both offsets advance by what was
// copied. copied: 0 at the end of `from`.
struct CopyResult {
  std::size_t copied = 0;
  int error = 0;
  bool failed_reading = false;  // error came from `from`, not from `to`
};
CopyResult copy_bytes(Handle from, std::uint64_t& from_offset, Handle to,
                      std::uint64_t& to_offset, std::size_t count);

// True when the path exists and is not a folder. Follows symbolic links.
bool exists_not_folder(const std::string& path);

// Renames over an existing target atomically.
int rename_over(const std::string& from, const std::string& to);

int remove_file(const std::string& path);

// Flushes a folder's entries (a rename in it) to stable storage.
int flush_folder(const std::string& path);

// The system's own text for an error code.
std::string error_text(int error);

// The standard streams, for the console and the diagnostics.
Handle standard_output();
Handle standard_error();

// The local wall-clock time of day.
struct TimeOfDay {
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};
TimeOfDay local_time_of_day();

// The process id, to make temporary names unique between runs.
long process_id();

// Registers `handler` for the console interrupts: it is called with the
// event's name ("control-C", "control-BREAK", "window-CLOSE") and the exit
// status the process should end with. The handler runs in signal context:
// it may only use the async-signal-safe functions below.
using InterruptHandler = void (*)(const char* event, int exit_status);
void on_console_interrupt(InterruptHandler handler);

// Makes a write to a pipe whose reader has gone fail with EPIPE instead of
// ending the process by a signal.
void report_broken_pipes_as_errors();

// Writes to standard error, async-signal-safe.
void write_error_safely(std::string_view text);

// Removes a file, async-signal-safe (path must be NUL-terminated).
void remove_file_safely(const char* path);

// Ends the process at once with the exit status; the system closes every
// handle. Async-signal-safe. (Its own file, process_exit_posix.cpp, so that
// a fuzzing build can end a run without ending the process.)
[[noreturn]] void exit_process(int status);

}  // namespace quiltgrid::platform
