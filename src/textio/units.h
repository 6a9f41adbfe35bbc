// Units: small integer numbers connected to text files, and the records
// that move through them.
//
// Every request returns a Status (status.h). A failing request has noted
// its failure (diagnostics.h) before it returns, so the caller can hand the
// status to require() to end the run, or keep it.
#pragma once

#include <string>
#include <string_view>

#include "textio/status.h"

namespace quiltgrid::textio {

// How a read removes carriage returns at the end of a record: a read for a
// field layout removes the one right before the line feed, a free-form
// read removes all of them.
enum class CarriageReturns { one, all };

// The full path of a name: blanks around it dropped, backslashes taken as
// folder separators, relative to the working directory, "." and ".."
// folded, symbolic links left as they are.
std::string resolve_name(std::string_view name);

// True when the name is connected to a unit, or exists and is not a folder.
bool exists(std::string_view name);

// Connects the unit to the file, creating it if missing ("unknown"). An
// existing file keeps its content until the first write. Falls back to a
// read-only unit when only read access can be had, or when another run
// holds the file for writing.
Status open_unknown(int unit, std::string_view name);

// Closes the unit with "keep"; nothing happens to an unconnected unit.
Status close_keep(int unit);

// Closes every connected unit, ignoring failures (the end of a run).
void close_every_unit();

// True when no unread byte is left on the unit. Reads nothing.
bool at_end_of_file(int unit);

// Reads the next record. The view stays valid until the next request on
// the unit. An unconnected unit is first connected to "fort.<unit>".
Status read_record(int unit, CarriageReturns rule, std::string_view& record);

// Writes one record and its CR LF with one system write. The console is
// kConsoleUnit. An unconnected unit is first connected to "fort.<unit>".
Status write_record(int unit, std::string_view record);

// Moves the unit to the end of its file, so that the next record is
// written after every byte the file holds.
Status move_to_end(int unit);

// The full path the unit is connected to ("stdout" for the console).
std::string_view unit_name(int unit);

}  // namespace quiltgrid::textio
