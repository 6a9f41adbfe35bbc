// Free-form input: values separated by blanks or commas, over as many
// records as the items need.
//
// A read is a begin, one item call per item, and an end. It starts with a
// new record, and whatever its last record holds beyond the values used is
// passed over. When a step fails, the read is over: the caller issues no
// further steps, and the next read starts with the following record.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "textio/status.h"

namespace quiltgrid::textio {

// The longest text value a read takes.
inline constexpr std::size_t kMaxTextValue = 2049;

class FreeFormReader {
 public:
  // Reads the first record of the read; -1 at the end of the file.
  Status begin(int unit);

  // Fills one number item, or leaves it unchanged (a null value, or a
  // slash met before).
  Status item(double& target);

  // Fills number items in order, as that many item() calls would; stops at
  // the first failure and returns it.
  Status items(std::span<double> targets);

  // Fills one text item, blank-padded, or leaves it unchanged.
  Status item(std::span<char> target);

  // Passes over the rest of the record and forgets the read's state.
  void end();

 private:
  enum class Found { value, null_value, slash };

  // Moves to the next character that is not a blank, tab or carriage
  // return, reading records as needed. -1 at the end of the file.
  Status skip_blanks();
  // Steps 2 to 4 of finding a value, shared by both item kinds: skips
  // separators and handles commas and the slash.
  Status find_value(Found& found);
  bool plain_decimal(double& target);
  Status number_at_cursor(double& value, bool allow_repeat);
  Status text_at_cursor(bool allow_repeat);
  Status quoted_text();
  Status repeat_form(std::string_view count, bool negative, bool plain_integer);
  void store_text(std::span<char> target) const;
  Status fail(int number);

  int unit_ = 0;
  std::string_view record_;
  std::size_t cursor_ = 0;
  bool slash_met_ = false;
  bool value_just_taken_ = false;
  // A pending repeat form: copies still to give, and whether they are null
  // values or copies of number_ / text_.
  std::uint32_t repeats_left_ = 0;
  bool repeats_null_ = false;
  double number_ = 0;
  std::string text_;     // the last text value taken
  std::string scratch_;  // the decimal conversion's rewritten token
};

// A whole free-form read of number items; stops at the first failure.
Status read_numbers(int unit, std::span<double> items);

// A whole free-form read of one text item.
Status read_text(int unit, std::span<char> item);

}  // namespace quiltgrid::textio
