#include <unistd.h>

#include "textio/platform.h"

namespace quiltgrid::platform {

void exit_process(int status) { ::_exit(status); }

}  // namespace quiltgrid::platform
