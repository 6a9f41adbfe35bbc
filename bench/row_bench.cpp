// Micro-benchmarks of the two inner loops of a run, each beside a baseline
// in the same binary:
//
//   read:  a data row of 100 values read free-form from a file
//          (read_numbers), against the same rows parsed by a std::strtod
//          loop over the file's bytes in memory;
//   write: a row of 100 values formatted in the row layout (format_fields)
//          and written with its system write (write_fields to /dev/null),
//          against a snprintf("%7.2f") loop into a buffer.
//
// Items are values: the "items_per_second" column gives values per
// second, and the time per iteration divided by 100 the time per value.
//
//   row_bench --benchmark_min_time=0.5

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "textio/field_layout.h"
#include "textio/free_form_reader.h"
#include "textio/units.h"

namespace {

namespace fs = std::filesystem;
using namespace quiltgrid::textio;

constexpr std::size_t kColumns = 100;
constexpr int kRowsInFile = 4000;
constexpr std::size_t kRowsOfValues = 64;
constexpr int kReadUnit = 100;
constexpr int kWriteUnit = 200;

// Rows as a grid file holds them: temperatures with 3 decimals in fields
// of 9 columns, "   -3.125   12.980 ...". Made once: a benchmark function
// runs several times.
const std::string& data_rows() {
  static const std::string text = [] {
    std::mt19937_64 random(1);
    std::uniform_int_distribution<int> thousandths(-40000, 45000);
    std::string rows;
    char field[32];
    for (int r = 0; r < kRowsInFile; ++r) {
      for (std::size_t k = 0; k < kColumns; ++k) {
        std::snprintf(field, sizeof field, "%9.3f", thousandths(random) / 1000.0);
        rows.append(field);
      }
      rows.push_back('\n');
    }
    return rows;
  }();
  return text;
}

// The rows in a file of their own, removed at the end.
class RowFile {
 public:
  RowFile() : path_(fs::temp_directory_path() /
                    ("quiltgrid-row-bench-" + std::to_string(::getpid()) + ".r2c")) {
    std::ofstream(path_, std::ios::binary) << data_rows();
  }
  ~RowFile() {
    std::error_code ignored;
    fs::remove(path_, ignored);
  }
  RowFile(const RowFile&) = delete;
  RowFile& operator=(const RowFile&) = delete;

  std::string path() const { return path_.string(); }

 private:
  fs::path path_;
};

void BM_ReadRow_FreeForm(benchmark::State& state) {
  const RowFile file;
  if (open_unknown(kReadUnit, file.path()) != kOk) {
    state.SkipWithError("cannot open the rows");
    return;
  }
  std::vector<double> row(kColumns);
  for (auto _ : state) {
    Status status = read_numbers(kReadUnit, row);
    if (status == kEndOfFile) {
      // The file is used up: start it again.
      close_keep(kReadUnit);
      open_unknown(kReadUnit, file.path());
      status = read_numbers(kReadUnit, row);
    }
    if (status != kOk) {
      state.SkipWithError("a row read failed");
      break;
    }
    benchmark::DoNotOptimize(row.data());
    benchmark::ClobberMemory();
  }
  close_keep(kReadUnit);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kColumns));
}
BENCHMARK(BM_ReadRow_FreeForm);

void BM_ReadRow_StrtodBaseline(benchmark::State& state) {
  const std::string& text = data_rows();
  const char* const begin = text.c_str();
  const char* const end = begin + text.size();
  const char* p = begin;
  std::vector<double> row(kColumns);
  for (auto _ : state) {
    if (p == end) p = begin;
    char* after = nullptr;
    for (std::size_t k = 0; k < kColumns; ++k) {
      row[k] = std::strtod(p, &after);
      p = after;
    }
    ++p;  // the line feed
    benchmark::DoNotOptimize(row.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kColumns));
}
BENCHMARK(BM_ReadRow_StrtodBaseline);

// Rows of values as a merge computes them: full-precision doubles.
std::vector<double> computed_values() {
  std::mt19937_64 random(2);
  std::uniform_real_distribution<double> temperature(-40, 45);
  std::vector<double> values(kRowsOfValues * kColumns);
  for (double& value : values) value = temperature(random);
  return values;
}

std::int32_t hundred_columns() { return static_cast<std::int32_t>(kColumns); }

std::span<const double> row_of(const std::vector<double>& values, std::size_t r) {
  return std::span<const double>(values).subspan((r % kRowsOfValues) * kColumns, kColumns);
}

void BM_FormatRow_RowLayout(benchmark::State& state) {
  const std::vector<double> values = computed_values();
  std::size_t r = 0;
  for (auto _ : state) {
    const WriteValue row[] = {row_of(values, r++)};
    const std::string_view record = format_fields(layouts::row, row, hundred_columns);
    benchmark::DoNotOptimize(record.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kColumns));
}
BENCHMARK(BM_FormatRow_RowLayout);

void BM_WriteRow_RowLayoutToDevNull(benchmark::State& state) {
  if (open_unknown(kWriteUnit, "/dev/null") != kOk) {
    state.SkipWithError("cannot open /dev/null");
    return;
  }
  const std::vector<double> values = computed_values();
  std::size_t r = 0;
  for (auto _ : state) {
    const WriteValue row[] = {row_of(values, r++)};
    if (write_fields(kWriteUnit, layouts::row, row, hundred_columns) != kOk) {
      state.SkipWithError("a row write failed");
      break;
    }
  }
  close_keep(kWriteUnit);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kColumns));
}
BENCHMARK(BM_WriteRow_RowLayoutToDevNull);

void BM_FormatRow_SnprintfBaseline(benchmark::State& state) {
  const std::vector<double> values = computed_values();
  char record[kColumns * 7 + 1];
  std::size_t r = 0;
  for (auto _ : state) {
    const std::span<const double> row = row_of(values, r++);
    for (std::size_t k = 0; k < kColumns; ++k) {
      std::snprintf(record + 7 * k, 8, "%7.2f", row[k]);
    }
    benchmark::DoNotOptimize(record);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kColumns));
}
BENCHMARK(BM_FormatRow_SnprintfBaseline);

}  // namespace

BENCHMARK_MAIN();
