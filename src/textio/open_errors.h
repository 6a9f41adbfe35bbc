// How a refused open maps onto the layer's error numbers.
#pragma once

namespace quiltgrid::textio {

struct OpenError {
  int number;
  bool show_system_text;  // the refusal is none of the known kinds
};

// The error number of a refused open, from the system's code. `folder`:
// the name is a folder.
OpenError open_error(int system_error, bool folder);

// True when the system refused read-write access in a way that read-only
// access may overcome.
bool falls_back_to_read_only(int system_error);

}  // namespace quiltgrid::textio
