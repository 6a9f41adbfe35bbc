// Every line the tool shows on the console, in the order a run shows them.
// A console that cannot be written to ends the run.
#pragma once

#include <cstdint>
#include <span>

namespace quiltgrid::report {

// The first value of a grid file's first record: a blank, then columns 1
// to 60 of LINE.
void show_first_value(std::span<const char> LINE);
// A later header record: columns 1 to 60 of LINE in the line layout.
void show_header_record(std::span<const char> LINE);
void show_grid_size(std::int32_t xcount, std::int32_t ycount);
void show_allocation_problem();
void show_first_date(std::int32_t yyyy, std::int32_t mm);
void show_copied_frame(std::int32_t yyyy, std::int32_t mm, std::span<const char> FRAMEHEAD);
void show_hand_over(std::int32_t frameNo);
// The first forecast marker line's fields, in the date layout.
void show_forecast_date(std::span<const char> FRAMEHEAD, std::int32_t yyyy,
                        std::span<const char> SEP, std::int32_t mm);
void show_appended_frame(std::int32_t frameNo, std::int32_t yyyy, std::int32_t mm);
// The five banner lines and the closing blank line.
void show_closing_banner();

}  // namespace quiltgrid::report
