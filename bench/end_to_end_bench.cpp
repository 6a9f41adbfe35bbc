// end_to_end_bench: the whole quiltgrid process on a generated pair, timed
// against the byte-moving floor of the same job, and the tool's peak
// resident memory against its budget.
//
//   end_to_end_bench [--scale K] [--runs N] [--columns N] [--rows N]
//                    [--step-minutes N] [--regional-until YYYY-MM-DD]
//                    [--forecast-days N] [--keep]
//                    [--tool PATH] [--generator PATH]
//
// The pair is made by make_sample_pair in a fresh temporary folder
// (TMPDIR, else the system's). Then, after one warm-up run of each, so
// that both read their inputs from the page cache, it alternates N times:
//
//   the tool   quiltgrid as a whole process, in a run folder that holds a
//              fresh copy of the pair and neither a run report nor a merged
//              file (the copy is made before the clock starts);
//   the floor  the same bytes moved with no parsing or formatting: the two
//              inputs concatenated into one file, that file copied to
//              another, with plain read and write calls on a 256 KiB
//              buffer.
//
// Both run as a child process (the floor is this program started again in
// a hidden mode), timed from fork to the return of wait4, whose resource
// usage gives the peak resident set. The tool must end with status 0 and
// leave the regional file replaced by the merged one; anything else ends
// the benchmark with the tool's standard error shown.
//
// Exit status: 0 when every run went through (the figures, met or missed,
// are in the printout), 1 when a run failed, 2 for bad arguments.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#ifndef QUILTGRID_TOOL
#define QUILTGRID_TOOL "quiltgrid"
#endif
#ifndef QUILTGRID_GENERATOR
#define QUILTGRID_GENERATOR "make_sample_pair"
#endif

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kProgram = "end_to_end_bench";
constexpr std::string_view kFloorMode = "--byte-floor-child";
constexpr std::size_t kFloorBuffer = 256 * 1024;
constexpr double kRatioTarget = 4.0;
constexpr double kMiB = 1024.0 * 1024.0;
constexpr double kMB = 1e6;
constexpr std::uint64_t kBudgetBase = 16 * 1024 * 1024;

constexpr std::string_view kRegionalName = "20250101_regl_tmp.r2c";
constexpr std::string_view kForecastName = "20250101_RDPS_tmp.r2c";
constexpr std::string_view kMergedName = "merged_regl_tmp.r2c";
constexpr std::string_view kReportName = "runReport.txt";

struct Options {
  long scale = 1;
  long runs = 7;
  long columns = 100;
  long rows = 80;
  long step_minutes = 360;
  // The forecast runs from July 1 to the end of the year, all of which the
  // tool appends, so that both files are of the same order (about 50 MB).
  long forecast_days = 184;
  std::string regional_until;  // empty: the generator's own default
  bool keep = false;
  std::string tool = QUILTGRID_TOOL;
  std::string generator = QUILTGRID_GENERATOR;
};

// ---------------------------------------------------------------------------
// The byte-moving floor, run in a child process of its own.

bool write_all(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t put = ::write(fd, data, size);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += put;
    size -= static_cast<std::size_t>(put);
  }
  return true;
}

