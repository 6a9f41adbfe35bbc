// The grid buffer: the values of one frame, row after row.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

namespace quiltgrid::grid {

class GridBuffer {
 public:
  // Allocates rows x columns values, all zero (extents below 0 count as 0).
  // False when the memory cannot be had or rows x columns x 8 bytes is
  // beyond what a size can hold; the buffer then stays empty.
  bool allocate(std::int32_t rows, std::int32_t columns);

  std::size_t rows() const { return rows_; }
  std::size_t columns() const { return columns_; }

  // Row j, counted from 0.
  std::span<double> row(std::size_t j) { return {values_.get() + j * columns_, columns_}; }
  std::span<const double> row(std::size_t j) const {
    return {values_.get() + j * columns_, columns_};
  }

 private:
  std::unique_ptr<double[]> values_;
  std::size_t rows_ = 0;
  std::size_t columns_ = 0;
};

}  // namespace quiltgrid::grid
