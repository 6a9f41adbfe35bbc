// Record requests as whole processes: the probe carries out a script of
// requests, and a failing one ends it as it ends the tool's run, with its
// diagnostic on standard error and its error number as exit status.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <variant>
#include <vector>

#include "support/test_support.h"
#include "textio/diagnostics.h"

namespace {

namespace fs = std::filesystem;
using namespace quiltgrid::textio;
using quiltgrid::testing::make_socket;
using quiltgrid::testing::names_in;
using quiltgrid::testing::read_file;
using quiltgrid::testing::RunOptions;
using quiltgrid::testing::RunResult;
using quiltgrid::testing::StartedProgram;
using quiltgrid::testing::TempDir;
using quiltgrid::testing::write_file;

const fs::path kProbe = TEXTIO_PROBE;

// "<dir>" in an expected text stands for the working folder as the system
// names it.
std::string in_folder(std::string text, const fs::path& folder) {
  const std::string marker = "<dir>";
  const std::string name = fs::canonical(folder).string();
  for (std::size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at)) {
    text.replace(at, marker.size(), name);
    at += name.size();
  }
  return text;
}

// The line of the system's own text that comes before some diagnostics.
std::string system_line(int error) { return "quiltgrid: " + std::string(std::strerror(error)) + "\n"; }

RunOptions script_in(const TempDir& dir, std::vector<std::string> script, bool as_nobody = false) {
  RunOptions options;
  options.working_directory = dir.path();
  options.arguments = std::move(script);
  if (as_nobody) options.as_user = "nobody";
  return options;
}


fs::perms mode_of(const fs::path& path) {
  return fs::status(path).permissions() & fs::perms::mask;
}

// A folder that the user "nobody" can enter and read, and files in it that
// belong to root.
void open_for_nobody(const fs::path& folder) {
  fs::permissions(folder, static_cast<fs::perms>(0755));
}


TEST(ImplicitConnection, ConnectsAnUnconnectedUnitToFortN) {
  struct Case {
    const char* name;
    std::vector<std::string> script;
    int exit_status;
    std::string out;
    std::string err;
    std::vector<std::pair<std::string, std::string>> files_after;
  };
  const Case cases[] = {
      {"a read looks for fort.100, which is missing",
       {"read", "100"},
       29,
       "",
       "quiltgrid: severe (29): file not found, unit 100, file <dir>/fort.100\n",
       {}},
      {"a read takes the records of fort.300",
       {"read", "300", "read", "300"},
       0,
       "one\r\ntwo\r\n",
       "",
       {{"fort.300", "one\r\ntwo\r\n"}}},
      {"a write creates fort.200",
       {"write", "200", "hello", "write", "200", "world"},
       0,
       "",
       "",
       {{"fort.200", "hello\r\nworld\r\n"}}},
      {"a closed unit is unconnected again",
       {"open", "300", "named.txt", "close", "300", "read", "300"},
       0,
       "one\r\n",
       "",
       {{"named.txt", ""}}},
      {"the end of fort.300 ends the run",
       {"read", "300", "read", "300", "read", "300"},
       24,
       "one\r\ntwo\r\n",
       "quiltgrid: severe (24): end-of-file during read, unit 300, file <dir>/fort.300\n",
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TempDir dir;
    write_file(dir / "fort.300", "one\r\ntwo\r\n");
    const RunResult r = run_program(kProbe, script_in(dir, c.script));
    EXPECT_EQ(r.exit_status, c.exit_status);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, in_folder(c.err, dir.path()));
    EXPECT_EQ(read_file(dir / "fort.300"), "one\r\ntwo\r\n");
    for (const auto& [name, bytes] : c.files_after) EXPECT_EQ(read_file(dir / name), bytes) << name;
    if (c.exit_status == 29) {
      EXPECT_FALSE(fs::exists(dir / "fort.100"));
    }
  }
}