// Appends every byte of `from` to the open file `to`; errno tells a failure.
bool append_file(int to, const char* from, char* buffer) {
  const int in = ::open(from, O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  for (;;) {
    const ssize_t got = ::read(in, buffer, kFloorBuffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (got == 0) return ::close(in) == 0;
    if (!write_all(to, buffer, static_cast<std::size_t>(got))) break;
  }
  const int saved = errno;
  ::close(in);
  errno = saved;
  return false;
}

bool fill_file(const char* target, const std::vector<const char*>& sources, char* buffer) {
  const int out = ::open(target, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) return false;
  for (const char* source : sources) {
    if (!append_file(out, source, buffer)) {
      const int saved = errno;
      ::close(out);
      errno = saved;
      return false;
    }
  }
  return ::close(out) == 0;
}

// argv: regional forecast concatenated copy.
int byte_floor(char** argv) {
  const auto buffer = std::make_unique_for_overwrite<char[]>(kFloorBuffer);
  if (!fill_file(argv[2], {argv[0], argv[1]}, buffer.get()) ||
      !fill_file(argv[3], {argv[2]}, buffer.get())) {
    std::fprintf(stderr, "%.*s: byte floor: %s\n", static_cast<int>(kProgram.size()),
                 kProgram.data(), std::strerror(errno));
    return 1;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// The benchmark's own failures.

fs::path g_scratch;  // removed on the way out unless --keep
bool g_keep = false;
volatile std::sig_atomic_t g_interrupted = 0;

void remove_scratch() {
  if (g_scratch.empty()) return;
  if (g_keep) {
    std::printf("kept %s\n", g_scratch.c_str());
  } else {
    std::error_code ignored;
    fs::remove_all(g_scratch, ignored);
  }
  g_scratch.clear();
}

[[noreturn]] void fail(const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(kProgram.size()), kProgram.data(),
               message.c_str());
  remove_scratch();
  std::exit(1);
}

void on_interrupt(int) { g_interrupted = 1; }

// The children share the terminal's process group, so an interrupt ends
// them too; the benchmark itself waits for them, then cleans up.
void handle_interrupts() {
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}

void stop_if_interrupted() {
  if (g_interrupted == 0) return;
  std::fflush(stdout);
  std::fprintf(stderr, "%.*s: interrupted\n", static_cast<int>(kProgram.size()), kProgram.data());
  remove_scratch();
  std::exit(130);
}

// ---------------------------------------------------------------------------
// Command line.

[[noreturn]] void usage(const std::string& problem) {
  std::FILE* to = problem.empty() ? stdout : stderr;
  if (!problem.empty()) {
    std::fprintf(to, "%.*s: %s\n", static_cast<int>(kProgram.size()), kProgram.data(),
                 problem.c_str());
  }
  std::fprintf(to,
               "usage: %.*s [options]\n"
               "  --scale K               K times as many frames (default 1)\n"
               "  --runs N                timed runs of each, after one warm-up (default 7)\n"
               "  --columns N             grid columns (default 100)\n"
               "  --rows N                grid rows (default 80)\n"
               "  --step-minutes N        minutes between frames before scaling (default 360)\n"
               "  --regional-until DATE   last day of the regional series (generator default)\n"
               "  --forecast-days N       length of the forecast series (default 184)\n"
               "  --keep                  keep the temporary folder\n"
               "  --tool PATH             the quiltgrid binary (default: the one built)\n"
               "  --generator PATH        the make_sample_pair binary (default: the one built)\n",
               static_cast<int>(kProgram.size()), kProgram.data());
  std::exit(problem.empty() ? 0 : 2);
}

long whole_number(std::string_view option, std::string_view text, long lo, long hi) {
  long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value < lo ||
      value > hi) {
    usage(std::string(option) + " needs a whole number from " + std::to_string(lo) + " to " +
          std::to_string(hi) + ", got '" + std::string(text) + "'");
  }
  return value;
}

Options parse_options(int argc, char** argv) {
  Options o;
  for (int k = 1; k < argc; ++k) {
    std::string_view name = argv[k];
    if (name == "-h" || name == "--help") usage({});
    if (name == "--keep") {
      o.keep = true;
      continue;
    }
    std::string_view value;
    const std::size_t eq = name.find('=');
    if (eq != std::string_view::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    constexpr std::string_view kValued[] = {"--scale",         "--runs",           "--columns",
                                            "--rows",          "--step-minutes",   "--forecast-days",
                                            "--regional-until", "--tool",          "--generator"};
    if (std::find(std::begin(kValued), std::end(kValued), name) == std::end(kValued)) {
      usage("unknown option '" + std::string(name) + "'");
    }
    if (eq == std::string_view::npos) {
      if (k + 1 >= argc) usage(std::string(name) + " needs a value");
      value = argv[++k];
    }
    if (name == "--scale") {
      o.scale = whole_number(name, value, 1, 1'000'000);
    } else if (name == "--runs") {
      o.runs = whole_number(name, value, 1, 1000);
    } else if (name == "--columns") {
      o.columns = whole_number(name, value, 1, 99999);
    } else if (name == "--rows") {
      o.rows = whole_number(name, value, 1, 99999);
    } else if (name == "--step-minutes") {
      o.step_minutes = whole_number(name, value, 1, 100L * 366 * 1440);
    } else if (name == "--forecast-days") {
      o.forecast_days = whole_number(name, value, 1, 36500);
    } else if (name == "--regional-until") {
      o.regional_until = value;
    } else if (name == "--tool") {
      o.tool = value;
    } else {
      o.generator = value;
    }
  }
  return o;
}

// ---------------------------------------------------------------------------
// Child processes.

double seconds_now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Outcome {
  int status = -1;  // exit status, or 128 + signal
  double seconds = 0;
  double peak_mib = 0;
};

std::string describe(const Outcome& o) {
  return o.status > 128 ? "killed by signal " + std::to_string(o.status - 128)
                        : "exit status " + std::to_string(o.status);
}

int open_output(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) fail("cannot create " + path.string() + ": " + std::strerror(errno));
  return fd;
}

// Runs the program in `folder`, standard input from /dev/null, standard
// output and error to the given files. Everything the child needs is made
// before the clock starts.
Outcome run_child(const std::string& program, const std::vector<std::string>& arguments,
                  const fs::path& folder, const fs::path& out, const fs::path& err) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const std::string where = folder.string();
  const int in_fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (in_fd < 0) fail(std::string("cannot open /dev/null: ") + std::strerror(errno));
  const int out_fd = open_output(out);
  const int err_fd = open_output(err);
  std::fflush(stdout);
  std::fflush(stderr);

  Outcome o;
  const double start = seconds_now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(where.c_str()) != 0 || ::dup2(in_fd, 0) < 0 || ::dup2(out_fd, 1) < 0 ||
        ::dup2(err_fd, 2) < 0) {
      _exit(126);
    }
    ::execv(program.c_str(), argv.data());
    const std::string why = "cannot start " + program + ": " + std::strerror(errno) + "\n";
    [[maybe_unused]] const ssize_t ignored = ::write(2, why.data(), why.size());
    _exit(127);
  }
  if (pid < 0) fail(std::string("cannot fork: ") + std::strerror(errno));
  int status = 0;
  rusage usage{};
  pid_t waited = -1;
  do {
    waited = ::wait4(pid, &status, 0, &usage);
  } while (waited < 0 && errno == EINTR);
  o.seconds = seconds_now() - start;
  ::close(in_fd);
  ::close(out_fd);
  ::close(err_fd);
  if (waited < 0) fail(std::string("wait4: ") + std::strerror(errno));
  o.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  o.peak_mib = static_cast<double>(usage.ru_maxrss) * 1024.0 / kMiB;  // ru_maxrss is in KiB
  stop_if_interrupted();
  return o;
}

