// Header records of a grid file: the records up to and including
// ":endHeader", of which the tool reads the grid size.
#pragma once

#include <cstdint>
#include <span>

namespace quiltgrid::grid {

// Reads the header of unit `in`: its first value into LINE, then every
// later record up to and including ":endHeader", each shown on the console
// and written to unit `out` as its first 60 columns. The ":xCount" and
// ":yCount" records give xcount and ycount (columns 34 to 38; 0 when the
// number reaches past them); the first 33 columns land in FRAMEHEAD. Any
// failure ends the run.
void copying_header_scan(int in, int out, std::span<char, 256> LINE,
                         std::span<char, 30> FRAMEHEAD, std::int32_t& xcount,
                         std::int32_t& ycount);

// The same scan, only shown on the console: nothing is written and no grid
// size is read.
void echoing_header_scan(int in, std::span<char, 256> LINE);

}  // namespace quiltgrid::grid
