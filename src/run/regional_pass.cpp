#include "grid/frame_block.h"
#include "grid/header_records.h"
#include "grid/marker_records.h"
#include "report/console_messages.h"
#include "run/file_plan.h"
#include "run/passes.h"
#include "textio/diagnostics.h"
#include "textio/units.h"

namespace quiltgrid::run {

namespace {

constexpr std::int32_t kYear = 2025;
constexpr std::int32_t kLastRegionalMonth = 6;

// A grid without columns or rows would turn every frame into empty rows.
void check_grid_size(const SharedState& s) {
  if (s.xcount < 1 || s.ycount < 1) {
    textio::end_run_with(textio::error::invalid_grid_size, kRegionalUnit,
                         textio::unit_name(kRegionalUnit));
  }
}

void allocate_grid_buffer(SharedState& s) {
  if (s.TMP.allocate(s.ycount, s.xcount)) return;
  report::show_allocation_problem();
  textio::end_run_with(textio::error::out_of_memory, 0, {});
}

}  // namespace

void open_grid_file(int unit, std::string_view name, std::int32_t& ioStatus) {
  ioStatus = textio::open_unknown(unit, name);
  textio::require(ioStatus);
}

void regional_pass(SharedState& s) {
  open_grid_file(kRegionalUnit, kRegionalName, s.ioStatus);
  open_grid_file(kMergedUnit, kMergedName, s.ioStatus);
  grid::copying_header_scan(kRegionalUnit, kMergedUnit, s.LINE, s.FRAMEHEAD, s.xcount, s.ycount);
  report::show_grid_size(s.xcount, s.ycount);
  check_grid_size(s);
  allocate_grid_buffer(s);

  textio::require(grid::read_marker(kRegionalUnit, s.FRAME));
  grid::copy_marker(kMergedUnit, s.FRAME);
  grid::parse_marker(s.FRAME, s.FRAMEHEAD, s.yyyy, s.SEP, s.mm);
  report::show_first_date(s.yyyy, s.mm);

  while (s.yyyy == kYear && s.mm <= kLastRegionalMonth) {
    grid::read_block(kRegionalUnit, s.TMP);
    grid::write_block(kMergedUnit, s.TMP, current_xcount);
    textio::require(grid::skip_end_marker(kRegionalUnit));
    grid::write_end_marker(kMergedUnit);
    textio::require(grid::read_marker(kRegionalUnit, s.FRAME));
    grid::parse_marker(s.FRAME, s.FRAMEHEAD, s.yyyy, s.SEP, s.mm);
    // Only the month decides: a marker line of another year is still
    // copied, and the loop test then ends the pass.
    if (s.mm <= kLastRegionalMonth) {
      grid::copy_marker(kMergedUnit, s.FRAME);
      report::show_copied_frame(s.yyyy, s.mm, s.FRAMEHEAD);
    }
  }

  grid::take_frame_number(s.FRAMEHEAD, s.frameNo);
  report::show_hand_over(s.frameNo);
}

}  // namespace quiltgrid::run
