#include "grid/grid_buffer.h"

#include <algorithm>
#include <limits>
#include <new>

namespace quiltgrid::grid {

bool GridBuffer::allocate(std::int32_t rows, std::int32_t columns) {
  const auto r = static_cast<std::size_t>(std::max(rows, std::int32_t{0}));
  const auto c = static_cast<std::size_t>(std::max(columns, std::int32_t{0}));
  constexpr std::size_t kMaxValues = std::numeric_limits<std::size_t>::max() / sizeof(double);
  if (c != 0 && r > kMaxValues / c) return false;
  values_.reset(new (std::nothrow) double[r * c]());
  if (values_ == nullptr) return false;
  rows_ = r;
  columns_ = c;
  return true;
}

}  // namespace quiltgrid::grid
