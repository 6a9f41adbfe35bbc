// The row paths allocate nothing per value or per row once their buffers
// have grown: reading rows free-form and writing them in the row layout.
//
// This program replaces the global operator new and delete with versions
// that count allocations while counting is switched on.

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "textio/field_layout.h"
#include "textio/free_form_reader.h"
#include "textio/units.h"

namespace {

std::atomic<bool> counting{false};
std::atomic<std::uint64_t> allocations{0};

void* allocate(std::size_t size, std::size_t alignment) {
  if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
  if (size == 0) size = 1;
  void* p = alignment <= alignof(std::max_align_t)
                ? std::malloc(size)
                : std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
  return p;
}

void* allocate_or_throw(std::size_t size, std::size_t alignment) {
  void* p = allocate(size, alignment);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

void* operator new(std::size_t size) { return allocate_or_throw(size, 0); }
void* operator new[](std::size_t size) { return allocate_or_throw(size, 0); }
void* operator new(std::size_t size, std::align_val_t a) {
  return allocate_or_throw(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a) {
  return allocate_or_throw(size, static_cast<std::size_t>(a));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size, 0); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size, 0); }
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  return allocate(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  return allocate(size, static_cast<std::size_t>(a));
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

using namespace quiltgrid::textio;
using quiltgrid::testing::read_file;
using quiltgrid::testing::TempDir;
using quiltgrid::testing::write_file;

constexpr int kRows = 1000;
constexpr std::size_t kColumns = 100;

// Counts the allocations made while it lives.
class AllocationCount {
 public:
  AllocationCount() {
    allocations.store(0);
    counting.store(true);
  }
  ~AllocationCount() { counting.store(false); }
  AllocationCount(const AllocationCount&) = delete;
  AllocationCount& operator=(const AllocationCount&) = delete;

  std::uint64_t stop() {
    counting.store(false);
    return allocations.load();
  }
};

// A data row of every token shape the reader converts: short decimals
// (the fast path), long mantissas and exponents (the exact path), a repeat
// form, a comma, infinity and not-a-number, over two records.
std::string data_row(int r) {
  std::string row;
  char token[64];
  for (std::size_t k = 0; k < kColumns; ++k) {
    const std::size_t step = (static_cast<std::size_t>(r) * 7 + k * 13) % 9000;
    const double value = -40.0 + static_cast<double>(step) / 100.0;
    switch (k % 10) {
      case 3: std::snprintf(token, sizeof token, "%.22f", value); break;  // long mantissa
      case 5: std::snprintf(token, sizeof token, "%.3E", value); break;
      case 7: std::snprintf(token, sizeof token, "%.3f,", value); break;
      default: std::snprintf(token, sizeof token, "%9.3f", value); break;
    }
    row.append(token).append(k == 49 ? "\n" : " ");
  }
  // Values beyond the row are passed over with the rest of the record.
  row.append("2*1.5 inf nan 1.5D3\n");
  return row;
}

TEST(NoAllocation, ReadingRowsFreeFormAfterTheFirst) {
  TempDir folder;
  std::string file;
  for (int r = 0; r <= kRows; ++r) file.append(data_row(r));
  write_file(folder / "rows.r2c", file);
  ASSERT_EQ(open_unknown(100, (folder / "rows.r2c").string()), kOk);

  std::vector<double> row(kColumns);
  ASSERT_EQ(read_numbers(100, row), kOk);  // the buffers grow here
  int failures = 0;
  double sum = 0;
  AllocationCount count;
  for (int r = 0; r < kRows; ++r) {
    if (read_numbers(100, row) != kOk) ++failures;
    sum += row[kColumns - 1];
  }
  const std::uint64_t made = count.stop();
  EXPECT_EQ(made, 0U) << "allocations in " << kRows << " row reads";
  EXPECT_EQ(failures, 0);
  EXPECT_NE(sum, 0.0);
  EXPECT_EQ(close_keep(100), kOk);
}

std::int32_t hundred_columns() { return static_cast<std::int32_t>(kColumns); }

double value_at(int r, std::size_t k) {
  // Multiples of 1/8: ties at two decimals among them, and no value that
  // rounds to a signed zero.
  return (static_cast<double>(k) - 50.0) * 0.25 + static_cast<double>(r % 80) / 8.0;
}

TEST(NoAllocation, WritingRowsInTheRowLayoutAfterTheFirst) {
  TempDir folder;
  ASSERT_EQ(open_unknown(200, (folder / "merged.r2c").string()), kOk);

  std::vector<double> values(kColumns);
  const auto fill_row = [&](int r) {
    for (std::size_t k = 0; k < kColumns; ++k) values[k] = value_at(r, k);
  };
  const WriteValue row[] = {std::span<const double>(values)};
  fill_row(0);
  ASSERT_EQ(write_fields(200, layouts::row, row, hundred_columns), kOk);  // buffers grow here
  int failures = 0;
  std::size_t formatted = 0;
  AllocationCount count;
  for (int r = 1; r <= kRows; ++r) {
    fill_row(r);
    formatted += format_fields(layouts::row, row, hundred_columns).size();
    if (write_fields(200, layouts::row, row, hundred_columns) != kOk) ++failures;
  }
  const std::uint64_t made = count.stop();
  EXPECT_EQ(made, 0U) << "allocations in " << kRows << " row formats and writes";
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(formatted, kRows * kColumns * 7);
  ASSERT_EQ(close_keep(200), kOk);

  // What went to the file: every row, each value in its 7 columns.
  std::string expected;
  char field[16];
  for (int r = 0; r <= kRows; ++r) {
    for (std::size_t k = 0; k < kColumns; ++k) {
      std::snprintf(field, sizeof field, "%7.2f", value_at(r, k));
      expected.append(field);
    }
    expected.append("\r\n");
  }
  EXPECT_TRUE(read_file(folder / "merged.r2c") == expected);
}

}  // namespace
