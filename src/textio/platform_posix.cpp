// The platform services on POSIX.
#include "textio/platform.h"

#include "textio/fault_injection.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace quiltgrid::platform {

namespace {

using faults::Call;
using faults::injected;

int last_error() { return errno == 0 ? EIO : errno; }

}  // namespace

namespace {

std::string working_directory() {
  std::string path(PATH_MAX, '\0');
  while (::getcwd(path.data(), path.size()) == nullptr) {
    if (errno != ERANGE) return {};
    path.resize(path.size() * 2);
  }
  path.resize(std::strlen(path.c_str()));
  return path;
}

int fd(Handle h) { return static_cast<int>(h); }

}  // namespace

std::string full_path(std::string_view name) {
  std::string joined = !name.empty() && (name.front() == '/' || name.front() == '\\')
                           ? std::string(name)
                           : working_directory() + '/' + std::string(name);
  for (char& c : joined) {
    if (c == '\\') c = '/';
  }
  // Fold "." and "..", part by part; ".." above the root stays at the root.
  std::vector<std::string_view> parts;
  std::string_view rest(joined);
  while (!rest.empty()) {
    const std::size_t cut = rest.find('/');
    const std::string_view part = rest.substr(0, cut);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    if (cut == std::string_view::npos) break;
    rest.remove_prefix(cut + 1);
  }
  std::string full;
  for (const std::string_view part : parts) full.append("/").append(part);
  return full.empty() ? "/" : full;
}

bool same_path(std::string_view a, std::string_view b) { return a == b; }

Opened open_file(const std::string& path, Access access, Creation creation) {
  int flags = O_CLOEXEC | (access == Access::read_write ? O_RDWR : O_RDONLY);
  if (creation == Creation::open_always && access == Access::read_write) flags |= O_CREAT;
  Opened result;
  if (const int e = injected(Call::open)) {
    result.error = e;
    return result;
  }
  do {
    result.handle = ::open(path.c_str(), flags, 0666);
  } while (result.handle < 0 && errno == EINTR);
  if (result.handle < 0) {
    result.error = last_error();
    return result;
  }
  struct stat st {};
  if (::fstat(fd(result.handle), &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd(result.handle));
    result.handle = kNoHandle;
    result.error = EISDIR;
    result.folder = true;
  }
  return result;
}

Opened create_new_file(const std::string& path, unsigned mode) {
  Opened result;
  if (const int e = injected(Call::open)) {
    result.error = e;
    return result;
  }
  result.handle = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                         static_cast<mode_t>(mode));
  if (result.handle < 0) result.error = last_error();
  return result;
}

int lock_for_writing(Handle h) {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  if (::fcntl(fd(h), F_OFD_SETLK, &lock) == 0) return 0;
  return (errno == EACCES || errno == EAGAIN) ? EAGAIN : last_error();
}

FileKind kind_of(Handle h) {
  struct stat st {};
  if (::fstat(fd(h), &st) != 0) return FileKind::pipe;
  if (S_ISREG(st.st_mode)) return FileKind::disk;
  if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return FileKind::character_device;
  return FileKind::pipe;
}

ReadResult read(Handle h, FileKind kind, std::uint64_t offset, std::span<char> buffer) {
  if (const int e = injected(Call::read)) return {0, e};
  for (;;) {
    const ssize_t got = kind == FileKind::disk
                            ? ::pread(fd(h), buffer.data(), buffer.size(), static_cast<off_t>(offset))
                            : ::read(fd(h), buffer.data(), buffer.size());
    if (got >= 0) return {static_cast<std::size_t>(got), 0};
    if (errno != EINTR) return {0, last_error()};
  }
}

int write(Handle h, FileKind kind, std::uint64_t offset, std::string_view bytes) {
  if (const int e = injected(Call::write)) return e;
  while (!bytes.empty()) {
    const ssize_t put =
        kind == FileKind::disk
            ? ::pwrite(fd(h), bytes.data(), bytes.size(), static_cast<off_t>(offset))
            : ::write(fd(h), bytes.data(), bytes.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return last_error();
    }
    if (put == 0) return EIO;
    bytes.remove_prefix(static_cast<std::size_t>(put));
    offset += static_cast<std::uint64_t>(put);
  }
  return 0;
}

int truncate(Handle h, std::uint64_t length) {
  if (const int e = injected(Call::truncate)) return e;
  while (::ftruncate(fd(h), static_cast<off_t>(length)) != 0) {
    if (errno != EINTR) return last_error();
  }
  return 0;
}

SizeResult size_of(Handle h) {
  struct stat st {};
  if (::fstat(fd(h), &st) != 0) return {0, last_error()};
  return {static_cast<std::uint64_t>(st.st_size), 0};
}

