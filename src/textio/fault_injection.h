// Faults on request, for the tests that prove every failure is survived.
//
// In a build with QUILTGRID_FAULT_INJECTION, the environment variable
// QUILTGRID_FAULT="KIND:N:ERRNO" makes the Nth platform call of that kind
// fail with that error code (KIND: open, read, write, truncate, fsync,
// rename, close), and QUILTGRID_FAULT_HIT names a file that is created when
// the fault fires. In every other build the hooks are constant zeros and
// vanish.
#pragma once

namespace quiltgrid::platform::faults {

enum class Call { open, read, write, truncate, fsync, rename, close };

#if QUILTGRID_FAULT_INJECTION
// The error code this call is to fail with, or 0.
int injected(Call call);
#else
constexpr int injected(Call) { return 0; }
#endif

}  // namespace quiltgrid::platform::faults