// Each diagnostic of the error table as the layer writes it: provoked by a
// probe run where a real file can provoke it, else composed in-process.
TEST(Diagnostics, TextOfEachErrorNumber) {
  struct Provoked {
    std::vector<std::string> script;
    bool as_nobody = false;
  };
  struct Composed {
    int unit;
    std::string file;
    int os_error = 0;
  };
  struct Case {
    const char* name;
    int number;
    std::variant<Provoked, Composed> how;
    std::string expected;
  };
  const std::string long_name(300, 'n');
  const Case cases[] = {
      {"a folder as name", 9, Provoked{{"open", "100", "folder"}},
       "quiltgrid: severe (9): permission to access file denied, unit 100, file <dir>/folder\n"},
      {"a file that may not be read", 9, Provoked{{"open", "100", "secret.txt"}, true},
       "quiltgrid: severe (9): permission to access file denied, unit 100, file "
       "<dir>/secret.txt\n"},
      {"end of file during read", 24, Provoked{{"open", "100", "empty.txt", "read", "100"}},
       "quiltgrid: severe (24): end-of-file during read, unit 100, file <dir>/empty.txt\n"},
      {"close refused", 28, Composed{100, "/run/a.r2c", EIO},
       system_line(EIO) + "quiltgrid: severe (28): CLOSE error, unit 100, file /run/a.r2c\n"},
      {"a missing folder", 29, Provoked{{"open", "100", "tempr\\x.r2c"}},
       "quiltgrid: severe (29): file not found, unit 100, file <dir>/tempr/x.r2c\n"},
      {"too many open files", 30, Composed{200, "/run/m.r2c"},
       "quiltgrid: severe (30): open failure, unit 200, file /run/m.r2c\n"},
      {"any other refusal of an open", 30, Composed{200, "/run/m.r2c", EOVERFLOW},
       system_line(EOVERFLOW) + "quiltgrid: severe (30): open failure, unit 200, file /run/m.r2c\n"},
      {"a full device", 38, Provoked{{"open", "100", "/dev/full", "write", "100", "x"}},
       system_line(ENOSPC) + "quiltgrid: severe (38): error during write, unit 100, file /dev/full\n"},
      {"a read the system refuses", 39, Provoked{{"open", "100", "/proc/self/mem", "read", "100"}},
       system_line(EIO) +
           "quiltgrid: severe (39): error during read, unit 100, file /proc/self/mem\n"},
      {"no memory", 41, Composed{100, "/run/a.r2c"},
       "quiltgrid: severe (41): insufficient virtual memory\n"},
      {"a name no file can have", 42, Provoked{{"open", "100", "socket"}},
       "quiltgrid: severe (42): no such device, unit 100, file <dir>/socket\n"},
      {"a name too long", 43, Provoked{{"open", "100", long_name}},
       "quiltgrid: severe (43): file name specification error, unit 100, file <dir>/" + long_name +
           "\n"},
      {"a loop of links", 43, Provoked{{"open", "100", "loop-a"}},
       "quiltgrid: severe (43): file name specification error, unit 100, file <dir>/loop-a\n"},
      {"write to a read-only unit", 47,
       Provoked{{"open", "100", "readonly.txt", "read", "100", "write", "100", "x"}, true},
       "quiltgrid: severe (47): write to READONLY file, unit 100, file <dir>/readonly.txt\n"},
      {"a number of the wrong shape", 59, Provoked{{"open", "100", "syntax.txt", "readnums", "100", "1"}},
       "quiltgrid: severe (59): syntax error in free-form input, unit 100, file "
       "<dir>/syntax.txt\n"},
      {"a quoted text left open", 59, Provoked{{"open", "100", "quote.txt", "readtext", "100"}},
       "quiltgrid: severe (59): syntax error in free-form input, unit 100, file "
       "<dir>/quote.txt\n"},
      {"a repeat count with a point", 64,
       Provoked{{"open", "100", "conversion.txt", "readnums", "100", "3"}},
       "quiltgrid: severe (64): input conversion error, unit 100, file <dir>/conversion.txt\n"},
      {"an in-memory record", 64, Composed{kInMemoryUnit, std::string(kInMemoryName)},
       "quiltgrid: severe (64): input conversion error, unit -5, file Internal Formatted Read\n"},
      {"a grid size out of range", 66, Composed{100, "/run/a.r2c"},
       "quiltgrid: severe (66): invalid grid size, unit 100, file /run/a.r2c\n"},
      {"a command that is not a copy", 124, Provoked{{"run", "del tempr\\x.r2c"}},
       "quiltgrid: severe (124): invalid command\n"},
      {"a negative repeat count", 494,
       Provoked{{"open", "100", "negative.txt", "readnums", "100", "3"}},
       "quiltgrid: severe (494): Input repeat count not unsigned integer\n"},
      {"a repeat count of zero", 495, Provoked{{"open", "100", "zero.txt", "readnums", "100", "3"}},
       "quiltgrid: severe (495): Input repeat count of zero is an error\n"},
  };

  const TempDir dir;
  open_for_nobody(dir.path());
  fs::create_directory(dir / "folder");
  write_file(dir / "empty.txt", "");
  write_file(dir / "secret.txt", "x\r\n");
  fs::permissions(dir / "secret.txt", static_cast<fs::perms>(0600));
  write_file(dir / "readonly.txt", "first\r\n");
  fs::permissions(dir / "readonly.txt", static_cast<fs::perms>(0644));
  fs::create_symlink("loop-b", dir / "loop-a");
  fs::create_symlink("loop-a", dir / "loop-b");
  make_socket(dir / "socket");
  write_file(dir / "syntax.txt", "abc\r\n");
  write_file(dir / "quote.txt", "'abc\r\ndef\r\n");
  write_file(dir / "conversion.txt", "1.5*3\r\n");
  write_file(dir / "negative.txt", "-2*3\r\n");
  write_file(dir / "zero.txt", "0*3\r\n");

  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.number) + ": " + c.name);
    if (const auto* provoked = std::get_if<Provoked>(&c.how)) {
      const RunResult r = run_program(kProbe, script_in(dir, provoked->script, provoked->as_nobody));
      EXPECT_EQ(r.err, in_folder(c.expected, dir.path()));
      EXPECT_EQ(r.exit_status, c.number % 256);
    } else {
      const auto& composed = std::get<Composed>(c.how);
      EXPECT_EQ(diagnostic_text(Severity::severe, c.number, composed.unit, composed.file,
                                composed.os_error),
                c.expected);
    }
  }
  // The failures changed no file.
  EXPECT_EQ(read_file(dir / "readonly.txt"), "first\r\n");
  EXPECT_EQ(read_file(dir / "empty.txt"), "");
  EXPECT_FALSE(fs::exists(dir / "tempr"));
}