std::string first_lines(const fs::path& path, std::size_t limit) {
  std::string text;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    char chunk[4096];
    std::size_t got = 0;
    while (text.size() < limit && (got = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
      text.append(chunk, got);
    }
    std::fclose(f);
  }
  if (text.size() > limit) text.resize(limit);
  return text;
}

// ---------------------------------------------------------------------------
// The benchmark.

struct Layout {
  fs::path pair;      // the generated pair, never touched after generation
  fs::path run;       // the tool's working folder
  fs::path floor;     // the floor's output files
  fs::path regional;  // the generated inputs
  fs::path forecast;
};

Layout make_layout() {
  std::error_code ec;
  fs::path base = fs::temp_directory_path(ec);
  if (ec) base = "/tmp";
  std::string pattern = (base / "quiltgrid-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    fail("cannot create a temporary folder under " + base.string() + ": " + std::strerror(errno));
  }
  g_scratch = pattern;
  Layout l;
  l.pair = g_scratch / "pair";
  l.run = g_scratch / "run";
  l.floor = g_scratch / "floor";
  l.regional = l.pair / "tempr" / kRegionalName;
  l.forecast = l.pair / "tempr" / kForecastName;
  fs::create_directories(l.run / "tempr");
  fs::create_directories(l.floor);
  return l;
}