unsigned mode_of(Handle h) {
  struct stat st {};
  if (::fstat(fd(h), &st) != 0) return 0666;
  return static_cast<unsigned>(st.st_mode) & 07777U;
}

std::string final_path(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string result(resolved);
  std::free(resolved);
  return result;
}

unsigned mode_of_path(const std::string& path, unsigned fallback) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return fallback;
  return static_cast<unsigned>(st.st_mode) & 07777U;
}

int set_mode(Handle h, unsigned mode) {
  return ::fchmod(fd(h), static_cast<mode_t>(mode)) == 0 ? 0 : last_error();
}

int flush_to_disk(Handle h) {
  if (const int e = injected(Call::fsync)) return e;
  while (::fsync(fd(h)) != 0) {
    if (errno == EINVAL || errno == EROFS) return 0;  // a device that keeps nothing to flush
    if (errno != EINTR) return last_error();
  }
  return 0;
}

int close(Handle h) {
  if (const int e = injected(Call::close)) {
    ::close(fd(h));  // the handle is released all the same
    return e;
  }
  // A close interrupted by a signal has still released the descriptor on
  // Linux; retrying could close a descriptor opened meanwhile.
  if (::close(fd(h)) == 0 || errno == EINTR) return 0;
  return last_error();
}

CopyResult copy_bytes(Handle from, std::uint64_t& from_offset, Handle to,
                      std::uint64_t& to_offset, std::size_t count) {
  if (const int e = injected(Call::read)) return {0, e, true};
  if (const int e = injected(Call::write)) return {0, e, false};
  auto in = static_cast<off_t>(from_offset);
  auto out = static_cast<off_t>(to_offset);
  const ssize_t copied = ::copy_file_range(fd(from), &in, fd(to), &out, count, 0);
  if (copied >= 0) {
    from_offset = static_cast<std::uint64_t>(in);
    to_offset = static_cast<std::uint64_t>(out);
    return {static_cast<std::size_t>(copied), 0, false};
  }
  if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
    // The kernel does not say which side failed; ask the source.
    char probe = 0;
    const bool reading = ::pread(fd(from), &probe, 1, static_cast<off_t>(from_offset)) < 0;
    return {0, last_error(), reading};
  }
  // No copy in the kernel between these files: through a buffer.
  static char buffer[1 << 16];
  const std::size_t want = count < sizeof buffer ? count : sizeof buffer;
  const ReadResult got = read(from, FileKind::disk, from_offset, {buffer, want});
  if (got.error != 0) return {0, got.error, true};
  if (const int error = write(to, FileKind::disk, to_offset, {buffer, got.got}); error != 0) {
    return {0, error, false};
  }
  from_offset += got.got;
  to_offset += got.got;
  return {got.got, 0, false};
}

bool exists_not_folder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

int rename_over(const std::string& from, const std::string& to) {
  if (const int e = injected(Call::rename)) return e;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : last_error();
}

int remove_file(const std::string& path) {
  return ::unlink(path.c_str()) == 0 ? 0 : last_error();
}

int flush_folder(const std::string& path) {
  const int h = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (h < 0) return last_error();
  const int error = flush_to_disk(h);
  ::close(h);
  return error;
}

std::string error_text(int error) {
  char buffer[256];
  // The GNU strerror_r may return a static text instead of filling buffer.
  return std::string(::strerror_r(error, buffer, sizeof buffer));
}

Handle standard_output() { return STDOUT_FILENO; }
Handle standard_error() { return STDERR_FILENO; }

TimeOfDay local_time_of_day() {
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  struct tm local {};
  ::localtime_r(&now.tv_sec, &local);
  return {local.tm_hour, local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec,
          static_cast<int>(now.tv_nsec / 1000000)};
}

long process_id() { return static_cast<long>(::getpid()); }

namespace {

InterruptHandler interrupt_handler = nullptr;

extern "C" void on_signal(int signal_number) {
  const char* event = signal_number == SIGINT    ? "control-C"
                      : signal_number == SIGQUIT ? "control-BREAK"
                                                 : "window-CLOSE";
  interrupt_handler(event, 128 + signal_number);
}

}  // namespace

void on_console_interrupt(InterruptHandler handler) {
  interrupt_handler = handler;
  struct sigaction action {};
  action.sa_handler = on_signal;
  sigfillset(&action.sa_mask);  // one interrupt at a time
  for (const int signal_number : {SIGINT, SIGQUIT, SIGHUP, SIGTERM}) {
    ::sigaction(signal_number, &action, nullptr);
  }
}

void report_broken_pipes_as_errors() { ::signal(SIGPIPE, SIG_IGN); }

void write_error_safely(std::string_view text) {
  while (!text.empty()) {
    const ssize_t put = ::write(STDERR_FILENO, text.data(), text.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(put));
  }
}

void remove_file_safely(const char* path) { ::unlink(path); }

}  // namespace quiltgrid::platform