TEST(EndOfRun, ClosesFilesKeepingTheirRecords) {
  std::string old;
  for (int i = 0; i < 1000; ++i) old += "old line " + std::to_string(i) + "\r\n";
  struct Case {
    const char* name;
    std::vector<std::string> ending;
    int exit_status;
  };
  const Case cases[] = {
      {"a normal end", {}, 0},
      {"a diagnostic", {"open", "300", "empty.txt", "read", "300"}, 24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TempDir dir;
    write_file(dir / "merged.r2c", old);
    write_file(dir / "regional.r2c", "header\r\nframe\r\n");
    write_file(dir / "empty.txt", "");
    std::vector<std::string> script{"open",  "100",    "regional.r2c", "read",  "100",
                                    "open",  "200",    "merged.r2c",   "write", "200",
                                    "first", "write",  "200",          "second"};
    script.insert(script.end(), c.ending.begin(), c.ending.end());
    const RunResult r = run_program(kProbe, script_in(dir, script));
    EXPECT_EQ(r.exit_status, c.exit_status);
    EXPECT_EQ(r.out, "header\r\n");
    EXPECT_EQ(read_file(dir / "merged.r2c"), "first\r\nsecond\r\n");
    EXPECT_EQ(read_file(dir / "regional.r2c"), "header\r\nframe\r\n");
    EXPECT_EQ(read_file(dir / "empty.txt"), "");
  }
}

TEST(Interrupts, EndTheRunWithTheirEventAndKeepTheRecords) {
  struct Case {
    int signal_number;
    const char* event;
    int exit_status;
  };
  const Case cases[] = {
      {SIGINT, "control-C", 130},
      {SIGQUIT, "control-BREAK", 131},
      {SIGTERM, "window-CLOSE", 143},
      {SIGHUP, "window-CLOSE", 129},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.event + std::string(" by signal ") + std::to_string(c.signal_number));
    const TempDir dir;
    StartedProgram probe(kProbe, script_in(dir, {"open", "200", "merged.r2c", "write", "200",
                                                 "written before", "handle-interrupts", "sleep"}));
    ASSERT_TRUE(probe.read_output_until("ready\r\n"));
    ASSERT_EQ(::kill(probe.pid(), c.signal_number), 0);
    const RunResult r = probe.wait();
    EXPECT_EQ(r.err, "quiltgrid: error (200): program aborting due to " + std::string(c.event) +
                         " event\n");
    EXPECT_EQ(r.exit_status, c.exit_status);
    EXPECT_EQ(r.out, "ready\r\n");
    EXPECT_EQ(read_file(dir / "merged.r2c"), "written before\r\n");
  }
}

