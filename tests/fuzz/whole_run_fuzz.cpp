// A whole run on fuzzed grid files. The input is split at the first byte
// 0xFF into the regional and the forecast file; the run ends however it
// ends (its end unwinds back here), and must never crash or trip a
// sanitizer.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string_view>

#include "fuzz/ending_without_exit.h"
#include "fuzz/fuzz_files.h"
#include "run/run_sequence.h"
#include "run/shared_state.h"
#include "textio/units.h"

using namespace quiltgrid;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The run's console goes nowhere; diagnostics still reach standard error.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
  fuzzing::work_folder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = bytes.find('\xff');
  fuzzing::put_file("tempr/20250101_regl_tmp.r2c", bytes.substr(0, cut));
  fuzzing::put_file("tempr/20250101_RDPS_tmp.r2c",
                    cut == std::string_view::npos ? std::string_view{} : bytes.substr(cut + 1));
  std::error_code ignored;
  std::filesystem::remove(fuzzing::work_folder() / "runReport.txt", ignored);
  std::filesystem::remove(fuzzing::work_folder() / "tempr/merged_regl_tmp.r2c", ignored);
  run::shared_state() = run::SharedState{};
  try {
    run::run_sequence();
  } catch (const fuzzing::RunEnded&) {
  }
  textio::close_every_unit();
  return 0;
}
