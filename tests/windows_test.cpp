// What only the Windows build does, on quiltgrid.exe under wine: the copy
// by the command interpreter that COMSPEC names, the sharing of files with
// other programs and its read-only fallback, and control-C.
//
// Every run starts from the inputs of the end-to-end case main_path; its
// expected files tell what a complete run writes.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>

#include "support/test_support.h"

namespace quiltgrid::testing {
namespace {

namespace fs = std::filesystem;

const std::string kRegional = "tempr/20250101_regl_tmp.r2c";
const std::string kMerged = "tempr/merged_regl_tmp.r2c";
const std::string kForecast = "tempr/20250101_RDPS_tmp.r2c";

// The command line the interpreter is given, as the fake interpreter
// shows it.
const std::string kInterpreterLine =
    "interpreter: /S /C \"copy tempr\\merged_regl_tmp.r2c tempr\\20250101_regl_tmp.r2c\"\r\n";
const std::string kInvalidCommand = "quiltgrid: severe (124): invalid command\n";

// wine ends with the low byte of the Windows exit status.
constexpr int seen_by_posix(unsigned windows_status) {
  return static_cast<int>(windows_status & 0xFFU);
}

fs::path helper(const std::string& name) { return fs::path(QUILTGRID_WINDOWS_HELPERS) / name; }

fs::path main_case() { return fixtures_folder() / "e2e" / "main_path"; }

std::string expected_file(const std::string& name) {
  return read_file(main_case() / "expected" / name);
}
std::string input_file(const std::string& name) { return read_file(main_case() / "in" / name); }

// The console of a complete run, split before the closing banner.
struct Console {
  std::string lines;   // up to the last frame line
  std::string banner;  // the closing banner
};

Console complete_console() {
  const std::string out = expected_file("stdout");
  const std::size_t banner = out.find(" " + std::string(56, '*') + "\r\n");
  return {out.substr(0, banner), out.substr(banner)};
}

void lay_out(const TempDir& dir) {
  fs::copy(main_case() / "in", dir.path(), fs::copy_options::recursive);
}

std::string run_report(const TempDir& dir) {
  return fs::exists(dir / "runReport.txt") ? read_file(dir / "runReport.txt") : std::string();
}

RunOptions in_folder(const TempDir& dir) {
  RunOptions options;
  options.working_directory = dir.path();
  return options;
}

// The full path of a file of the working folder as the tool names it.
std::string shown(const TempDir& dir, const std::string& name) {
  return tool_path_of(fs::canonical(dir.path()) / name);
}

TEST(Interpreter, OnlyACopyThatSucceedsLetsTheRunEndNormally) {
  struct Case {
    const char* what;
    std::optional<std::string> comspec;  // no value: COMSPEC removed
    std::optional<std::string> status;   // the fake interpreter's exit status, when it runs
    int exit_status;
  };
  const std::string fake = tool_path_of(helper("fake_interpreter.exe"));
  const Case cases[] = {
      {"the interpreter ends with 1", fake, "1", 124},
      {"the interpreter ends with 255", fake, "255", 124},
      {"the interpreter cannot be started", "Z:\\no such folder\\cmd.exe", std::nullopt, 124},
      {"COMSPEC is not set", std::nullopt, std::nullopt, 124},
      // The tool goes by the interpreter's status alone: this one copies
      // nothing and says it succeeded.
      {"the interpreter ends with 0", fake, "0", 0},
  };
  const Console console = complete_console();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    lay_out(dir);
    RunOptions options = in_folder(dir);
    options.environment["COMSPEC"] = c.comspec;
    if (c.status) options.environment["FAKE_INTERPRETER_STATUS"] = *c.status;

    const RunResult r = run_program(tool_binary(), options);

    EXPECT_EQ(r.exit_status, c.exit_status);
    // What the interpreter writes shows between the tool's own lines.
    const std::string interpreter = c.status ? kInterpreterLine : "";
    if (c.exit_status == 0) {
      EXPECT_EQ(r.out, console.lines + interpreter + console.banner);
      EXPECT_EQ(r.err, "");
      EXPECT_NE(run_report(dir).find("normal ending"), std::string::npos);
    } else {
      EXPECT_EQ(r.out, console.lines + interpreter);
      EXPECT_EQ(r.err, kInvalidCommand);
      EXPECT_EQ(run_report(dir).find("normal ending"), std::string::npos) << run_report(dir);
      EXPECT_NE(run_report(dir).find("started"), std::string::npos) << run_report(dir);
    }
    // The merged file is complete before the copy; nothing copied it.
    EXPECT_EQ(read_file(dir / kMerged), expected_file(kMerged));
    EXPECT_EQ(read_file(dir / kRegional), input_file(kRegional));
  }
}

// Another program holds a grid file open while the tool runs.
TEST(Sharing, AFileHeldByAnotherProgramEndsTheRunLoudly) {
  struct Case {
    const char* what;
    std::string held;
    bool exclusive;  // the other program lets nobody else open the file
    int exit_status;
  };
  const Case cases[] = {
      // The tool can only read it beside the writer: the unit is read-only,
      // and the first record written to it ends the run.
      {"the merged file held for writing", kMerged, false, 47},
      // Not even reading: the open fails, with the system's own text.
      {"the merged file held for everything", kMerged, true, 30},
      // The tool reads it beside the writer, but the interpreter's copy
      // over it fails.
      {"the regional file held for writing", kRegional, false, 124},
  };
  const std::string earlier_run = "a merged file left by an earlier run\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    lay_out(dir);
    if (c.held == kMerged) write_file(dir / kMerged, earlier_run);
    const std::string held_before = read_file(dir / c.held);

    RunOptions hold = in_folder(dir);
    hold.arguments = {shown(dir, c.held), shown(dir, "release")};
    if (c.exclusive) hold.arguments.push_back("exclusive");
    StartedProgram holder(helper("hold_open.exe"), hold);
    ASSERT_TRUE(holder.read_output_until("held\r\n"));

    const RunResult r = run_program(tool_binary(), in_folder(dir));

    write_file(dir / "release", "");
    EXPECT_EQ(holder.wait().exit_status, 0);
    fs::remove(dir / "release");

    EXPECT_EQ(r.exit_status, c.exit_status);
    const std::string merged = shown(dir, kMerged);
    switch (c.exit_status) {
      case 47:
        EXPECT_EQ(r.err, "quiltgrid: severe (47): write to READONLY file, unit 200, file " +
                             merged + "\n");
        break;
      case 30: {
        // The system's line comes first, without a line end of its own.
        const std::size_t cut = r.err.find('\n') + 1;
        const std::string system_line = r.err.substr(0, cut);
        EXPECT_TRUE(system_line.starts_with("quiltgrid: ") && system_line.size() > 12 &&
                    system_line.find('\r') == std::string::npos)
            << r.err;
        EXPECT_EQ(r.err.substr(cut),
                  "quiltgrid: severe (30): open failure, unit 200, file " + merged + "\n");
        break;
      }
      default:
        // The interpreter's own complaint, then the tool's diagnostic.
        ASSERT_GT(r.err.size(), kInvalidCommand.size()) << r.err;
        EXPECT_TRUE(r.err.ends_with(kInvalidCommand)) << r.err;
        EXPECT_EQ(read_file(dir / kMerged), expected_file(kMerged));
        break;
    }
    EXPECT_EQ(read_file(dir / c.held), held_before) << "the held file changed";
    EXPECT_EQ(read_file(dir / kRegional), input_file(kRegional));
    EXPECT_EQ(run_report(dir).find("normal ending"), std::string::npos) << run_report(dir);
  }
}

TEST(Interrupts, ControlCEndsTheRunWithTheStatusOfAnInterruptedProgram) {
  TempDir dir;
  lay_out(dir);
  // A forecast file that never delivers a byte holds the run in the
  // forecast pass until the interrupt comes.
  fs::remove(dir / kForecast);
  ASSERT_EQ(::mkfifo((dir / kForecast).c_str(), 0644), 0);
  StartedProgram tool(tool_binary(), in_folder(dir));
  ASSERT_TRUE(tool.read_output_until(" frameNo ="));

  // wine turns SIGINT into the console's control-C event.
  ASSERT_EQ(::kill(tool.pid(), SIGINT), 0);
  const RunResult r = tool.wait();

  EXPECT_EQ(r.exit_status, seen_by_posix(0xC000013AU));
  EXPECT_EQ(r.err, "quiltgrid: error (200): program aborting due to control-C event\n");
  EXPECT_EQ(run_report(dir).find("normal ending"), std::string::npos) << run_report(dir);
  EXPECT_EQ(read_file(dir / kRegional), input_file(kRegional));
}

}  // namespace
}  // namespace quiltgrid::testing
