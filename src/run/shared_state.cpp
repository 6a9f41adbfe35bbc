#include "run/shared_state.h"

namespace quiltgrid::run {

SharedState& shared_state() {
  static SharedState state;
  return state;
}

std::int32_t current_xcount() { return shared_state().xcount; }

}  // namespace quiltgrid::run
