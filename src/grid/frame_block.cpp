#include "grid/frame_block.h"

#include "textio/diagnostics.h"
#include "textio/free_form_reader.h"

namespace quiltgrid::grid {

void read_block(int unit, GridBuffer& TMP) {
  for (std::size_t j = 0; j < TMP.rows(); ++j) textio::require(textio::read_numbers(unit, TMP.row(j)));
}

void write_block(int unit, const GridBuffer& TMP, textio::CountFunction count) {
  for (std::size_t j = 0; j < TMP.rows(); ++j) {
    const textio::WriteValue row[] = {TMP.row(j)};
    textio::require(textio::write_fields(unit, textio::layouts::row, row, count));
  }
}

}  // namespace quiltgrid::grid
