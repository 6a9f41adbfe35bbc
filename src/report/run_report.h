// The run report "runReport.txt": each run adds a start line and an end
// line after whatever the file holds; nothing in it is ever changed.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace quiltgrid::report {

inline constexpr int kRunReportUnit = 99;
inline constexpr std::string_view kRunReportName = "runReport.txt";

// The labels, 31 characters each, trailing blanks included.
inline constexpr std::string_view kStartLabel = "quiltgrid.exe - started        ";
inline constexpr std::string_view kEndLabel = "quiltgrid.exe - normal ending  ";

// Appends one line: a blank, the label, and the time of day as hh:mm:ss.
// The existing lines are read (into `scratch`, statuses into ioStatus)
// before the line is written after every byte the file holds. CTIME takes
// the time of day.
void append_entry(std::string_view label, std::span<char> scratch, std::span<char, 10> CTIME,
                  std::int32_t& ioStatus);

}  // namespace quiltgrid::report
