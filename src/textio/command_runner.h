// The command runner: carries out the tool's one command line and waits
// for it.
#pragma once

#include <string_view>

namespace quiltgrid::textio {

// Carries out "copy SOURCE TARGET" (names separated by single blanks, the
// backslash as folder separator): TARGET is replaced atomically by SOURCE's
// bytes, and SOURCE stays. Afterwards TARGET holds either its old content
// or all of SOURCE, whatever happens meanwhile. Any other command line, or
// a copy that fails, ends the run with a severe diagnostic; a run that
// returns from here has its copy in place.
void run_command(std::string_view command);

}  // namespace quiltgrid::textio
