#include "textio/field_layout.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "textio/diagnostics.h"
#include "textio/fixed_point.h"
#include "textio/integer_field.h"
#include "textio/units.h"

namespace quiltgrid::textio {

namespace {

// The tool's layouts have at most five descriptors.
constexpr std::size_t kMaxDescriptors = 8;

int repeat_of(const FieldDescriptor& descriptor, CountFunction count) {
  if (descriptor.repeat != kCountedRepeat) return descriptor.repeat;
  return count == nullptr ? 0 : std::max(count(), std::int32_t{0});
}

// Text into a target of n characters from a field of w columns: the
// rightmost n when n < w, else the field followed by blanks.
void read_text(std::string_view field, std::span<char> target) {
  if (target.size() < field.size()) field = field.substr(field.size() - target.size());
  if (!field.empty()) std::memcpy(target.data(), field.data(), field.size());
  std::memset(target.data() + field.size(), ' ', target.size() - field.size());
}

// Walks the layout over one record, filling the targets in order.
Status read_record_fields(std::string_view record, Layout layout,
                          std::span<const ReadTarget> targets, int unit) {
  std::size_t cursor = 0;
  std::size_t next_target = 0;
  for (const FieldDescriptor& descriptor : layout) {
    for (int r = 0; r < descriptor.repeat; ++r) {
      const auto width = static_cast<std::size_t>(descriptor.width);
      if (descriptor.kind == FieldKind::skip) {
        cursor += width;
        continue;
      }
      if (next_target == targets.size()) return kOk;
      // A field running past the end of the record is shortened to what
      // the record still holds.
      const std::string_view field =
          cursor < record.size() ? record.substr(cursor, width) : std::string_view{};
      const ReadTarget& target = targets[next_target++];
      if (const auto* text = std::get_if<std::span<char>>(&target)) {
        read_text(field, *text);
        cursor += width;
      } else {
        const IntegerField parsed = parse_integer(field);
        if (!parsed.valid) {
          return note_failure(error::input_conversion, unit, unit_name(unit));
        }
        *std::get<std::int32_t*>(target) = parsed.value;
        // A comma ends an integer field early; the next field starts after it.
        cursor += parsed.ended_at_comma ? parsed.consumed : width;
      }
    }
  }
  return kOk;
}

char* write_text(std::string_view value, int width, char* out) {
  const auto w = static_cast<std::size_t>(width);
  if (value.size() >= w) {
    std::memcpy(out, value.data(), w);
  } else {
    std::memset(out, ' ', w - value.size());
    if (!value.empty()) std::memcpy(out + w - value.size(), value.data(), value.size());
  }
  return out + w;
}

// Supplies the values one field at a time; a run of doubles counts as one
// value per element, and an empty run as none.
class ValueCursor {
 public:
  explicit ValueCursor(std::span<const WriteValue> values) : values_(values) { skip_empty_runs(); }

  bool done() const { return next_ == values_.size(); }
  const WriteValue& current() const { return values_[next_]; }

  // The doubles left in the current value if it is a run, else none.
  std::span<const double> run() const {
    const auto* run = std::get_if<std::span<const double>>(&values_[next_]);
    return run == nullptr ? std::span<const double>{} : run->subspan(used_in_run_);
  }

  void take_from_run(std::size_t count) {
    used_in_run_ += count;
    if (run().empty()) advance();
  }

  void advance() {
    ++next_;
    used_in_run_ = 0;
    skip_empty_runs();
  }

 private:
  void skip_empty_runs() {
    while (!done() && std::holds_alternative<std::span<const double>>(values_[next_]) &&
           std::get<std::span<const double>>(values_[next_]).empty()) {
      ++next_;
    }
  }

  std::span<const WriteValue> values_;
  std::size_t next_ = 0;
  std::size_t used_in_run_ = 0;
};

std::string& record_buffer() {
  static std::string buffer;
  return buffer;
}

}  // namespace

Status read_fields(int unit, Layout layout, std::span<const ReadTarget> targets) {
  std::string_view record;
  if (const Status status = read_record(unit, CarriageReturns::one, record); status != kOk) {
    return status;
  }
  return read_record_fields(record, layout, targets, unit);
}

Status read_fields(std::span<const char> record, Layout layout,
                   std::span<const ReadTarget> targets) {
  return read_record_fields({record.data(), record.size()}, layout, targets, kInMemoryUnit);
}

std::string_view format_fields(Layout layout, std::span<const WriteValue> values,
                               CountFunction count) {
  // The count function is called once per request.
  std::array<int, kMaxDescriptors> repeats{};
  std::size_t columns = 0;
  for (std::size_t d = 0; d < layout.size(); ++d) {
    repeats[d] = repeat_of(layout[d], count);
    columns += static_cast<std::size_t>(repeats[d]) * static_cast<std::size_t>(layout[d].width);
  }
  std::string& record = record_buffer();
  record.resize(columns);
  char* const begin = record.data();
  char* cursor = begin;
  char* last_written = begin;  // one past the last column a data field wrote
  ValueCursor next(values);
  for (std::size_t d = 0; d < layout.size(); ++d) {
    const FieldDescriptor& descriptor = layout[d];
    const int repeat = repeats[d];
    for (int r = 0; r < repeat;) {
      if (descriptor.kind == FieldKind::skip) {
        std::memset(cursor, ' ', static_cast<std::size_t>(descriptor.width));
        cursor += descriptor.width;
        ++r;
        continue;
      }
      if (next.done()) return {begin, static_cast<std::size_t>(last_written - begin)};
      if (descriptor.kind == FieldKind::fixed_point) {
        // The row layout's inner loop: as many doubles as the field repeats.
        const std::span<const double> run = next.run();
        if (run.empty()) break;  // a value of another kind: nothing to place
        const std::size_t take = std::min(run.size(), static_cast<std::size_t>(repeat - r));
        for (std::size_t i = 0; i < take; ++i) {
          cursor = format_fixed(run[i], descriptor.width, descriptor.decimals, cursor);
        }
        next.take_from_run(take);
        r += static_cast<int>(take);
      } else {
        const WriteValue& value = next.current();
        if (descriptor.kind == FieldKind::integer) {
          cursor = format_integer(std::get<std::int32_t>(value), descriptor.width, cursor);
        } else {
          cursor = write_text(std::get<std::string_view>(value), descriptor.width, cursor);
        }
        next.advance();
        ++r;
      }
      last_written = cursor;
    }
  }
  return {begin, static_cast<std::size_t>(last_written - begin)};
}

Status write_fields(int unit, Layout layout, std::span<const WriteValue> values,
                    CountFunction count) {
  return write_record(unit, format_fields(layout, values, count));
}

}  // namespace quiltgrid::textio
