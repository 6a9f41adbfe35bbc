#include "run/run_sequence.h"

#include "report/run_report.h"
#include "run/passes.h"
#include "run/shared_state.h"
#include "textio/interrupts.h"

namespace quiltgrid::run {

void run_sequence() {
  textio::handle_console_interrupts();
  SharedState& s = shared_state();
  report::append_entry(report::kStartLabel, s.FRAMEHEAD, s.CTIME, s.ioStatus);
  regional_pass(s);
  forecast_pass(s);
  finishing(s);
}

}  // namespace quiltgrid::run
