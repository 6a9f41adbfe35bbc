// The result of every request of the text record layer.
#pragma once

namespace quiltgrid::textio {

// 0: success; -1: a read found the end of the file; a positive value: the
// request failed with that error number (see diagnostics.h).
using Status = int;

inline constexpr Status kOk = 0;
inline constexpr Status kEndOfFile = -1;

}  // namespace quiltgrid::textio
