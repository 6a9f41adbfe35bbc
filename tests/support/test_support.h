// What the tests share: temporary working folders, whole-file reads and
// writes, and running a program the way a user would.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quiltgrid::testing {

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// The whole file as bytes; aborts the test program if it cannot be read.
std::string read_file(const std::filesystem::path& path);
// Writes the bytes, creating folders on the way.
void write_file(const std::filesystem::path& path, const std::string& bytes);

// A double as its exact hexadecimal text ("%a"), for test traces.
std::string hex(double x);

// The names a folder holds, sorted: to see that nothing was left behind.
std::vector<std::string> names_in(const std::filesystem::path& folder);

// A socket in the file system: a name that no open can connect.
void make_socket(const std::filesystem::path& path);

struct RunResult {
  int exit_status = -1;  // the exit status, or 128 + signal when killed
  std::string out;       // standard output
  std::string err;       // standard error
};

struct RunOptions {
  std::filesystem::path working_directory;
  std::vector<std::string> arguments;
  // Variables to set (or, with no value, to remove) on top of the test's
  // own environment.
  std::map<std::string, std::optional<std::string>> environment;
  // Runs the program as this user and group (names), as root only.
  std::optional<std::string> as_user;
};

// Runs the program to its end and collects what it wrote.
//
// In a build whose tool is the Windows build (tool_is_emulated()), a
// program whose name ends in ".exe" runs under wine, in the build's own
// prefix and without wine's debug output. The variables of `environment`
// then reach it through a small Windows launcher, since wine lays the
// variables of its registry (COMSPEC among them) over those that a program
// started from outside inherits.
RunResult run_program(const std::filesystem::path& program, const RunOptions& options);

// A program running beside the test, for a test that acts on it while it
// runs (sends it a signal, say). A program not waited for is killed and
// reaped when the object goes, so a failing test leaves no process behind.
class StartedProgram {
 public:
  StartedProgram(const std::filesystem::path& program, const RunOptions& options);
  ~StartedProgram();
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;

  int pid() const { return pid_; }

  // Reads the program's standard output until what it wrote so far holds
  // `text`; false when the program closes its standard output first.
  bool read_output_until(const std::string& text);

  // Reads both streams to their end and waits for the program to end;
  // once it has ended, gives the same result again.
  RunResult wait();

 private:
  int pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  RunResult result_;
};

// The tool's binary and the folder of the test fixtures, as the build
// gives them.
std::filesystem::path tool_binary();
std::filesystem::path fixtures_folder();

// True when tool_binary() is the Windows build, run under wine.
bool tool_is_emulated();

// The full path of a file as the tool names it: the path itself, or for the
// Windows build the path on wine's drive Z: (the root of this machine) with
// backslashes, such as Z:\tmp\quiltgrid-test-x\tempr\merged_regl_tmp.r2c.
std::string tool_path_of(const std::filesystem::path& path);

}  // namespace quiltgrid::testing
