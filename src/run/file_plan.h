// The files a run touches: fixed units and fixed names relative to the
// working directory, the backslash as folder separator.
#pragma once

#include <string_view>

namespace quiltgrid::run {

inline constexpr int kRegionalUnit = 100;
inline constexpr int kMergedUnit = 200;
inline constexpr int kForecastUnit = 300;

inline constexpr std::string_view kRegionalName = "tempr\\20250101_regl_tmp.r2c";
inline constexpr std::string_view kMergedName = "tempr\\merged_regl_tmp.r2c";
inline constexpr std::string_view kForecastName = "tempr\\20250101_RDPS_tmp.r2c";

// Finishing has the merged file copied over the regional file.
inline constexpr std::string_view kCopyCommand =
    "copy tempr\\merged_regl_tmp.r2c tempr\\20250101_regl_tmp.r2c";

// The run report (unit 99) is the report's own file: report/run_report.h.

}  // namespace quiltgrid::run
