#include <algorithm>

#include "report/console_messages.h"
#include "report/run_report.h"
#include "run/file_plan.h"
#include "run/passes.h"
#include "textio/command_runner.h"
#include "textio/diagnostics.h"
#include "textio/units.h"

namespace quiltgrid::run {

void finishing(SharedState& s) {
  // Every record of the merged file is in it, and no grid file is held
  // open, before the copy begins.
  textio::require(textio::close_keep(kRegionalUnit));
  textio::require(textio::close_keep(kMergedUnit));
  textio::require(textio::close_keep(kForecastUnit));

  std::fill(s.LINE.begin(), s.LINE.end(), ' ');
  std::copy(kCopyCommand.begin(), kCopyCommand.end(), s.LINE.begin());
  textio::run_command({s.LINE.data(), kCopyCommand.size()});

  report::append_entry(report::kEndLabel, s.LINE, s.CTIME, s.ioStatus);
  report::show_closing_banner();
  textio::end_of_run(0);
}

}  // namespace quiltgrid::run
