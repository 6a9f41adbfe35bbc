// Console interrupts: control-C and its kin end the run loudly.
#pragma once

namespace quiltgrid::textio {

// From here on, an interrupt shows "program aborting due to <event>
// event" at the severity "error" with number 200, removes the file named
// by set_interrupt_cleanup, and ends the process. Every record written so
// far is already in its file, and ending the process closes every unit.
void handle_console_interrupts();

// A file to remove if an interrupt ends the run (a half-made temporary
// file), or nullptr. The text must stay alive while it is set.
void set_interrupt_cleanup(const char* path);

}  // namespace quiltgrid::textio
