// Units and records on real files: record splitting, the first write's
// truncation, appending, the end-of-file and existence tests, close, name
// resolution, how refused opens map to error numbers, and the clock.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "textio/clock.h"
#include "textio/diagnostics.h"
#include "textio/open_errors.h"
#include "textio/units.h"

namespace {

namespace fs = std::filesystem;
using namespace quiltgrid::textio;
using quiltgrid::testing::make_socket;
using quiltgrid::testing::read_file;
using quiltgrid::testing::TempDir;
using quiltgrid::testing::write_file;

// The block in which the splitter takes a file; records are cut across it.
constexpr std::size_t kBlock = 256 * 1024;

constexpr int kUnit = 100;

// Every record up to the end of the file, and the status that ended them.
struct Records {
  std::vector<std::string> records;
  Status last = kOk;
};

Records read_all(int unit, CarriageReturns rule) {
  Records out;
  std::string_view record;
  while ((out.last = read_record(unit, rule, record)) == kOk) out.records.emplace_back(record);
  return out;
}

std::string letters(std::size_t length) {
  std::string text(length, ' ');
  for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>('a' + i % 26);
  return text;
}

// The unit table is process-wide: whatever a test leaves connected would
// leak into the next one.
class RecordsTest : public ::testing::Test {
 protected:
  void TearDown() override { close_every_unit(); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  // Writes the file and connects kUnit to it.
  void open_with(const std::string& bytes, const std::string& name = "file.txt") {
    write_file(dir_ / name, bytes);
    ASSERT_EQ(open_unknown(kUnit, path(name)), kOk);
  }

  TempDir dir_;
};

// Runs the test inside a folder and goes back to where it was.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const fs::path& folder) : previous_(fs::current_path()) {
    fs::current_path(folder);
  }
  ~WorkingDirectory() { fs::current_path(previous_); }
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;

 private:
  fs::path previous_;
};

