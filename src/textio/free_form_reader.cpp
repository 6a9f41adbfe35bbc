#include "textio/free_form_reader.h"

#include <algorithm>
#include <cstring>

#include "textio/decimal_conversion.h"
#include "textio/diagnostics.h"
#include "textio/number_token.h"
#include "textio/plain_decimals.h"
#include "textio/units.h"

namespace quiltgrid::textio {

namespace {

// A carriage return inside a record separates values like a blank.
bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool ends_undelimited_text(char c) {
  return is_blank(c) || c == ',' || c == '/' || c == '\0';
}

bool is_quote(char c) { return c == '\'' || c == '"'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

constexpr std::uint64_t kMaxRepeat = 4294967295U;

}  // namespace

Status FreeFormReader::begin(int unit) {
  unit_ = unit;
  cursor_ = 0;
  slash_met_ = false;
  value_just_taken_ = false;
  repeats_left_ = 0;
  return read_record(unit, CarriageReturns::all, record_);
}

void FreeFormReader::end() {
  // The rest of the record is passed over: the next read begins with a
  // record of its own.
  record_ = {};
  cursor_ = 0;
  repeats_left_ = 0;
}

Status FreeFormReader::fail(int number) { return note_failure(number, unit_, unit_name(unit_)); }

Status FreeFormReader::skip_blanks() {
  for (;;) {
    while (cursor_ < record_.size() && is_blank(record_[cursor_])) ++cursor_;
    if (cursor_ < record_.size()) return kOk;
    // The end of a record counts as a blank.
    cursor_ = 0;
    if (const Status status = read_record(unit_, CarriageReturns::all, record_); status != kOk) {
      record_ = {};
      return status;
    }
  }
}

Status FreeFormReader::find_value(Found& found) {
  if (slash_met_) {
    found = Found::slash;
    return kOk;
  }
  for (;;) {
    if (const Status status = skip_blanks(); status != kOk) return status;
    const char c = record_[cursor_];
    if (c == '/') {
      slash_met_ = true;
      ++cursor_;
      found = Found::slash;
      return kOk;
    }
    if (c != ',') {
      found = Found::value;
      return kOk;
    }
    ++cursor_;
    // A comma right after a value separates it; any other comma stands
    // for a null value.
    if (!value_just_taken_) {
      found = Found::null_value;
      return kOk;
    }
    value_just_taken_ = false;
  }
}

Status FreeFormReader::repeat_form(std::string_view count, bool negative, bool plain_integer) {
  if (negative) return fail(error::repeat_count_signed);
  if (!plain_integer) return fail(error::input_conversion);
  std::uint64_t r = 0;
  for (const char c : count) {
    r = r * 10 + static_cast<std::uint64_t>(c - '0');
    if (r > kMaxRepeat) return fail(error::input_conversion);
  }
  if (r == 0) return fail(error::repeat_count_zero);
  repeats_left_ = static_cast<std::uint32_t>(r);
  ++cursor_;  // the asterisk
  // A blank, tab, comma or the end of the record after the asterisk: r
  // null values, and that separator goes with them.
  repeats_null_ = cursor_ == record_.size() || is_blank(record_[cursor_]) ||
                  record_[cursor_] == ',';
  if (repeats_null_) {
    value_just_taken_ = cursor_ == record_.size() || record_[cursor_] != ',';
    if (cursor_ < record_.size()) ++cursor_;
  }
  return kOk;
}

Status FreeFormReader::number_at_cursor(double& value, bool allow_repeat) {
  const NumberToken token = scan_number(record_, cursor_);
  if (token.valid && token.end < record_.size() && record_[token.end] == '*') {
    if (!allow_repeat) return fail(error::free_form_syntax);
    cursor_ = token.end;
    return repeat_form(token.mantissa, token.signed_explicitly && token.negative,
                       token.plain_integer && !token.signed_explicitly &&
                           token.kind == NumberToken::Kind::finite);
  }
  if (!token.valid) return fail(error::free_form_syntax);
  const Conversion converted = convert_number(token, scratch_);
  if (!converted.ok) return fail(error::input_conversion);
  value = converted.value;
  cursor_ = token.end;
  value_just_taken_ = true;
  return kOk;
}

// The common token of a data row, a plain decimal like -12.345 followed by
// a separator, read in one pass: at most 19 digits whose integer is below
// 2^53, at most 22 after the point, so that one division rounds correctly.
// Anything else (exponents, repeat forms, long or odd tokens) is left to
// the full scanner, which reads it from its start again.
bool FreeFormReader::plain_decimal(double& target) {
  const char* const begin = record_.data() + cursor_;
  const char* const end = record_.data() + record_.size();
  const char* p = begin;
  const bool negative = *p == '-';
  if (negative || *p == '+') ++p;
  std::uint64_t digits = 0;
  int count = 0;
  for (; p < end && is_digit(*p); ++p, ++count) digits = digits * 10 + static_cast<unsigned>(*p - '0');
  int fraction = 0;
  if (p < end && *p == '.') {
    const char* const fraction_start = ++p;
    for (; p < end && is_digit(*p); ++p) digits = digits * 10 + static_cast<unsigned>(*p - '0');
    fraction = static_cast<int>(p - fraction_start);
    count += fraction;
  }
  if (count == 0 || count > 19 || fraction > 22 || digits >= (std::uint64_t{1} << 53)) return false;
  if (p < end && !(is_blank(*p) || *p == ',' || *p == '/')) return false;
  const double magnitude = static_cast<double>(digits) / plain_decimals::kPowersOfTen[fraction];
  target = negative ? -magnitude : magnitude;
  cursor_ = static_cast<std::size_t>(p - record_.data());
  value_just_taken_ = true;
  return true;
}

Status FreeFormReader::item(double& target) {
  if (repeats_left_ == 0 && !slash_met_) {
#ifdef QUILTGRID_SIXTEEN_AT_A_TIME
    if (record_.size() - cursor_ >= 32) {
      if (const std::size_t used = plain_decimals::blank_delimited_decimal(record_.data() + cursor_, target)) {
        cursor_ += used;
        value_just_taken_ = true;
        return kOk;
      }
    }
#endif
    while (cursor_ < record_.size() && is_blank(record_[cursor_])) ++cursor_;
    if (cursor_ < record_.size() && plain_decimal(target)) return kOk;
  }
  if (repeats_left_ == 0) {
    Found found = Found::value;
    if (const Status status = find_value(found); status != kOk) return status;
    if (found != Found::value) return kOk;
    if (const Status status = number_at_cursor(number_, true); status != kOk) return status;
    if (repeats_left_ == 0) {
      target = number_;
      return kOk;
    }
    if (!repeats_null_) {
      if (const Status status = number_at_cursor(number_, false); status != kOk) return status;
    }
  }
  --repeats_left_;
  if (!repeats_null_) target = number_;
  return kOk;
}

Status FreeFormReader::items(std::span<double> targets) {
  std::size_t i = 0;
  while (i < targets.size()) {
#ifdef QUILTGRID_SIXTEEN_AT_A_TIME
    if (repeats_left_ == 0 && !slash_met_) {
      // Runs of blank-delimited decimals, the position kept at hand rather
      // than in the reader from one value to the next.
      const char* const data = record_.data();
      const std::size_t size = record_.size();
      std::size_t cursor = cursor_;
      const std::size_t first = i;
      // 64 characters at a time: every value that ends inside them is
      // found from the masks at once. The position is never inside a
      // value, so a value starts at each non-blank that follows a blank
      // (or the position itself) and ends at the blank after it.
      while (i < targets.size() && size - cursor >= 72) {
        const char* const p = data + cursor;
        const plain_decimals::CharacterMasks masks = plain_decimals::masks_of<4>(p);
        const std::uint64_t filled = ~masks.blanks;
        std::uint64_t starts = filled & ~(filled << 1);
        std::uint64_t ends = masks.blanks & (filled << 1);
        unsigned reached = 0;
        bool stopped = false;
        for (; ends != 0 && i < targets.size(); ++i) {
          const auto start = static_cast<unsigned>(std::countr_zero(starts));
          const auto end = static_cast<unsigned>(std::countr_zero(ends));
          if (!plain_decimals::decimal_at(p, start, end, masks, targets[i])) {
            stopped = true;
            break;
          }
          reached = end;
          starts &= starts - 1;
          ends &= ends - 1;
        }
        cursor += reached;
        if (stopped || reached == 0) break;
      }
      // The end of the record, one value at a time.
      while (i < targets.size() && size - cursor >= 32) {
        const std::size_t used = plain_decimals::blank_delimited_decimal(data + cursor, targets[i]);
        if (used == 0) break;
        cursor += used;
        ++i;
      }
      cursor_ = cursor;
      if (i != first) value_just_taken_ = true;
      if (i == targets.size()) break;
    }
#endif
    if (const Status status = item(targets[i]); status != kOk) return status;
    ++i;
  }
  return kOk;
}

Status FreeFormReader::quoted_text() {
  const char quote = record_[cursor_++];
  text_.clear();
  for (;;) {
    const std::size_t close = record_.find(quote, cursor_);
    if (close == std::string_view::npos) {
      // The value goes on with the first character of the next record.
      text_.append(record_.substr(cursor_));
      if (text_.size() > kMaxTextValue) return fail(error::free_form_syntax);
      cursor_ = 0;
      const Status status = read_record(unit_, CarriageReturns::all, record_);
      if (status == kEndOfFile) return fail(error::free_form_syntax);
      if (status != kOk) return status;
      continue;
    }
    text_.append(record_.substr(cursor_, close - cursor_));
    cursor_ = close + 1;
    if (cursor_ < record_.size() && record_[cursor_] == quote) {
      text_.push_back(quote);  // a doubled quote stands for one
      ++cursor_;
    } else {
      break;
    }
    if (text_.size() > kMaxTextValue) return fail(error::free_form_syntax);
  }
  if (text_.size() > kMaxTextValue) return fail(error::free_form_syntax);
  value_just_taken_ = true;
  return kOk;
}

Status FreeFormReader::text_at_cursor(bool allow_repeat) {
  if (is_quote(record_[cursor_])) return quoted_text();
  std::size_t end = cursor_;
  while (end < record_.size() && !ends_undelimited_text(record_[end])) ++end;
  const std::string_view value = record_.substr(cursor_, end - cursor_);
  // For a text item a repeat count is a run of digits before the asterisk.
  const std::size_t digits =
      static_cast<std::size_t>(std::find_if_not(value.begin(), value.end(), is_digit) - value.begin());
  if (allow_repeat && digits > 0 && digits < value.size() && value[digits] == '*') {
    cursor_ += digits;
    if (const Status status = repeat_form(value.substr(0, digits), false, true); status != kOk) {
      return status;
    }
    if (repeats_null_) return kOk;
    return text_at_cursor(false);
  }
  if (value.size() > kMaxTextValue) return fail(error::free_form_syntax);
  text_.assign(value);
  cursor_ = end;
  value_just_taken_ = true;
  return kOk;
}

void FreeFormReader::store_text(std::span<char> target) const {
  const std::size_t n = std::min(target.size(), text_.size());
  std::memcpy(target.data(), text_.data(), n);
  std::memset(target.data() + n, ' ', target.size() - n);
}

Status FreeFormReader::item(std::span<char> target) {
  if (repeats_left_ == 0) {
    Found found = Found::value;
    if (const Status status = find_value(found); status != kOk) return status;
    if (found != Found::value) return kOk;
    if (const Status status = text_at_cursor(true); status != kOk) return status;
    if (repeats_left_ == 0) {
      store_text(target);
      return kOk;
    }
  }
  --repeats_left_;
  if (!repeats_null_) store_text(target);
  return kOk;
}

Status read_numbers(int unit, std::span<double> items) {
  // One reader for every row, so that its buffers grow once.
  static FreeFormReader reader;
  Status status = reader.begin(unit);
  if (status == kOk) status = reader.items(items);
  reader.end();
  return status;
}

Status read_text(int unit, std::span<char> item) {
  FreeFormReader reader;
  Status status = reader.begin(unit);
  if (status == kOk) status = reader.item(item);
  reader.end();
  return status;
}

}  // namespace quiltgrid::textio
