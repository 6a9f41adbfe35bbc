// The whole life of one run.
#pragma once

namespace quiltgrid::run {

// Start entry, regional pass, forecast pass, finishing. Does not return:
// the run ends with exit status 0, or with a diagnostic and its number.
[[noreturn]] void run_sequence();

}  // namespace quiltgrid::run
