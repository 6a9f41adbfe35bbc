#pragma once

namespace quiltgrid::fuzzing {

// Thrown where a run would end the process.
struct RunEnded {
  int exit_status;
};

}  // namespace quiltgrid::fuzzing
