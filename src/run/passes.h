// The phases of a run, in the order the run sequence calls them.
#pragma once

#include "run/shared_state.h"

namespace quiltgrid::run {

// Copies the regional header and the regional frames of 2025 through June
// into the merged file, and leaves in frameNo the number of the first
// frame not copied.
void regional_pass(SharedState& s);

// Appends the forecast frames of 2025 from July on, under marker lines
// numbered on from frameNo.
void forecast_pass(SharedState& s);

// Closes the grid files, replaces the regional file by the merged one,
// writes the end line and the banner, and stops with exit status 0.
[[noreturn]] void finishing(SharedState& s);

// Opens one of the grid files; a failed open ends the run right away, so
// that no other file ever stands in for a grid file.
void open_grid_file(int unit, std::string_view name, std::int32_t& ioStatus);

}  // namespace quiltgrid::run
