// Replaces a file by a copy of another, atomically.
#pragma once

#include <string>

#include "textio/status.h"

namespace quiltgrid::textio {

// The units that diagnostics of the copy name: the source is the merged
// grid file's unit, the target the regional grid file's.
struct CopyUnits {
  int source;
  int target;
};

// Copies source's bytes to a new temporary file in target's folder, flushes
// it to stable storage, renames it over target and flushes the folder. A
// failure removes the temporary file, leaves target as it was, notes the
// failure (always with the system's text) and returns its number: the open
// table's number for an open, 39 for reading source, 38 for writing,
// flushing or renaming.
Status copy_atomically(const std::string& source, const std::string& target, CopyUnits units);

}  // namespace quiltgrid::textio
