// Every fault a run can meet, survived: the regional file is either as it
// was or holds the complete merged content, the failure is loud, and
// nothing already written is lost.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <regex>
#include <thread>

#include "support/test_support.h"

namespace quiltgrid::testing {
namespace {

namespace fs = std::filesystem;

const std::string kRegional = "tempr/20250101_regl_tmp.r2c";
const std::string kForecast = "tempr/20250101_RDPS_tmp.r2c";
const std::string kMerged = "tempr/merged_regl_tmp.r2c";

// A pair made by the sample generator, and what a clean run makes of it.
struct Pair {
  std::string regional;
  std::string forecast;
  std::string merged;  // the regional file after a normal run
};

Pair make_pair(const std::vector<std::string>& generator_options) {
  TempDir dir;
  RunOptions generate;
  generate.arguments = generator_options;
  generate.arguments.push_back(dir.path().string());
  const RunResult made = run_program(QUILTGRID_GENERATOR, generate);
  if (made.exit_status != 0) throw std::runtime_error("generator failed: " + made.err);
  Pair pair{read_file(dir / kRegional), read_file(dir / kForecast), {}};
  const RunResult run = run_program(tool_binary(), {dir.path(), {}, {}, {}});
  if (run.exit_status != 0) throw std::runtime_error("clean run failed: " + run.err);
  pair.merged = read_file(dir / kRegional);
  return pair;
}

const Pair& small_pair() {
  static const Pair pair = make_pair({"--columns", "5", "--rows", "3", "--step-minutes", "10080",
                                      "--regional-until", "2025-07-09", "--forecast-days", "15"});
  return pair;
}

const Pair& medium_pair() {
  static const Pair pair = make_pair({"--columns", "100", "--rows", "80", "--step-minutes", "1440",
                                      "--regional-until", "2025-07-05", "--forecast-days", "30"});
  return pair;
}

void lay_out(const TempDir& dir, const Pair& pair) {
  write_file(dir / kRegional, pair.regional);
  write_file(dir / kForecast, pair.forecast);
}


const std::vector<std::string> kGridFileNames{"20250101_RDPS_tmp.r2c", "20250101_regl_tmp.r2c",
                                              "merged_regl_tmp.r2c"};

// The regional file is one of its two allowed states.
void expect_regional_whole(const TempDir& dir, const Pair& pair) {
  const std::string regional = read_file(dir / kRegional);
  EXPECT_TRUE(regional == pair.regional || regional == pair.merged)
      << "the regional file is neither the original nor the merged content ("
      << regional.size() << " bytes)";
}

// The file each unit names in a diagnostic.
std::string file_of_unit(const TempDir& dir, int unit) {
  switch (unit) {
    case -1: return "stdout";
    case 99: return (dir / "runReport.txt").string();
    case 100: return (dir / kRegional).string();
    case 200: return (dir / kMerged).string();
    case 300: return (dir / kForecast).string();
    default: return "?";
  }
}

struct FaultKind {
  std::string kind;
  int error;            // the errno injected
  int expected_number;  // the diagnostic number the layer gives for it
};

// A sweep over every call of each kind a whole normal run makes: the Nth
// call fails, for N = 1, 2, ... until a run no longer reaches an Nth call.
TEST(FaultSweep, EveryInjectedFaultEndsLoudlyAndLosesNothing) {
  const std::vector<FaultKind> kinds{
      {"open", EIO, 30},  {"read", EIO, 39},   {"write", ENOSPC, 38}, {"truncate", EIO, 38},
      {"fsync", EIO, 38}, {"rename", EIO, 38}, {"close", EIO, 28},
  };
  const std::regex diagnostic(
      "quiltgrid: ([^\n]+)\nquiltgrid: severe \\(([0-9]+)\\): [^\n]*unit (-?[0-9]+), file ([^\n]*)\n");
  int injected = 0;
  for (const FaultKind& fault : kinds) {
    for (int n = 1;; ++n) {
      SCOPED_TRACE(fault.kind + " call " + std::to_string(n));
      TempDir dir;
      lay_out(dir, small_pair());
      const fs::path hit = dir / "fault-hit";
      RunOptions options{dir.path(), {}, {}, {}};
      options.environment["QUILTGRID_FAULT"] =
          fault.kind + ":" + std::to_string(n) + ":" + std::to_string(fault.error);
      options.environment["QUILTGRID_FAULT_HIT"] = hit.string();
      const RunResult r = run_program(QUILTGRID_FAULTY_BINARY, options);
      if (!fs::exists(hit)) {
        // The run made fewer calls of this kind: the sweep of it is done.
        EXPECT_EQ(r.exit_status, 0) << r.err;
        EXPECT_EQ(read_file(dir / kRegional), small_pair().merged);
        break;
      }
      ++injected;
      expect_regional_whole(dir, small_pair());
      for (const std::string& name : names_in(dir / "tempr")) {
        EXPECT_NE(std::find(kGridFileNames.begin(), kGridFileNames.end(), name),
                  kGridFileNames.end())
            << "left in tempr: " << name;
      }
      const std::string report =
          fs::exists(dir / "runReport.txt") ? read_file(dir / "runReport.txt") : "";
      const bool ended_normally = report.find("normal ending") != std::string::npos;
      if (r.exit_status == 0) {
        // Only a close whose failure loses nothing (the copy's source, read
        // to its end) may pass unreported.
        EXPECT_EQ(fault.kind, "close") << r.err;
        EXPECT_EQ(read_file(dir / kRegional), small_pair().merged);
        continue;
      }
      std::smatch m;
      ASSERT_TRUE(std::regex_match(r.err, m, diagnostic)) << r.err;
      EXPECT_EQ(m[1].str(), std::strerror(fault.error));
      const int number = std::stoi(m[2].str());
      const int unit = std::stoi(m[3].str());
      // A failed close of the temporary file is a failed write of the copy.
      const bool copy_close = fault.kind == "close" && unit == 100 && number == 38;
      EXPECT_TRUE(r.exit_status == fault.expected_number || copy_close) << r.err;
      EXPECT_EQ(number, r.exit_status);
      EXPECT_EQ(m[4].str(), file_of_unit(dir, unit)) << r.err;
      // Only what follows the end line's write may fail after it: its
      // truncate and close, and the banner.
      if (ended_normally) {
        EXPECT_TRUE(unit == -1 || unit == 99) << report;
        EXPECT_EQ(read_file(dir / kRegional), small_pair().merged);
      }
      if (unit != 99) {
        EXPECT_EQ(report.substr(0, 24), " quiltgrid.exe - started") << report;
      }
    }
  }
  std::cout << "[ sweep    ] " << injected << " injected faults\n";
  EXPECT_GT(injected, 100);
}

TEST(RealFaults, MergedFileOnAFullDisk) {
  TempDir dir;
  lay_out(dir, small_pair());
  fs::create_symlink("/dev/full", dir / kMerged);
  const RunResult r = run_program(tool_binary(), {dir.path(), {}, {}, {}});
  EXPECT_EQ(r.exit_status, 38);
  EXPECT_EQ(r.err, "quiltgrid: No space left on device\nquiltgrid: severe (38): error during "
                   "write, unit 200, file " + (dir / kMerged).string() + "\n");
  EXPECT_EQ(read_file(dir / kRegional), small_pair().regional);
}

TEST(RealFaults, InputsThatAreFoldersOrUnreadable) {
  struct Case {
    std::string name;
    std::string file;  // the input made a folder, or unreadable
    bool folder;
    int unit;
  };
  const std::vector<Case> cases{
      {"regional folder", kRegional, true, 100},
      {"forecast folder", kForecast, true, 300},
      {"regional unreadable", kRegional, false, 100},
      {"forecast unreadable", kForecast, false, 300},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    lay_out(dir, small_pair());
    RunOptions options{dir.path(), {}, {}, {}};
    if (c.folder) {
      fs::remove(dir / c.file);
      fs::create_directory(dir / c.file);
    } else {
      // Permission bits do not stop root: this run is an unprivileged user's.
      fs::permissions(dir.path(), fs::perms::all);
      fs::permissions(dir / "tempr", fs::perms::all);
      fs::permissions(dir / kRegional, fs::perms::all);
      fs::permissions(dir / kForecast, fs::perms::all);
      fs::permissions(dir / c.file, fs::perms::none);
      options.as_user = "nobody";
    }
    const RunResult r = run_program(tool_binary(), options);
    EXPECT_EQ(r.exit_status, 9);
    EXPECT_EQ(r.err, "quiltgrid: severe (9): permission to access file denied, unit " +
                         std::to_string(c.unit) + ", file " + (dir / c.file).string() + "\n");
    if (c.file != kRegional) {
      EXPECT_EQ(read_file(dir / kRegional), small_pair().regional);
    }
  }
}

// Runs the tool with its standard output a pipe whose reader has gone.
RunResult run_with_closed_console(const fs::path& folder) {
  int console[2];
  int errors[2];
  if (::pipe(console) != 0 || ::pipe(errors) != 0) throw std::runtime_error("pipe");
  ::close(console[0]);
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(console[1], STDOUT_FILENO);
    ::dup2(errors[1], STDERR_FILENO);
    if (::chdir(folder.c_str()) != 0) ::_exit(250);
    ::execl(tool_binary().c_str(), "quiltgrid", static_cast<char*>(nullptr));
    ::_exit(252);
  }
  ::close(console[1]);
  ::close(errors[1]);
  RunResult r;
  char buffer[4096];
  for (ssize_t got; (got = ::read(errors[0], buffer, sizeof buffer)) > 0;) {
    r.err.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(errors[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  r.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return r;
}

TEST(RealFaults, ConsoleThatGoesAway) {
  TempDir dir;
  lay_out(dir, small_pair());
  const RunResult r = run_with_closed_console(dir.path());
  EXPECT_EQ(r.exit_status, 38);
  EXPECT_EQ(r.err, "quiltgrid: Broken pipe\nquiltgrid: severe (38): error during write, unit -1, "
                   "file stdout\n");
  EXPECT_EQ(read_file(dir / kRegional), small_pair().regional);
}

// Starts the tool in the background, its console thrown away and its
// diagnostics into `errors` (or thrown away too).
pid_t start_tool(const fs::path& folder, const fs::path& errors = "/dev/null") {
  const pid_t child = ::fork();
  if (child == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    const int err = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    if (::chdir(folder.c_str()) != 0) ::_exit(250);
    ::execl(tool_binary().c_str(), "quiltgrid", static_cast<char*>(nullptr));
    ::_exit(252);
  }
  return child;
}

int wait_for(pid_t child) {
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// How long a whole run of the medium pair takes here, to aim the signals.
std::chrono::microseconds run_time() {
  TempDir dir;
  lay_out(dir, medium_pair());
  const auto start = std::chrono::steady_clock::now();
  wait_for(start_tool(dir.path()));
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                               start);
}

bool temporary_left(const fs::path& tempr) { return names_in(tempr).size() > 3; }

TEST(Crashes, KilledAtRandomMomentsTheRegionalFileStaysWhole) {
  const auto whole_run = run_time();
  std::mt19937 random(20250701);
  // Aim over the whole run and a little beyond, most often near its end,
  // where the replacement of the regional file happens.
  std::uniform_int_distribution<long> anywhere(0, whole_run.count() * 11 / 10);
  std::uniform_int_distribution<long> near_end(whole_run.count() * 7 / 10, whole_run.count());
  int runs = 0;
  int during_replacement = 0;
  for (int i = 0; i < 60; ++i) {
    TempDir dir;
    lay_out(dir, medium_pair());
    const pid_t tool = start_tool(dir.path());
    std::this_thread::sleep_for(std::chrono::microseconds(i % 2 == 0 ? anywhere(random)
                                                                     : near_end(random)));
    ::kill(tool, SIGKILL);
    wait_for(tool);
    ++runs;
    if (temporary_left(dir / "tempr")) ++during_replacement;
    expect_regional_whole(dir, medium_pair());
    // The next run still works, whatever the killed one left. (A merged
    // regional file merges again without its first header record, which
    // never reaches a merged file.)
    const bool replaced = read_file(dir / kRegional) == medium_pair().merged;
    const RunResult next = run_program(tool_binary(), {dir.path(), {}, {}, {}});
    EXPECT_EQ(next.exit_status, 0) << next.err;
    if (!replaced) {
      EXPECT_EQ(read_file(dir / kRegional), medium_pair().merged);
    }
  }
  std::cout << "[ kill -9  ] " << runs << " runs, " << during_replacement
            << " killed during the replacement\n";
}

TEST(Crashes, InterruptedAtRandomMomentsEndsLoudlyAndLeavesNoTemporaryFile) {
  const auto whole_run = run_time();
  std::mt19937 random(20250702);
  std::uniform_int_distribution<long> anywhere(0, whole_run.count());
  int interrupted = 0;
  for (int i = 0; i < 40; ++i) {
    TempDir dir;
    lay_out(dir, medium_pair());
    const pid_t tool = start_tool(dir.path());
    std::this_thread::sleep_for(std::chrono::microseconds(anywhere(random)));
    ::kill(tool, SIGINT);
    const int status = wait_for(tool);
    EXPECT_TRUE(status == 130 || status == 0) << status;
    if (status == 130) ++interrupted;
    expect_regional_whole(dir, medium_pair());
    EXPECT_FALSE(temporary_left(dir / "tempr"));
    const std::string report =
        fs::exists(dir / "runReport.txt") ? read_file(dir / "runReport.txt") : "";
    if (status == 130) {
      EXPECT_EQ(report.find("normal ending"), std::string::npos);
    }
  }
  std::cout << "[ SIGINT   ] " << interrupted << " of 40 runs interrupted\n";
  EXPECT_GT(interrupted, 10);
}

TEST(Crashes, InterruptShowsItsDiagnostic) {
  TempDir dir;
  lay_out(dir, medium_pair());
  const RunResult r = [&] {
    int errors[2];
    if (::pipe(errors) != 0) throw std::runtime_error("pipe");
    const pid_t child = ::fork();
    if (child == 0) {
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, STDOUT_FILENO);
      ::dup2(errors[1], STDERR_FILENO);
      if (::chdir(dir.path().c_str()) != 0) ::_exit(250);
      ::execl(tool_binary().c_str(), "quiltgrid", static_cast<char*>(nullptr));
      ::_exit(252);
    }
    ::close(errors[1]);
    // Wait until the run has begun writing the merged file.
    for (int i = 0; i < 2000 && !fs::exists(dir / kMerged); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::kill(child, SIGINT);
    RunResult result;
    char buffer[4096];
    for (ssize_t got; (got = ::read(errors[0], buffer, sizeof buffer)) > 0;) {
      result.err.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(errors[0]);
    result.exit_status = wait_for(child);
    return result;
  }();
  if (r.exit_status == 0) GTEST_SKIP() << "the run ended before the interrupt";
  EXPECT_EQ(r.exit_status, 130);
  EXPECT_EQ(r.err, "quiltgrid: error (200): program aborting due to control-C event\n");
}

TEST(Concurrency, TwoRunsAtOnceNeverCorruptTheRegionalFile) {
  int both_succeeded = 0;
  int one_failed = 0;
  for (int i = 0; i < 30; ++i) {
    SCOPED_TRACE("attempt " + std::to_string(i));
    TempDir dir;
    TempDir diagnostics;
    lay_out(dir, medium_pair());
    const pid_t first = start_tool(dir.path(), diagnostics / "first");
    const pid_t second = start_tool(dir.path(), diagnostics / "second");
    const int a = wait_for(first);
    const int b = wait_for(second);
    EXPECT_TRUE(a == 0 || b == 0) << a << " " << b;
    const std::regex loud("(quiltgrid: [^\n]+\n)?quiltgrid: severe \\((30|47)\\): [^\n]+\n");
    for (const auto& [status, name] : {std::pair{a, "first"}, std::pair{b, "second"}}) {
      // A run that fails, fails loudly: the other run holds a file it needs.
      const std::string err = read_file(diagnostics / name);
      if (status == 0) {
        EXPECT_EQ(err, "");
      } else {
        EXPECT_TRUE(std::regex_match(err, loud)) << status << ": " << err;
      }
    }
    (a == 0 && b == 0) ? ++both_succeeded : ++one_failed;
    EXPECT_EQ(read_file(dir / kRegional), medium_pair().merged);
    EXPECT_FALSE(temporary_left(dir / "tempr"));
  }
  std::cout << "[ two runs ] " << both_succeeded << " times both succeeded, " << one_failed
            << " times one failed\n";
}

}  // namespace
}  // namespace quiltgrid::testing

namespace quiltgrid::testing {
namespace {

// Files written by other programs put the grid size, the header end and
// the months in other columns: each such shape must end in a diagnostic,
// with the regional file untouched, never in a merged file.
TEST(OtherWriters, ARealFileOfAnotherProgramIsRefusedLoudly) {
  // The real files beside the repository, whatever their names.
  std::vector<fs::path> reals;
  if (fs::is_directory(QUILTGRID_REAL_DATA)) {
    for (const auto& entry : fs::directory_iterator(QUILTGRID_REAL_DATA)) {
      if (entry.path().extension() == ".r2c") reals.push_back(entry.path());
    }
  }
  if (reals.empty()) GTEST_SKIP() << "no real data beside the repository";
  const fs::path real = reals.front();
  for (const std::string& as : {kRegional, kForecast}) {
    SCOPED_TRACE("given as " + as);
    TempDir dir;
    lay_out(dir, small_pair());
    write_file(dir / as, read_file(real));
    const std::string regional_before = read_file(dir / kRegional);
    const RunResult r = run_program(tool_binary(), {dir.path(), {}, {}, {}});
    // Its header ends with ":EndHeader", which is not the key.
    EXPECT_EQ(r.exit_status, 24);
    EXPECT_EQ(r.err, "quiltgrid: severe (24): end-of-file during read, unit " +
                         std::string(as == kRegional ? "100" : "300") + ", file " +
                         (dir / as).string() + "\n");
    EXPECT_EQ(read_file(dir / kRegional), regional_before);
  }
}

std::string replace_once(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  if (at == std::string::npos) throw std::runtime_error("not in the pair: " + from);
  return text.replace(at, from.size(), to);
}

TEST(OtherWriters, ShapesOfOtherWritersEndInADiagnostic) {
  struct Case {
    std::string name;
    std::string from;  // a record of the small pair's regional file
    std::string to;    // as another writer would put it
    int exit_status;
  };
  // The pair's own record holds 5 in column 38.
  const auto x_count = [](int blanks, const std::string& number) {
    return ":xCount" + std::string(static_cast<std::size_t>(blanks), ' ') + number;
  };
  const std::vector<Case> cases{
      {"grid size ending in column 30", x_count(30, "5"), x_count(22, "5"), 66},
      {"grid size reaching left of column 34", x_count(30, "5"), x_count(25, "100005"), 66},
      {"grid size reaching right of column 38", x_count(30, "5"), x_count(30, "50"), 66},
      {"header end in another case", ":endHeader", ":EndHeader", 24},
      {"month without its leading zero", "\"2025/01/01", "\"2025/1/01", 64},
      {"time stamp a column to the left", "   \"2025/01/01", "  \"2025/01/01", 64},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const Pair& pair = small_pair();
    const std::string changed = replace_once(pair.regional, c.from, c.to);
    write_file(dir / kRegional, changed);
    write_file(dir / kForecast, pair.forecast);
    const RunResult r = run_program(tool_binary(), {dir.path(), {}, {}, {}});
    EXPECT_EQ(r.exit_status, c.exit_status) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(read_file(dir / kRegional), changed);
  }
}

}  // namespace
}  // namespace quiltgrid::testing
