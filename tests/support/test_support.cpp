#include "support/test_support.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace quiltgrid::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "quiltgrid-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // A test may have taken write permission away; give it back first.
  for (auto it = fs::recursive_directory_iterator(path_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
  }
  fs::remove_all(path_, ignored);
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void write_file(const fs::path& path, const std::string& bytes) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string hex(double x) {
  char text[64];
  std::snprintf(text, sizeof text, "%a", x);
  return text;
}

std::vector<std::string> names_in(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void make_socket(const fs::path& path) {
  const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (s < 0 || path.string().size() >= sizeof address.sun_path) {
    throw std::runtime_error("cannot make a socket at " + path.string());
  }
  std::strcpy(address.sun_path, path.c_str());
  const int bound = ::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  ::close(s);
  if (bound != 0) throw std::runtime_error("cannot bind " + path.string());
}

namespace {

void drain(int out_fd, int err_fd, std::string& out, std::string& err) {
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  int open_count = (out_fd >= 0 ? 1 : 0) + (err_fd >= 0 ? 1 : 0);
  char buffer[65536];
  while (open_count > 0) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got <= 0) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      } else {
        (i == 0 ? out : err).append(buffer, static_cast<std::size_t>(got));
      }
    }
  }
}

// The command line that starts the program, without its arguments: the
// program itself, or for a Windows program the emulator and the launcher
// that sets its variables. Runs in the child, where it also sets wine's own
// variables.
std::vector<std::string> emulated_command(
    const fs::path& program,
    [[maybe_unused]] const std::map<std::string, std::optional<std::string>>& environment) {
#ifdef QUILTGRID_TOOL_EMULATOR
  if (program.extension() == ".exe") {
    ::setenv("WINEPREFIX", QUILTGRID_WINEPREFIX, 1);
    ::setenv("WINEDEBUG", "-all", 1);
    if (environment.empty()) return {QUILTGRID_TOOL_EMULATOR, program.string()};
    std::vector<std::string> command{QUILTGRID_TOOL_EMULATOR, QUILTGRID_WINDOWS_LAUNCHER};
    for (const auto& [name, value] : environment) {
      command.push_back(value ? name + "=" + *value : name);
    }
    command.push_back("--");
    command.push_back(tool_path_of(program));
    return command;
  }
#endif
  return {program.string()};
}

// A copy of the program that any user may run: the build folder may lie
// in a folder only its owner can enter. Made in the parent, once per
// program, and removed when the test program ends.
fs::path reachable_by_anyone(const fs::path& program) {
  static std::map<fs::path, fs::path> copies;
  static const TempDir folder;
  fs::permissions(folder.path(), static_cast<fs::perms>(0755));
  auto [at, made] = copies.try_emplace(program, folder / program.filename().string());
  if (made) {
    fs::copy_file(program, at->second, fs::copy_options::overwrite_existing);
    fs::permissions(at->second, static_cast<fs::perms>(0755));
  }
  return at->second;
}

[[noreturn]] void become_child(const fs::path& program, const RunOptions& options, int out_fd,
                               int err_fd) {
  ::dup2(out_fd, STDOUT_FILENO);
  ::dup2(err_fd, STDERR_FILENO);
  const int null_in = ::open("/dev/null", O_RDONLY);
  if (null_in >= 0) ::dup2(null_in, STDIN_FILENO);
  if (!options.working_directory.empty() && ::chdir(options.working_directory.c_str()) != 0) {
    std::perror("chdir");
    ::_exit(250);
  }
  for (const auto& [name, value] : options.environment) {
    if (value) {
      ::setenv(name.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name.c_str());
    }
  }
  if (options.as_user) {
    const passwd* user = ::getpwnam(options.as_user->c_str());
    if (user == nullptr || ::setgroups(0, nullptr) != 0 || ::setgid(user->pw_gid) != 0 ||
        ::setuid(user->pw_uid) != 0) {
      std::perror("setuid");
      ::_exit(251);
    }
  }
  std::vector<std::string> args = emulated_command(program, options.environment);
  args.insert(args.end(), options.arguments.begin(), options.arguments.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  ::execv(args.front().c_str(), argv.data());
  std::perror("execv");
  ::_exit(252);
}

}  // namespace

StartedProgram::StartedProgram(const fs::path& program, const RunOptions& options) {
  int out_pipe[2];
  int err_pipe[2];
  if (::pipe2(out_pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  if (::pipe2(err_pipe, O_CLOEXEC) != 0) {
    ::close(out_pipe[0]);
    ::close(out_pipe[1]);
    throw std::runtime_error("pipe failed");
  }
  const fs::path runnable = options.as_user ? reachable_by_anyone(program) : program;
  const pid_t child = ::fork();
  if (child < 0) {
    for (const int fd : {out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) ::close(fd);
    throw std::runtime_error("fork failed");
  }
  if (child == 0) become_child(runnable, options, out_pipe[1], err_pipe[1]);
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  pid_ = child;
  out_fd_ = out_pipe[0];
  err_fd_ = err_pipe[0];
}

StartedProgram::~StartedProgram() {
  if (pid_ < 0) return;
  ::kill(pid_, SIGKILL);
  wait();
}

bool StartedProgram::read_output_until(const std::string& text) {
  char buffer[4096];
  while (result_.out.find(text) == std::string::npos) {
    if (out_fd_ < 0) return false;
    const ssize_t got = ::read(out_fd_, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ::close(out_fd_);
      out_fd_ = -1;
      return false;
    }
    result_.out.append(buffer, static_cast<std::size_t>(got));
  }
  return true;
}

RunResult StartedProgram::wait() {
  if (pid_ < 0) return result_;
  drain(out_fd_, err_fd_, result_.out, result_.err);
  out_fd_ = err_fd_ = -1;
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  result_.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result_;
}

RunResult run_program(const fs::path& program, const RunOptions& options) {
  return StartedProgram(program, options).wait();
}

fs::path tool_binary() { return QUILTGRID_BINARY; }
fs::path fixtures_folder() { return QUILTGRID_FIXTURES; }

#ifdef QUILTGRID_TOOL_EMULATOR
bool tool_is_emulated() { return true; }

std::string tool_path_of(const fs::path& path) {
  std::string shown = "Z:" + path.string();
  for (char& c : shown) {
    if (c == '/') c = '\\';
  }
  return shown;
}
#else
bool tool_is_emulated() { return false; }

std::string tool_path_of(const fs::path& path) { return path.string(); }
#endif

}  // namespace quiltgrid::testing