TEST_F(RecordsTest, SplitsFileBytesIntoRecords) {
  const std::string control_z(1, '\x1a');
  struct Case {
    const char* name;
    std::string bytes;
    CarriageReturns rule;
    std::vector<std::string> records;
  };
  const Case cases[] = {
      {"ab CR LF cd, no final line feed", "ab\r\ncd", CarriageReturns::one, {"ab", "cd"}},
      {"ab CR LF cd, free-form", "ab\r\ncd", CarriageReturns::all, {"ab", "cd"}},
      {"two CRs: a field-layout read keeps one", "x\r\r\ny\r\n", CarriageReturns::one,
       {"x\r", "y"}},
      {"two CRs: a free-form read keeps none", "x\r\r\ny\r\n", CarriageReturns::all, {"x", "y"}},
      {"a CR inside a record stays", "a\rb\r\n", CarriageReturns::all, {"a\rb"}},
      {"a final record ending in a CR", "ab\r", CarriageReturns::one, {"ab"}},
      {"lone line feeds are empty records", "\n\n", CarriageReturns::one, {"", ""}},
      {"blank records keep their blanks", "  \r\n \n", CarriageReturns::all, {"  ", " "}},
      {"a control-Z record is the end", "a\r\n" + control_z + "\r\n", CarriageReturns::one,
       {"a"}},
      {"a control-Z without a line end", "a\n" + control_z, CarriageReturns::all, {"a"}},
      {"control-Z and two CRs, free-form", control_z + "\r\r\n", CarriageReturns::all, {}},
      {"control-Z and two CRs, field layout", control_z + "\r\r\n", CarriageReturns::one,
       {control_z + "\r"}},
      {"control-Z with text is a record", control_z + "b\n", CarriageReturns::one,
       {control_z + "b"}},
      {"an empty file", "", CarriageReturns::one, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    open_with(c.bytes);
    const Records got = read_all(kUnit, c.rule);
    EXPECT_EQ(got.records, c.records);
    EXPECT_EQ(got.last, kEndOfFile);
    // The unit stays connected at the end, and stays there.
    std::string_view record;
    EXPECT_EQ(read_record(kUnit, c.rule, record), kEndOfFile);
    EXPECT_TRUE(at_end_of_file(kUnit));
    EXPECT_EQ(unit_name(kUnit), path("file.txt"));
    EXPECT_EQ(close_keep(kUnit), kOk);
    EXPECT_EQ(read_file(dir_ / "file.txt"), c.bytes) << "reading changed the file";
  }
}

TEST_F(RecordsTest, ReadsRecordsLongerThanABlockAndAcrossBlockEdges) {
  // With CR LF after it, a record of kBlock - 1 bytes has its CR as the
  // last byte of the first block and its line feed as the first of the next.
  for (const std::size_t length :
       {std::size_t{1} << 20, kBlock - 2, kBlock - 1, kBlock, kBlock + 1, 3 * kBlock + 7}) {
    SCOPED_TRACE(length);
    const std::string record = letters(length);
    open_with(record + "\r\nnext\r\n" + record);
    const Records got = read_all(kUnit, CarriageReturns::one);
    ASSERT_EQ(got.records.size(), 3U);
    EXPECT_TRUE(got.records[0] == record);
    EXPECT_EQ(got.records[1], "next");
    EXPECT_TRUE(got.records[2] == record);
    EXPECT_EQ(got.last, kEndOfFile);
    close_keep(kUnit);
  }
}

TEST_F(RecordsTest, ReadsManyRecordsBackExactly) {
  std::mt19937 random(20250101);
  std::uniform_int_distribution<std::size_t> length(0, 3000);
  std::vector<std::string> records;
  std::string bytes;
  while (bytes.size() < 12 * kBlock) {
    records.push_back(letters(length(random)));
    bytes += records.back();
    bytes += (records.size() % 3 == 0) ? "\n" : "\r\n";
  }
  open_with(bytes);
  std::string_view record;
  for (std::size_t i = 0; i < records.size(); ++i) {
    ASSERT_FALSE(at_end_of_file(kUnit)) << "before record " << i;
    ASSERT_EQ(read_record(kUnit, CarriageReturns::one, record), kOk) << "record " << i;
    ASSERT_TRUE(record == records[i]) << "record " << i << " of length " << records[i].size();
  }
  EXPECT_TRUE(at_end_of_file(kUnit));
  EXPECT_EQ(read_record(kUnit, CarriageReturns::one, record), kEndOfFile);
}

TEST_F(RecordsTest, FirstWritesAfterOpenReplaceWhatTheFileHeld) {
  std::string old;
  for (int i = 1; i <= 1000; ++i) old += "line " + std::to_string(i) + " of an earlier run\r\n";
  open_with(old, "merged.r2c");
  std::string expected;
  for (int i = 1; i <= 10; ++i) {
    const std::string record = "record " + std::to_string(i);
    ASSERT_EQ(write_record(kUnit, record), kOk);
    expected += record + "\r\n";
  }
  // Each record is in the file as soon as its write returns.
  EXPECT_EQ(read_file(dir_ / "merged.r2c"), expected);
  ASSERT_EQ(close_keep(kUnit), kOk);
  EXPECT_EQ(read_file(dir_ / "merged.r2c"), expected);
}

TEST_F(RecordsTest, WritesAfterReadingGoRightAfterTheLastRecordRead) {
  enum class Reading { to_end_test, to_end_status, one_record, move_to_end };
  struct Case {
    const char* name;
    std::string old;
    Reading reading;
    std::string expected;
  };
  const Case cases[] = {
      {"three lines read until the end-of-file test", "a\r\nb\r\nc\r\n", Reading::to_end_test,
       "a\r\nb\r\nc\r\nd\r\ne\r\n"},
      {"read until the end-of-file status", "a\r\nb\r\nc\r\n", Reading::to_end_status,
       "a\r\nb\r\nc\r\nd\r\ne\r\n"},
      {"a last line without a line end joins the new record", "a\r\nb\r\nc",
       Reading::to_end_test, "a\r\nb\r\ncd\r\ne\r\n"},
      {"line feeds alone stay as they are", "a\nb\n", Reading::to_end_status,
       "a\nb\nd\r\ne\r\n"},
      {"blank lines are read over", "a\r\n\r\n\n", Reading::to_end_test,
       "a\r\n\r\n\nd\r\ne\r\n"},
      {"an empty file", "", Reading::to_end_test, "d\r\ne\r\n"},
      {"moved to the end without reading", "a\r\nb", Reading::move_to_end, "a\r\nbd\r\ne\r\n"},
      {"what is left unread is cut off", "a\r\nb\r\nc\r\n", Reading::one_record,
       "a\r\nd\r\ne\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    open_with(c.old, "runReport.txt");
    std::string_view record;
    switch (c.reading) {
      case Reading::to_end_test:
        while (!at_end_of_file(kUnit)) ASSERT_EQ(read_record(kUnit, CarriageReturns::all, record), kOk);
        break;
      case Reading::to_end_status:
        read_all(kUnit, CarriageReturns::all);
        break;
      case Reading::one_record:
        ASSERT_EQ(read_record(kUnit, CarriageReturns::all, record), kOk);
        break;
      case Reading::move_to_end:
        ASSERT_EQ(move_to_end(kUnit), kOk);
        break;
    }
    ASSERT_EQ(write_record(kUnit, "d"), kOk);
    ASSERT_EQ(write_record(kUnit, "e"), kOk);
    ASSERT_EQ(close_keep(kUnit), kOk);
    EXPECT_EQ(read_file(dir_ / "runReport.txt"), c.expected);
  }
}

TEST_F(RecordsTest, EndOfFileTestReadsNothing) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::string> records;
  };
  const Case cases[] = {
      {"a lone line feed", "\n", {""}},
      {"an empty file", "", {}},
      {"no final line end", "abc", {"abc"}},
      {"blank lines", "\r\n \r\n", {"", " "}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    open_with(c.bytes);
    std::string_view record;
    for (const std::string& expected : c.records) {
      EXPECT_FALSE(at_end_of_file(kUnit));
      EXPECT_FALSE(at_end_of_file(kUnit)) << "the test consumed a record";
      ASSERT_EQ(read_record(kUnit, CarriageReturns::one, record), kOk);
      EXPECT_EQ(record, expected);
    }
    EXPECT_TRUE(at_end_of_file(kUnit));
    EXPECT_EQ(read_record(kUnit, CarriageReturns::one, record), kEndOfFile);
    EXPECT_TRUE(at_end_of_file(kUnit));
    close_keep(kUnit);
  }
}

TEST_F(RecordsTest, EndOfFileTestAnswersFromTheFileSize) {
  open_with("");
  EXPECT_TRUE(at_end_of_file(kUnit));
  // Another program extends the file: the test sees it, having read nothing.
  std::ofstream(dir_ / "file.txt", std::ios::binary | std::ios::app) << "late\n";
  EXPECT_FALSE(at_end_of_file(kUnit));
  std::string_view record;
  ASSERT_EQ(read_record(kUnit, CarriageReturns::one, record), kOk);
  EXPECT_EQ(record, "late");
  EXPECT_TRUE(at_end_of_file(kUnit));
}

TEST_F(RecordsTest, ExistenceTest) {
  write_file(dir_ / "file.txt", "x\r\n");
  write_file(dir_ / "gone.txt", "x\r\n");
  fs::create_directory(dir_ / "folder");
  fs::create_symlink(dir_ / "folder", dir_ / "folder-link");
  fs::create_symlink(dir_ / "file.txt", dir_ / "file-link");
  fs::create_symlink(dir_ / "nowhere", dir_ / "dangling-link");
  // A unit connected to a file that was removed meanwhile still exists.
  ASSERT_EQ(open_unknown(kUnit, path("gone.txt")), kOk);
  fs::remove(dir_ / "gone.txt");

  struct Case {
    std::string name;
    bool exists;
  };
  const Case cases[] = {
      {path("file.txt"), true},
      {"  " + path("file.txt") + "  ", true},
      {path("folder"), false},
      {path("folder") + "/", false},
      {path("missing.txt"), false},
      {path("folder-link"), false},
      {path("file-link"), true},
      {path("dangling-link"), false},
      {path("gone.txt"), true},
      {path("folder/../gone.txt"), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(exists(c.name), c.exists);
  }
  EXPECT_FALSE(fs::exists(dir_ / "missing.txt")) << "the test created the file";

  ASSERT_EQ(close_keep(kUnit), kOk);
  EXPECT_FALSE(exists(path("gone.txt")));
  ASSERT_EQ(open_unknown(kUnit, path("new.txt")), kOk);
  EXPECT_TRUE(exists(path("new.txt"))) << "open creates a missing file";
}

TEST_F(RecordsTest, CloseOfAnUnconnectedUnitDoesNothing) {
  open_with("first\r\nsecond\r\n");
  EXPECT_EQ(close_keep(kUnit + 1), kOk);
  EXPECT_EQ(close_keep(kUnit + 1), kOk);
  std::string_view record;
  ASSERT_EQ(read_record(kUnit, CarriageReturns::one, record), kOk);
  EXPECT_EQ(record, "first");

  ASSERT_EQ(close_keep(kUnit), kOk);
  EXPECT_EQ(unit_name(kUnit), "");
  EXPECT_EQ(close_keep(kUnit), kOk);
  EXPECT_EQ(read_file(dir_ / "file.txt"), "first\r\nsecond\r\n");

  // Opened again, the unit starts at the beginning of the file.
  ASSERT_EQ(open_unknown(kUnit, path("file.txt")), kOk);
  ASSERT_EQ(read_record(kUnit, CarriageReturns::one, record), kOk);
  EXPECT_EQ(record, "first");
}

TEST_F(RecordsTest, ResolvesNamesAgainstTheWorkingDirectory) {
  fs::create_directories(dir_ / "tempr" / "deep");
  fs::create_directory_symlink(dir_ / "tempr" / "deep", dir_ / "link");
  const WorkingDirectory inside(dir_.path());
  // The system's own name of the folder, symbolic links resolved.
  const std::string here = fs::current_path().string();
  const std::string parent = fs::current_path().parent_path().string();
  struct Case {
    std::string name;
    std::string full;
  };
  const Case cases[] = {
      {"runReport.txt", here + "/runReport.txt"},
      {"  runReport.txt  ", here + "/runReport.txt"},
      {"tempr\\20250101_regl_tmp.r2c", here + "/tempr/20250101_regl_tmp.r2c"},
      {".\\tempr\\.\\x.r2c", here + "/tempr/x.r2c"},
      {"tempr\\..\\x.r2c", here + "/x.r2c"},
      {"tempr//x.r2c", here + "/tempr/x.r2c"},
      {"tempr/", here + "/tempr"},
      {"a b", here + "/a b"},
      {"..", parent},
      {"../x", parent + "/x"},
      // Symbolic links are not resolved: ".." folds the name, not the link.
      {"link/../x", here + "/x"},
      {"link/x", here + "/link/x"},
      {"/abs/./p/../q", "/abs/q"},
      {"\\abs\\q", "/abs/q"},
      {"/..", "/"},
      {"/", "/"},
      {"", here},
      {"   ", here},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("\"" + c.name + "\"");
    EXPECT_EQ(resolve_name(c.name), c.full);
  }

  // A unit's name is the resolved one.
  ASSERT_EQ(open_unknown(kUnit, "tempr\\..\\tempr\\x.r2c"), kOk);
  EXPECT_EQ(unit_name(kUnit), here + "/tempr/x.r2c");
  EXPECT_TRUE(fs::exists(dir_ / "tempr" / "x.r2c"));
  EXPECT_TRUE(exists("tempr\\x.r2c"));
}


TEST_F(RecordsTest, RefusedOpenLeavesTheUnitUnconnected) {
  fs::create_directory(dir_ / "folder");
  write_file(dir_ / "plain.txt", "x\r\n");
  fs::create_symlink("loop-b", dir_ / "loop-a");
  fs::create_symlink("loop-a", dir_ / "loop-b");
  make_socket(dir_ / "socket");
  struct Case {
    std::string name;
    Status status;
  };
  const Case cases[] = {
      {path("missing/x.r2c"), error::file_not_found},
      {path("plain.txt/x.r2c"), error::file_not_found},
      {path("folder"), error::permission_denied},
      {path(std::string(300, 'n')), error::bad_file_name},
      {path("loop-a"), error::bad_file_name},
      {path("socket"), error::no_such_device},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(open_unknown(kUnit, c.name), c.status);
    EXPECT_EQ(unit_name(kUnit), "");
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
  }
  // The unit can be connected afterwards.
  ASSERT_EQ(open_unknown(kUnit, path("plain.txt")), kOk);
  std::string_view record;
  ASSERT_EQ(read_record(kUnit, CarriageReturns::one, record), kOk);
  EXPECT_EQ(record, "x");
}

// How the system's refusals of an open map to error numbers, for the ones
// no test can provoke on its own.
TEST(OpenErrors, MapSystemCodesToErrorNumbers) {
  struct Case {
    int system_error;
    int number;
    bool show_system_text;
    bool falls_back;
  };
  const Case cases[] = {
      {ENOENT, error::file_not_found, false, false},
      {ENOTDIR, error::file_not_found, false, false},
      {EACCES, error::permission_denied, false, true},
      {EPERM, error::permission_denied, false, true},
      {EROFS, error::permission_denied, false, true},
      {ETXTBSY, error::permission_denied, false, true},
      {EISDIR, error::permission_denied, false, true},
      {ENXIO, error::no_such_device, false, false},
      {ENODEV, error::no_such_device, false, false},
      {ENAMETOOLONG, error::bad_file_name, false, false},
      {ELOOP, error::bad_file_name, false, false},
      {EINVAL, error::bad_file_name, false, false},
      {EILSEQ, error::bad_file_name, false, false},
      {EMFILE, error::open_failed, false, false},
      {ENFILE, error::open_failed, false, false},
      {EIO, error::open_failed, true, false},
      {ENOSPC, error::open_failed, true, false},
      {EOVERFLOW, error::open_failed, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::strerror(c.system_error));
    const OpenError e = open_error(c.system_error, false);
    EXPECT_EQ(e.number, c.number);
    EXPECT_EQ(e.show_system_text, c.show_system_text);
    EXPECT_EQ(falls_back_to_read_only(c.system_error), c.falls_back);
    const OpenError folder = open_error(c.system_error, true);
    EXPECT_EQ(folder.number, error::permission_denied);
    EXPECT_FALSE(folder.show_system_text);
  }
}

// Sets TZ for the test and puts the old value back.
class TimeZone {
 public:
  explicit TimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) previous_ = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~TimeZone() {
    if (previous_) {
      ::setenv("TZ", previous_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }
  TimeZone(const TimeZone&) = delete;
  TimeZone& operator=(const TimeZone&) = delete;

 private:
  std::optional<std::string> previous_;
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }
int two_digits(const char* p) { return (p[0] - '0') * 10 + (p[1] - '0'); }

TEST(TimeOfDay, IsTheLocalClockAsHhmmssDotMilliseconds) {
  // Five hours east of UTC, a zone that needs no zone database: the hour
  // tells the local clock from UTC.
  const TimeZone zone("QGT-5");
  bool compared = false;
  for (int attempt = 0; attempt < 5 && !compared; ++attempt) {
    timespec before{};
    timespec after{};
    std::array<char, 10> text{};
    ::clock_gettime(CLOCK_REALTIME, &before);
    time_of_day(text);
    ::clock_gettime(CLOCK_REALTIME, &after);
    const std::string shown(text.data(), text.size());
    SCOPED_TRACE(shown);
    for (const std::size_t i : {0U, 1U, 2U, 3U, 4U, 5U, 7U, 8U, 9U}) EXPECT_TRUE(is_digit(text[i]));
    EXPECT_EQ(text[6], '.');
    EXPECT_LE(two_digits(&text[0]), 23);
    EXPECT_LE(two_digits(&text[2]), 59);
    EXPECT_LE(two_digits(&text[4]), 59);
    // Within one second of the clock the time can be checked to the digit.
    if (before.tv_sec != after.tv_sec) continue;
    compared = true;
    std::tm utc{};
    ::gmtime_r(&before.tv_sec, &utc);
    char expected[8];
    std::snprintf(expected, sizeof expected, "%02d%02d%02d", (utc.tm_hour + 5) % 24, utc.tm_min,
                  utc.tm_sec);
    EXPECT_EQ(shown.substr(0, 6), expected);
    const long millisecond = std::stol(shown.substr(7));
    EXPECT_GE(millisecond, before.tv_nsec / 1000000);
    EXPECT_LE(millisecond, after.tv_nsec / 1000000);
  }
  EXPECT_TRUE(compared);
}

}  // namespace
