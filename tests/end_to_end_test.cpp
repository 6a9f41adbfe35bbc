// Whole runs of the tool, one case per folder under fixtures/e2e:
//
//   <case>/in/          the working directory before the run (copied into
//                       a fresh temporary folder)
//   <case>/arguments    optional: the command line arguments, one a line
//   <case>/run_as       optional: the user the tool runs as (the tests run
//                       as root, whom permission bits do not stop)
//   <case>/modes        optional: "mode path" lines, permissions set in the
//                       working directory before the run
//   <case>/generate     optional: arguments of the sample pair generator,
//                       one a line; it writes the inputs instead of in/
//   <case>/generated.sha256
//                       with generate: the digests of the generated inputs
//   <case>/expected/    stdout, stderr, exit_status, and every file the run
//                       leaves that is not as in/ had it; "@DIR@" stands
//                       for the working directory's full path (a path that
//                       goes on after it, up to a blank or a line end, is
//                       shown as the tool names it: for the Windows build,
//                       on drive Z: with backslashes), and in
//                       runReport.txt "hh:mm:ss" for the time of a line this
//                       run added
//   <case>/expected/sha256
//                       optional: files compared by their SHA-256 digest
//                       instead of their bytes ("digest  path" lines)
//
// After the run every file of the working directory must be one of
// expected/ (byte for byte), one of expected/sha256 (by digest) or one of
// in/ (unchanged); anything else, such as a temporary file of the copy left
// behind, fails the case.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using quiltgrid::testing::read_file;
using quiltgrid::testing::run_program;
using quiltgrid::testing::RunOptions;
using quiltgrid::testing::TempDir;

constexpr std::string_view kTimePlaceholder = "hh:mm:ss";
constexpr std::string_view kDirPlaceholder = "@DIR@";

fs::path cases_folder() { return quiltgrid::testing::fixtures_folder() / "e2e"; }

