#include "report/run_report.h"

#include "textio/clock.h"
#include "textio/diagnostics.h"
#include "textio/free_form_reader.h"
#include "textio/free_form_writer.h"
#include "textio/units.h"

namespace quiltgrid::report {

void append_entry(std::string_view label, std::span<char> scratch, std::span<char, 10> CTIME,
                  std::int32_t& ioStatus) {
  using namespace textio;
  const bool existed = exists(kRunReportName);
  require(open_unknown(kRunReportUnit, kRunReportName));
  if (existed) {
    // Pass over the existing lines; a line that does not read well stops
    // nothing. A read the system refuses would refuse again and again, so
    // it ends the run.
    while (!at_end_of_file(kRunReportUnit)) {
      ioStatus = read_text(kRunReportUnit, scratch);
      if (ioStatus == error::read_failed) end_run_on(ioStatus);
    }
  }
  // The new line goes after every byte of the file, also after a control-Z
  // line that the reads above took for the end of the file.
  require(move_to_end(kRunReportUnit));
  time_of_day(CTIME);
  const std::string_view time{CTIME.data(), CTIME.size()};
  require(write_free_form(kRunReportUnit, {label, time.substr(0, 2), ":", time.substr(2, 2), ":",
                                           time.substr(4, 2)}));
  require(close_keep(kRunReportUnit));
}

}  // namespace quiltgrid::report
