// The time of day for the run report.
#pragma once

#include <span>

namespace quiltgrid::textio {

// Fills the 10 characters hhmmss.sss with the local wall-clock time: the
// hour on the 24-hour clock, minutes, seconds, a full stop, milliseconds.
void time_of_day(std::span<char, 10> text);

}  // namespace quiltgrid::textio