// Bytes of every value, line ends and NULs among them, as a grid file never
// holds but a copy must carry.
std::string raw_bytes(std::size_t size) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string bytes(size, '\0');
  for (char& b : bytes) b = static_cast<char>(byte(random));
  return bytes;
}

TEST(Copy, ReplacesTheTargetByTheSourcesBytes) {
  struct Case {
    const char* name;
    std::string source;
    std::optional<std::string> target;  // none: no target file before
    bool absolute_names;
  };
  const Case cases[] = {
      {"over a longer target", "merged\r\nframes\r\n", std::string(5000, 't'), false},
      {"over a shorter target", std::string(70000, 'm'), "old\r\n", false},
      {"to a new target", "merged\r\n", std::nullopt, false},
      {"an empty source", "", "old\r\n", false},
      {"several MiB of any bytes", raw_bytes(5 << 20), "old\r\n", false},
      {"full names", "merged\r\n", "old\r\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TempDir dir;
    const fs::path source = dir / "tempr" / "merged_regl_tmp.r2c";
    const fs::path target = dir / "tempr" / "20250101_regl_tmp.r2c";
    write_file(source, c.source);
    fs::permissions(source, static_cast<fs::perms>(0640));
    if (c.target) {
      write_file(target, *c.target);
      fs::permissions(target, static_cast<fs::perms>(0600));
    }
    const std::string command =
        c.absolute_names ? "copy " + source.string() + " " + target.string()
                         : "copy tempr\\merged_regl_tmp.r2c tempr\\20250101_regl_tmp.r2c";
    const RunResult r = run_program(kProbe, script_in(dir, {"run", command, "write", "-1", "on"}));
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "on\r\n") << "the run goes on after the copy";
    EXPECT_TRUE(read_file(target) == c.source);
    EXPECT_TRUE(read_file(source) == c.source);
    // The replaced target keeps its permissions; a new one takes the source's.
    EXPECT_EQ(mode_of(target), static_cast<fs::perms>(c.target ? 0600 : 0640));
    EXPECT_EQ(names_in(dir / "tempr"),
              (std::vector<std::string>{"20250101_regl_tmp.r2c", "merged_regl_tmp.r2c"}));
  }
}

TEST(Copy, ATargetThatIsALinkStaysALink) {
  const TempDir dir;
  write_file(dir / "tempr" / "merged_regl_tmp.r2c", "merged\r\n");
  write_file(dir / "store" / "regional.r2c", "old\r\n");
  fs::create_symlink("../store/regional.r2c", dir / "tempr" / "20250101_regl_tmp.r2c");
  const RunResult r = run_program(
      kProbe, script_in(dir, {"run", "copy tempr\\merged_regl_tmp.r2c tempr\\20250101_regl_tmp.r2c"}));
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(dir / "tempr" / "20250101_regl_tmp.r2c"));
  EXPECT_EQ(read_file(dir / "store" / "regional.r2c"), "merged\r\n");
  EXPECT_EQ(names_in(dir / "store"), std::vector<std::string>{"regional.r2c"});
}