std::vector<std::string> case_names() {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(cases_folder(), ignored)) {
    if (entry.is_directory()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> lines_of(const fs::path& file) {
  std::vector<std::string> lines;
  std::istringstream in(read_file(file));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Each "@DIR@..." path of the expected text as the tool names it, with
// `dir` for the working directory.
std::string with_paths_shown(std::string text, const std::string& dir) {
  for (std::size_t at = text.find(kDirPlaceholder); at != std::string::npos;) {
    const std::size_t end = std::min(text.find_first_of(" \t\r\n", at), text.size());
    const std::size_t rest = at + kDirPlaceholder.size();
    const std::string shown = quiltgrid::testing::tool_path_of(dir + text.substr(rest, end - rest));
    text.replace(at, end - at, shown);
    at = text.find(kDirPlaceholder, at + shown.size());
  }
  return text;
}

// Relative paths (with '/') of the regular files and of the folders below root.
struct Tree {
  std::set<std::string> files;
  std::set<std::string> folders;
};

Tree tree_of(const fs::path& root) {
  Tree tree;
  std::error_code ignored;
  if (!fs::is_directory(root, ignored)) return tree;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string relative = entry.path().lexically_relative(root).generic_string();
    if (entry.is_directory()) {
      tree.folders.insert(relative);
    } else {
      tree.files.insert(relative);
    }
  }
  return tree;
}

std::string printable(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (u < 0x20 || u >= 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", u);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

// The line of text that holds offset `at`, its line end included.
std::string_view line_at(std::string_view text, std::size_t at) {
  if (at >= text.size()) return "(end of the bytes)";
  const std::size_t begin = at == 0 ? 0 : text.rfind('\n', at - 1);
  const std::size_t from = begin == std::string_view::npos || at == 0 ? 0 : begin + 1;
  const std::size_t end = text.find('\n', at);
  return text.substr(from, end == std::string_view::npos ? std::string_view::npos : end + 1 - from);
}

testing::AssertionResult same_bytes(const std::string& what, std::string_view expected,
                                    std::string_view actual) {
  if (expected == actual) return testing::AssertionSuccess();
  const auto [e, a] = std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
  const auto at = static_cast<std::size_t>(e - expected.begin());
  const auto line = 1 + std::count(expected.begin(), e, '\n');
  return testing::AssertionFailure()
         << what << ": first difference at byte " << at << " (line " << line << "); "
         << expected.size() << " bytes expected, " << actual.size() << " written\n"
         << "  expected line: " << printable(line_at(expected, at)) << "\n"
         << "  actual line:   " << printable(line_at(actual, at));
}

bool has_time_shape(std::string_view text) {
  if (text.size() != kTimePlaceholder.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool colon = i == 2 || i == 5;
    if (colon ? text[i] != ':' : std::isdigit(static_cast<unsigned char>(text[i])) == 0) return false;
  }
  return true;
}

// Where the expected run report has "hh:mm:ss", a time of the shape
// dd:dd:dd in the actual bytes at the same offset is taken as matching.
std::string with_times_masked(std::string_view expected, std::string actual) {
  for (std::size_t at = expected.find(kTimePlaceholder); at != std::string_view::npos;
       at = expected.find(kTimePlaceholder, at + 1)) {
    if (at + kTimePlaceholder.size() <= actual.size() &&
        has_time_shape(std::string_view(actual).substr(at, kTimePlaceholder.size()))) {
      actual.replace(at, kTimePlaceholder.size(), kTimePlaceholder);
    }
  }
  return actual;
}

// "digest  path" lines, as sha256sum writes and reads them: path -> digest.
std::map<std::string, std::string> parse_digests(const std::string& text) {
  std::map<std::string, std::string> digests;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const std::size_t blank = line.find("  ");
    if (blank != std::string::npos) digests[line.substr(blank + 2)] = line.substr(0, blank);
  }
  return digests;
}

std::map<std::string, std::string> read_digests(const fs::path& file) {
  return parse_digests(read_file(file));
}

std::map<std::string, std::string> digests_of(const fs::path& folder,
                                              const std::vector<std::string>& files) {
  RunOptions options;
  options.working_directory = folder;
  options.arguments = {"sha256sum", "--"};
  options.arguments.insert(options.arguments.end(), files.begin(), files.end());
  const quiltgrid::testing::RunResult r = run_program("/usr/bin/env", options);
  EXPECT_EQ(r.exit_status, 0) << r.err;
  return parse_digests(r.out);
}

std::vector<std::string> keys_of(const std::map<std::string, std::string>& map) {
  std::vector<std::string> keys;
  for (const auto& [k, v] : map) keys.push_back(k);
  return keys;
}

void expect_digests(const fs::path& folder, const std::map<std::string, std::string>& expected,
                    const std::string& what) {
  const auto actual = digests_of(folder, keys_of(expected));
  for (const auto& [file, digest] : expected) {
    const auto found = actual.find(file);
    EXPECT_TRUE(found != actual.end() && found->second == digest)
        << what << " " << file << ": SHA-256 "
        << (found == actual.end() ? std::string("missing") : found->second) << ", expected " << digest;
  }
}

// The files of the working directory after the run against the case's
// expectations: each one expected, compared by digest, or an untouched input.
void check_files(const fs::path& work, const fs::path& in, const fs::path& expected,
                 const Tree& before, const std::map<std::string, std::string>& generated) {
  std::map<std::string, std::string> by_digest;
  if (fs::exists(expected / "sha256")) by_digest = read_digests(expected / "sha256");
  if (!by_digest.empty()) expect_digests(work, by_digest, "after the run,");

  const Tree after = tree_of(work);
  const Tree wanted = tree_of(expected);
  const std::set<std::string> outcome{"stdout", "stderr", "exit_status", "sha256"};
  for (const std::string& file : after.files) {
    SCOPED_TRACE(file);
    if (wanted.files.count(file) != 0 && outcome.count(file) == 0) {
      const std::string want = read_file(expected / file);
      std::string got = read_file(work / file);
      if (file == "runReport.txt") got = with_times_masked(want, std::move(got));
      EXPECT_TRUE(same_bytes(file, want, got));
    } else if (by_digest.count(file) != 0) {
      continue;  // compared above
    } else if (before.files.count(file) != 0 && generated.count(file) == 0) {
      EXPECT_TRUE(same_bytes(file + " (an input)", read_file(in / file), read_file(work / file)));
    } else {
      ADD_FAILURE() << "the run left a file it should not have: " << file;
    }
  }
  for (const std::string& file : wanted.files) {
    if (outcome.count(file) == 0) {
      EXPECT_EQ(after.files.count(file), 1U) << "missing after the run: " << file;
    }
  }
  for (const auto& [file, digest] : by_digest) {
    EXPECT_EQ(after.files.count(file), 1U) << "missing after the run: " << file;
  }
  for (const std::string& folder : after.folders) {
    EXPECT_TRUE(before.folders.count(folder) != 0 || wanted.folders.count(folder) != 0)
        << "the run made a folder it should not have: " << folder;
  }
}

class EndToEnd : public testing::TestWithParam<std::string> {};

TEST_P(EndToEnd, Run) {
  const fs::path case_folder = cases_folder() / GetParam();
  const fs::path in = case_folder / "in";
  const fs::path expected = case_folder / "expected";
  if (quiltgrid::testing::tool_is_emulated() && fs::exists(case_folder / "run_as")) {
    GTEST_SKIP() << "runs the tool as another user: wine runs a program only from a prefix that "
                    "its user owns, and the tests' prefix is root's";
  }
  TempDir work;
  // The diagnostics name the path as the process sees its working
  // directory, symbolic links resolved.
  const std::string dir = fs::canonical(work.path()).string();

  std::map<std::string, std::string> generated;
  if (fs::exists(case_folder / "generate")) {
    RunOptions generate;
    generate.arguments = lines_of(case_folder / "generate");
    generate.arguments.push_back(work.path().string());
    const auto made = run_program(QUILTGRID_GENERATOR, generate);
    ASSERT_EQ(made.exit_status, 0) << made.err;
    generated = read_digests(case_folder / "generated.sha256");
    expect_digests(work.path(), generated, "generated input");
    ASSERT_FALSE(HasFailure()) << "the generator no longer writes the inputs of this case";
  }
  if (fs::exists(in)) fs::copy(in, work.path(), fs::copy_options::recursive);
  const Tree before = tree_of(work.path());

  RunOptions options;
  options.working_directory = work.path();
  if (fs::exists(case_folder / "arguments")) options.arguments = lines_of(case_folder / "arguments");
  if (fs::exists(case_folder / "run_as")) {
    options.as_user = lines_of(case_folder / "run_as").at(0);
    fs::permissions(work.path(), fs::perms(0755));
  }
  if (fs::exists(case_folder / "modes")) {
    for (const std::string& line : lines_of(case_folder / "modes")) {
      std::istringstream fields(line);
      std::string mode;
      std::string path;
      fields >> mode >> path;
      fs::permissions(work / path, fs::perms(std::stoi(mode, nullptr, 8)));
    }
  }
  const auto run = run_program(quiltgrid::testing::tool_binary(), options);

  const auto expected_text = [&](const std::string& name) {
    return with_paths_shown(read_file(expected / name), dir);
  };
  EXPECT_EQ(run.exit_status, std::stoi(read_file(expected / "exit_status")));
  EXPECT_TRUE(same_bytes("stdout", expected_text("stdout"), run.out));
  EXPECT_TRUE(same_bytes("stderr", expected_text("stderr"), run.err));
  check_files(work.path(), in, expected, before, generated);
}

std::string case_label(const testing::TestParamInfo<std::string>& info) {
  std::string label = info.param;
  for (char& c : label) {
    if (std::isalnum(static_cast<unsigned char>(c)) == 0) c = '_';
  }
  return label;
}

INSTANTIATE_TEST_SUITE_P(Cases, EndToEnd, testing::ValuesIn(case_names()), case_label);

}  // namespace
