#include "grid/frame_block.h"
#include "grid/header_records.h"
#include "grid/marker_records.h"
#include "report/console_messages.h"
#include "run/file_plan.h"
#include "run/passes.h"
#include "textio/diagnostics.h"

namespace quiltgrid::run {

namespace {

constexpr std::int32_t kYear = 2025;
constexpr std::int32_t kFirstForecastMonth = 7;

// The end of the forecast file, met by a marker read or an end marker skip,
// ends the pass; any other failure ends the run.
textio::Status ending_at_end_of_file(textio::Status status) {
  if (status != textio::kEndOfFile) textio::require(status);
  return status;
}

}  // namespace

void forecast_pass(SharedState& s) {
  open_grid_file(kForecastUnit, kForecastName, s.ioStatus);
  grid::echoing_header_scan(kForecastUnit, s.LINE);
  textio::require(grid::read_marker(kForecastUnit, s.FRAME));
  grid::write_composed_marker(kMergedUnit, s.frameNo, s.FRAME);
  grid::parse_marker(s.FRAME, s.FRAMEHEAD, s.yyyy, s.SEP, s.mm);
  report::show_forecast_date(s.FRAMEHEAD, s.yyyy, s.SEP, s.mm);

  // The first test sees the status of the forecast file's open.
  while (s.yyyy == kYear && s.mm >= kFirstForecastMonth && s.ioStatus == textio::kOk) {
    grid::read_block(kForecastUnit, s.TMP);
    grid::write_block(kMergedUnit, s.TMP, current_xcount);
    s.ioStatus = ending_at_end_of_file(grid::skip_end_marker(kForecastUnit));
    grid::write_end_marker(kMergedUnit);
    s.ioStatus = ending_at_end_of_file(grid::read_marker(kForecastUnit, s.FRAME));
    grid::parse_marker(s.FRAME, s.FRAMEHEAD, s.yyyy, s.SEP, s.mm);
    // Only the month and the read decide: a marker line of another year
    // still gets its composed line, and the loop test then ends the pass.
    if (s.mm >= kFirstForecastMonth && s.ioStatus == textio::kOk) {
      ++s.frameNo;
      grid::write_composed_marker(kMergedUnit, s.frameNo, s.FRAME);
      report::show_appended_frame(s.frameNo, s.yyyy, s.mm);
    }
  }
}

}  // namespace quiltgrid::run
