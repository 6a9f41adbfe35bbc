// The data block of a frame: its rows, read into the grid buffer and
// written back in the row layout.
#pragma once

#include "grid/grid_buffer.h"
#include "textio/field_layout.h"

namespace quiltgrid::grid {

// Reads one frame's rows from the unit into the buffer, each row one
// free-form read of as many values as the buffer has columns. Any failure
// (the end of the file, a value that does not read) ends the run: a frame
// is never passed on with values left over from the frame before.
void read_block(int unit, GridBuffer& TMP);

// Writes the buffer's rows to the unit, one record in the row layout each;
// `count` gives the row layout's repeat count.
void write_block(int unit, const GridBuffer& TMP, textio::CountFunction count);

}  // namespace quiltgrid::grid
