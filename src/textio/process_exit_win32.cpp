#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "textio/platform.h"

namespace quiltgrid::platform {

// The exit status is a 32-bit code on Windows: the interrupt status
// 0xC000013A arrives as a negative int and leaves as that code. The process
// ends at once, as _exit does on POSIX: an interrupt ends it from the
// console handler's thread, where the runtime's exit handling could wait
// for a lock the main thread holds. Every record is already in its file.
void exit_process(int status) {
  ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(status));
  ::ExitProcess(static_cast<UINT>(status));  // not reached
}

}  // namespace quiltgrid::platform
