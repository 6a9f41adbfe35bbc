// The state the phases of a run share: one instance for the whole run.
#pragma once

#include <array>
#include <cstdint>

#include "grid/grid_buffer.h"

namespace quiltgrid::run {

struct SharedState {
  std::array<char, 256> LINE{};      // the current header record; the command line
  std::array<char, 256> FRAME{};     // the frame marker line last read
  std::array<char, 30> FRAMEHEAD{};  // columns 1 to 30 of the marker line last parsed
  std::array<char, 1> SEP{};         // column 35 of the marker line last parsed
  std::array<char, 10> CTIME{};      // the time of day, hhmmss.sss
  std::int32_t xcount = 0;  // grid width and height, from the regional header
  std::int32_t ycount = 0;
  std::int32_t yyyy = 0;    // year and month of the marker line last parsed
  std::int32_t mm = 0;
  std::int32_t frameNo = 0;   // carried from the regional pass into the forecast pass
  std::int32_t ioStatus = 0;  // the status of the last request that asked for one
  grid::GridBuffer TMP;       // the values of one frame
};

// The run's one instance; the texts start as zero bytes, xcount as 0.
SharedState& shared_state();

// The row layout's count function: the current xcount.
std::int32_t current_xcount();

}  // namespace quiltgrid::run
