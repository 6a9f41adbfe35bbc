// Splits the bytes of a file into records, taking the file in large blocks.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "textio/platform.h"
#include "textio/units.h"

namespace quiltgrid::textio {

class RecordSplitter {
 public:
  enum class Outcome { record, end_of_file, read_error };

  // Takes the next record from the file at `position` (the byte after the
  // last record handed out). A record ends at a line feed, or at the end of
  // the file when the last bytes have none; the buffer grows to hold a
  // record of any length. On read_error, error holds the system's code.
  Outcome next(platform::Handle handle, platform::FileKind kind, CarriageReturns rule,
               std::string_view& record, int& error);

  // The file offset of the first byte not yet handed out.
  std::uint64_t position() const { return file_offset_ - (end_ - begin_); }

  // Bytes taken from the file but not yet handed out as records.
  std::size_t read_ahead() const { return end_ - begin_; }

  // Forgets the read-ahead bytes; reading goes on at `position`.
  void restart_at(std::uint64_t position);

 private:
  // Reads more of the file behind the unread bytes; false at the end.
  bool fill(platform::Handle handle, platform::FileKind kind, int& error);

  static constexpr std::size_t kBlock = 256 * 1024;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  std::size_t begin_ = 0;  // first unread byte
  std::size_t end_ = 0;    // one past the last byte read from the file
  std::size_t scanned_ = 0;  // bytes from begin_ known to hold no line feed
  std::uint64_t file_offset_ = 0;  // file offset of buffer_[end_]
};

}  // namespace quiltgrid::textio
