#include "textio/record_splitter.h"

#include <cstring>

namespace quiltgrid::textio {

namespace {

constexpr char kLineFeed = '\n';
constexpr char kCarriageReturn = '\r';
constexpr char kControlZ = 26;

std::string_view without_carriage_returns(std::string_view record, CarriageReturns rule) {
  if (rule == CarriageReturns::one) {
    if (!record.empty() && record.back() == kCarriageReturn) record.remove_suffix(1);
  } else {
    while (!record.empty() && record.back() == kCarriageReturn) record.remove_suffix(1);
  }
  return record;
}

}  // namespace

RecordSplitter::Outcome RecordSplitter::next(platform::Handle handle, platform::FileKind kind,
                                             CarriageReturns rule, std::string_view& record,
                                             int& error) {
  for (;;) {
    const char* start = buffer_.get() + begin_;
    const std::size_t unread = end_ - begin_;
    if (const auto* line_feed = static_cast<const char*>(
            unread > scanned_ ? std::memchr(start + scanned_, kLineFeed, unread - scanned_)
                              : nullptr)) {
      const auto length = static_cast<std::size_t>(line_feed - start);
      record = without_carriage_returns({start, length}, rule);
      begin_ += length + 1;
      scanned_ = 0;
      break;
    }
    scanned_ = unread;
    error = 0;
    if (!fill(handle, kind, error)) {
      if (error != 0) return Outcome::read_error;
      if (unread == 0) return Outcome::end_of_file;
      record = without_carriage_returns({buffer_.get() + begin_, unread}, rule);
      begin_ = end_;
      scanned_ = 0;
      break;
    }
  }
  // A record of a lone control-Z marks the end of the file; it is consumed.
  if (record.size() == 1 && record.front() == kControlZ) return Outcome::end_of_file;
  return Outcome::record;
}

bool RecordSplitter::fill(platform::Handle handle, platform::FileKind kind, int& error) {
  const std::size_t unread = end_ - begin_;
  if (begin_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + begin_, unread);
    begin_ = 0;
    end_ = unread;
  }
  if (capacity_ - end_ < kBlock / 2) {
    // Grow for a record longer than the buffer; only long records do this.
    const std::size_t grown = capacity_ == 0 ? kBlock : capacity_ * 2;
    auto bigger = std::make_unique_for_overwrite<char[]>(grown);
    if (end_ > 0) std::memcpy(bigger.get(), buffer_.get(), end_);
    buffer_ = std::move(bigger);
    capacity_ = grown;
  }
  const platform::ReadResult got =
      platform::read(handle, kind, file_offset_, {buffer_.get() + end_, capacity_ - end_});
  if (got.error != 0) {
    error = got.error;
    return false;
  }
  end_ += got.got;
  file_offset_ += got.got;
  return got.got > 0;
}

void RecordSplitter::restart_at(std::uint64_t position) {
  begin_ = end_ = scanned_ = 0;
  file_offset_ = position;
}

}  // namespace quiltgrid::textio
