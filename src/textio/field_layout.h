// Field layouts: records in fixed columns, read into targets or written
// from values, one record per request.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <variant>

#include "textio/status.h"

namespace quiltgrid::textio {

enum class FieldKind { text, integer, skip, fixed_point };

// Repeat count of a descriptor whose count comes from the request's count
// function.
inline constexpr int kCountedRepeat = 0;

struct FieldDescriptor {
  FieldKind kind;
  int repeat;  // consecutive fields of this kind and width, or kCountedRepeat
  int width;
  int decimals = 0;  // fixed-point fields only
};

using Layout = std::span<const FieldDescriptor>;

namespace layouts {
using enum FieldKind;
inline constexpr FieldDescriptor line[] = {{text, 1, 60}};
inline constexpr FieldDescriptor dimension[] = {{text, 1, 33}, {integer, 1, 5}};
inline constexpr FieldDescriptor date[] = {{text, 1, 30}, {integer, 1, 4}, {text, 1, 1},
                                           {integer, 1, 2}};
inline constexpr FieldDescriptor frame_number[] = {{skip, 1, 10}, {integer, 1, 6}};
inline constexpr FieldDescriptor frame_marker[] = {
    {text, 1, 6}, {integer, 2, 10}, {skip, 1, 3}, {text, 1, 25}};
inline constexpr FieldDescriptor end_marker[] = {{text, 1, 9}};
// One fixed-point field of 7 columns with 2 decimals per grid column.
inline constexpr FieldDescriptor row[] = {{fixed_point, kCountedRepeat, 7, 2}};
}  // namespace layouts

// Supplies the repeat count of a counted descriptor; called once per
// request that reaches one.
using CountFunction = std::int32_t (*)();

// A read target: a text (filled blank-padded) or a 4-byte integer.
using ReadTarget = std::variant<std::span<char>, std::int32_t*>;

// A write value: a text, a 4-byte integer, or a run of doubles that fills
// as many consecutive fixed-point fields.
using WriteValue = std::variant<std::string_view, std::int32_t, std::span<const double>>;

// Reads the next record of the unit through the layout into the targets.
Status read_fields(int unit, Layout layout, std::span<const ReadTarget> targets);

// Reads a text of the tool as one record (an in-memory record): failures
// name the unit -5 and the file "Internal Formatted Read".
Status read_fields(std::span<const char> record, Layout layout,
                   std::span<const ReadTarget> targets);

// Writes one record to the unit (or the console) through the layout.
Status write_fields(int unit, Layout layout, std::span<const WriteValue> values,
                    CountFunction count = nullptr);

// The record write_fields would write, for callers and tests that need the
// text itself. The view stays valid until the next call.
std::string_view format_fields(Layout layout, std::span<const WriteValue> values,
                               CountFunction count = nullptr);

}  // namespace quiltgrid::textio