void generate_pair(const Options& o, const Layout& l) {
  std::vector<std::string> args = {"--columns",      std::to_string(o.columns),
                                   "--rows",         std::to_string(o.rows),
                                   "--step-minutes", std::to_string(o.step_minutes),
                                   "--scale",        std::to_string(o.scale),
                                   "--forecast-days", std::to_string(o.forecast_days)};
  if (!o.regional_until.empty()) {
    args.push_back("--regional-until");
    args.push_back(o.regional_until);
  }
  args.push_back(l.pair.string());
  const fs::path err = g_scratch / "generator.err";
  const Outcome made = run_child(o.generator, args, g_scratch, g_scratch / "generator.out", err);
  if (made.status != 0) {
    fail(o.generator + " failed (" + describe(made) + "):\n" + first_lines(err, 4000));
  }
}

void remove_if_there(const fs::path& path) {
  std::error_code ec;
  fs::remove(path, ec);
  if (ec) fail("cannot remove " + path.string() + ": " + ec.message());
}

Outcome tool_run(const Options& o, const Layout& l) {
  const fs::path tempr = l.run / "tempr";
  remove_if_there(l.run / kReportName);
  remove_if_there(tempr / kMergedName);
  fs::copy_file(l.regional, tempr / kRegionalName, fs::copy_options::overwrite_existing);
  fs::copy_file(l.forecast, tempr / kForecastName, fs::copy_options::overwrite_existing);

  const fs::path err = g_scratch / "tool.err";
  const Outcome run = run_child(o.tool, {}, l.run, g_scratch / "tool.out", err);
  if (run.status != 0) {
    fail(o.tool + " failed (" + describe(run) + "); its standard error:\n" +
         first_lines(err, 4000));
  }
  // A run that ends with 0 has replaced the regional file by the merged one.
  const std::uintmax_t merged = fs::file_size(tempr / kMergedName);
  if (merged == 0 || fs::file_size(tempr / kRegionalName) != merged) {
    fail(o.tool + " ended with 0 but the regional file is not the merged file");
  }
  return run;
}

Outcome floor_run(const std::string& self, const Layout& l) {
  const fs::path concatenated = l.floor / "concatenated.r2c";
  const fs::path copied = l.floor / "copied.r2c";
  remove_if_there(concatenated);
  remove_if_there(copied);
  const fs::path err = g_scratch / "floor.err";
  const Outcome run = run_child(
      self,
      {std::string(kFloorMode), l.regional.string(), l.forecast.string(), concatenated.string(),
       copied.string()},
      l.floor, g_scratch / "floor.out", err);
  if (run.status != 0) fail("the byte floor failed (" + describe(run) + "):\n" + first_lines(err, 4000));
  return run;
}

struct Summary {
  double median = 0;
  double minimum = 0;
  double peak_mib = 0;  // the largest peak resident set of the runs
};

Summary summarise(const std::vector<Outcome>& runs) {
  std::vector<double> t;
  Summary s;
  for (const Outcome& r : runs) {
    t.push_back(r.seconds);
    s.peak_mib = std::max(s.peak_mib, r.peak_mib);
  }
  std::sort(t.begin(), t.end());
  const std::size_t n = t.size();
  s.median = n % 2 == 1 ? t[n / 2] : (t[n / 2 - 1] + t[n / 2]) / 2;
  s.minimum = t.front();
  return s;
}