TEST(Copy, FailingCopyLeavesTheTargetAsItWas) {
  struct Case {
    const char* name;
    std::string command;
    bool as_nobody;
    int exit_status;
    std::string err;
  };
  const Case cases[] = {
      {"the target's folder is missing", "copy tempr\\merged.r2c missing\\regl.r2c", false, 29,
       system_line(ENOENT) +
           "quiltgrid: severe (29): file not found, unit 100, file <dir>/missing/regl.r2c\n"},
      {"the source is missing", "copy tempr\\nothing.r2c tempr\\regl.r2c", false, 29,
       system_line(ENOENT) +
           "quiltgrid: severe (29): file not found, unit 200, file <dir>/tempr/nothing.r2c\n"},
      {"the source is a folder", "copy tempr tempr\\regl.r2c", false, 9,
       system_line(EISDIR) +
           "quiltgrid: severe (9): permission to access file denied, unit 200, file <dir>/tempr\n"},
      {"the target is a folder", "copy tempr\\merged.r2c tempr\\sub", false, 38,
       system_line(EISDIR) +
           "quiltgrid: severe (38): error during write, unit 100, file <dir>/tempr/sub\n"},
      {"the target's folder may not be written", "copy tempr\\merged.r2c tempr\\regl.r2c", true,
       9,
       system_line(EACCES) + "quiltgrid: severe (9): permission to access file denied, unit 100, "
                             "file <dir>/tempr/regl.r2c\n"},
      {"not a copy", "move tempr\\merged.r2c tempr\\regl.r2c", false, 124,
       "quiltgrid: severe (124): invalid command\n"},
      {"a copy of one name", "copy tempr\\merged.r2c", false, 124,
       "quiltgrid: severe (124): invalid command\n"},
      {"a copy of three names", "copy tempr\\merged.r2c tempr\\regl.r2c x", false, 124,
       "quiltgrid: severe (124): invalid command\n"},
      {"two blanks after the verb", "copy  tempr\\merged.r2c tempr\\regl.r2c", false, 124,
       "quiltgrid: severe (124): invalid command\n"},
      {"a blank at the end", "copy tempr\\merged.r2c tempr\\regl.r2c ", false, 124,
       "quiltgrid: severe (124): invalid command\n"},
      {"the verb in capitals", "COPY tempr\\merged.r2c tempr\\regl.r2c", false, 124,
       "quiltgrid: severe (124): invalid command\n"},
      {"an empty command", "", false, 124, "quiltgrid: severe (124): invalid command\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TempDir dir;
    open_for_nobody(dir.path());
    write_file(dir / "tempr" / "merged.r2c", "merged\r\n");
    write_file(dir / "tempr" / "regl.r2c", "regional\r\n");
    fs::permissions(dir / "tempr" / "merged.r2c", static_cast<fs::perms>(0644));
    fs::create_directory(dir / "tempr" / "sub");
    const std::vector<std::string> before = names_in(dir / "tempr");
    const RunResult r =
        run_program(kProbe, script_in(dir, {"run", c.command, "write", "-1", "on"}, c.as_nobody));
    EXPECT_EQ(r.exit_status, c.exit_status);
    EXPECT_EQ(r.err, in_folder(c.err, dir.path()));
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(read_file(dir / "tempr" / "regl.r2c"), "regional\r\n");
    EXPECT_EQ(read_file(dir / "tempr" / "merged.r2c"), "merged\r\n");
    EXPECT_EQ(names_in(dir / "tempr"), before) << "a temporary file was left";
    EXPECT_TRUE(fs::is_empty(dir / "tempr" / "sub"));
    EXPECT_FALSE(fs::exists(dir / "missing"));
  }
}

}  // namespace
