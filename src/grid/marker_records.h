// Frame marker lines and end marker lines.
//
// A frame marker line holds the frame number in columns 11 to 16, and the
// time stamp in columns 30 to 54, with the year in 31 to 34, a separator
// in 35 and the month in 36 to 37.
#pragma once

#include <cstdint>
#include <span>

#include "textio/status.h"

namespace quiltgrid::grid {

// Reads the next record of the unit into FRAME (its first 60 columns).
textio::Status read_marker(int unit, std::span<char, 256> FRAME);

// Writes FRAME's first 60 columns to the unit.
void copy_marker(int unit, std::span<const char, 256> FRAME);

// Takes columns 1 to 30, the year, the separator and the month of FRAME.
// A year or month that is not an integer ends the run.
void parse_marker(std::span<const char, 256> FRAME, std::span<char, 30> FRAMEHEAD,
                  std::int32_t& yyyy, std::span<char, 1> SEP, std::int32_t& mm);

// Reads the frame number from columns 11 to 16 of FRAMEHEAD.
void take_frame_number(std::span<const char, 30> FRAMEHEAD, std::int32_t& frameNo);

// Writes ":Frame", frameNo twice in 10 columns each, three blanks and the
// time stamp of FRAME (its columns 30 to 54): 54 columns.
void write_composed_marker(int unit, std::int32_t frameNo, std::span<const char, 256> FRAME);

// Passes over one record, whatever it holds.
textio::Status skip_end_marker(int unit);

// Writes ":EndFrame".
void write_end_marker(int unit);

}  // namespace quiltgrid::grid