// The path to start this program again as the floor's child.
std::string own_binary(const char* argv0) {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) return self.string();
  const fs::path given(argv0);
  return fs::absolute(given, ec).string();
}

int benchmark(const Options& o, const std::string& self) {
  const Layout l = make_layout();
  std::printf("%.*s: %ld x %ld grid, a frame every %ld min / %ld, forecast %ld days; "
              "%ld timed runs of each after one warm-up\n",
              static_cast<int>(kProgram.size()), kProgram.data(), o.columns, o.rows,
              o.step_minutes, o.scale, o.forecast_days, o.runs);
  std::printf("folder:   %s\n", g_scratch.c_str());
  std::printf("tool:     %s\n", o.tool.c_str());
  std::fflush(stdout);
  generate_pair(o, l);
  const std::uintmax_t regional_bytes = fs::file_size(l.regional);
  const std::uintmax_t forecast_bytes = fs::file_size(l.forecast);
  const double input_mb = static_cast<double>(regional_bytes + forecast_bytes) / kMB;
  std::printf("pair:     regional %.1f MB, forecast %.1f MB, %.1f MB of input\n",
              static_cast<double>(regional_bytes) / kMB, static_cast<double>(forecast_bytes) / kMB,
              input_mb);
  std::fflush(stdout);

  tool_run(o, l);
  floor_run(self, l);
  std::vector<Outcome> tool_runs;
  std::vector<Outcome> floor_runs;
  for (long k = 0; k < o.runs; ++k) {
    tool_runs.push_back(tool_run(o, l));
    floor_runs.push_back(floor_run(self, l));
    std::printf("run %2ld:   tool %7.3f s  %6.2f MiB   floor %7.3f s\n", k + 1,
                tool_runs.back().seconds, tool_runs.back().peak_mib, floor_runs.back().seconds);
    std::fflush(stdout);
  }
  const std::uintmax_t merged_bytes = fs::file_size(l.run / "tempr" / kMergedName);

  const Summary tool = summarise(tool_runs);
  const Summary floor = summarise(floor_runs);
  const double ratio = tool.median / floor.median;
  const auto cells = static_cast<std::uint64_t>(o.columns) * static_cast<std::uint64_t>(o.rows);
  const double budget_mib = static_cast<double>(kBudgetBase + 8 * cells) / kMiB;

  std::printf("\nmerged file %.1f MB; the floor writes %.1f MB\n",
              static_cast<double>(merged_bytes) / kMB, 2 * input_mb);
  std::printf("%-12s %10s %10s %14s %14s\n", "", "median", "minimum", "MB/s (median)",
              "peak RSS");
  std::printf("%-12s %8.3f s %8.3f s %14.1f %10.2f MiB\n", "quiltgrid", tool.median,
              tool.minimum, input_mb / tool.median, tool.peak_mib);
  std::printf("%-12s %8.3f s %8.3f s %14.1f %10.2f MiB\n", "byte floor", floor.median,
              floor.minimum, input_mb / floor.median, floor.peak_mib);
  std::printf("ratio tool / floor: %.2f (medians), %.2f (minimums); target at most %.0f: %s\n",
              ratio, tool.minimum / floor.minimum, kRatioTarget,
              ratio <= kRatioTarget ? "met" : "MISSED");
  std::printf("peak RSS of quiltgrid: %.2f MiB; budget 16 MiB + 8 * %ld * %ld B = %.2f MiB: %s\n",
              tool.peak_mib, o.columns, o.rows, budget_mib,
              tool.peak_mib <= budget_mib ? "within" : "OVER");
  remove_scratch();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && argv[1] == kFloorMode) return byte_floor(argv + 2);
  const Options o = parse_options(argc, argv);
  g_keep = o.keep;
  handle_interrupts();
  try {
    return benchmark(o, own_binary(argv[0]));
  } catch (const std::exception& e) {
    fail(e.what());
  }
}
