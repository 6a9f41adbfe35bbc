#include "textio/free_form_writer.h"

#include "textio/integer_field.h"
#include "textio/units.h"

namespace quiltgrid::textio {

namespace {

constexpr int kIntegerColumns = 12;

enum class Previous { none, text, integer };

// Lays out the items of one write, record after record.
class LineComposer {
 public:
  void text(std::string_view t) {
    const bool fits = t.size() <= room();
    if (pending_blank_) {
      current_.push_back(' ');  // the first item of a record stands in column 2
    } else {
      if (previous_ == Previous::integer && room() > 0) current_.push_back(' ');
      if (!fits) {
        // It does not fit: a new record, where it stands in column 2. A
        // separating blank already written stays at the end of the old one.
        next_record();
        current_.push_back(' ');
      }
    }
    // Whatever still does not fit ends the record; the rest goes on in the
    // next, which again begins with a blank.
    while (t.size() > room()) {
      const std::size_t fitting = room();
      current_.append(t.substr(0, fitting));
      t.remove_prefix(fitting);
      next_record();
      current_.push_back(' ');
    }
    current_.append(t);
    placed(Previous::text);
  }

  void integer(std::int32_t value) {
    if (room() < kIntegerColumns) next_record();
    char field[kIntegerColumns];
    format_integer(value, kIntegerColumns, field);
    current_.append(field, kIntegerColumns);
    placed(Previous::integer);
  }

  std::vector<std::string> finish() {
    // A write with no items still gives one blank.
    if (current_.empty() && pending_blank_) current_.push_back(' ');
    records_.push_back(std::move(current_));
    return std::move(records_);
  }

 private:
  std::size_t room() const { return kFreeFormColumns - current_.size(); }

  void placed(Previous kind) {
    pending_blank_ = false;
    previous_ = kind;
  }

  void next_record() {
    records_.push_back(std::move(current_));
    current_.clear();
    pending_blank_ = true;
    previous_ = Previous::none;
  }

  std::vector<std::string> records_;
  std::string current_;
  bool pending_blank_ = true;
  Previous previous_ = Previous::none;
};

}  // namespace

std::vector<std::string> format_free_form(std::initializer_list<FreeFormItem> items) {
  LineComposer composer;
  for (const FreeFormItem& item : items) {
    if (const auto* t = std::get_if<std::string_view>(&item)) {
      composer.text(*t);
    } else {
      composer.integer(std::get<std::int32_t>(item));
    }
  }
  return composer.finish();
}

Status write_free_form(int unit, std::initializer_list<FreeFormItem> items) {
  for (const std::string& record : format_free_form(items)) {
    if (const Status status = write_record(unit, record); status != kOk) return status;
  }
  return kOk;
}

}  // namespace quiltgrid::textio
