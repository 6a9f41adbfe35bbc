#include "report/console_messages.h"

#include <string_view>

#include "textio/diagnostics.h"
#include "textio/field_layout.h"
#include "textio/free_form_writer.h"

namespace quiltgrid::report {

namespace {

using textio::kConsoleUnit;
using textio::require;
using textio::write_free_form;

std::string_view text_of(std::span<const char> text) { return {text.data(), text.size()}; }

constexpr std::size_t kHeaderColumns = 60;

constexpr std::string_view kBanner[] = {
    "********************************************************",
    "*                       END                            *",
    "*           KELVARIS quiltgrid Program                 *",
    "*           Version  1     July 23, 2025               *",
    "********************************************************",
};

}  // namespace

void show_first_value(std::span<const char> LINE) {
  require(write_free_form(kConsoleUnit, {text_of(LINE.first(kHeaderColumns))}));
}

void show_header_record(std::span<const char> LINE) {
  const textio::WriteValue values[] = {text_of(LINE)};
  require(textio::write_fields(kConsoleUnit, textio::layouts::line, values));
}

void show_grid_size(std::int32_t xcount, std::int32_t ycount) {
  require(write_free_form(kConsoleUnit, {"xcount,ycount ", xcount, ycount}));
}

void show_allocation_problem() {
  require(write_free_form(kConsoleUnit, {"problem allocating tmp"}));
}

void show_first_date(std::int32_t yyyy, std::int32_t mm) {
  require(write_free_form(kConsoleUnit, {"yyyy,mm ", yyyy, mm}));
}

void show_copied_frame(std::int32_t yyyy, std::int32_t mm, std::span<const char> FRAMEHEAD) {
  require(write_free_form(kConsoleUnit, {"yyyy,mm ", yyyy, mm, text_of(FRAMEHEAD)}));
}

void show_hand_over(std::int32_t frameNo) {
  require(write_free_form(kConsoleUnit, {"frameNo = ", frameNo}));
}

void show_forecast_date(std::span<const char> FRAMEHEAD, std::int32_t yyyy,
                        std::span<const char> SEP, std::int32_t mm) {
  const textio::WriteValue values[] = {text_of(FRAMEHEAD), yyyy, text_of(SEP), mm};
  require(textio::write_fields(kConsoleUnit, textio::layouts::date, values));
}

void show_appended_frame(std::int32_t frameNo, std::int32_t yyyy, std::int32_t mm) {
  require(write_free_form(kConsoleUnit, {"frameNo,yyyy,mm ", frameNo, yyyy, mm}));
}

void show_closing_banner() {
  for (const std::string_view line : kBanner) require(write_free_form(kConsoleUnit, {line}));
  require(write_free_form(kConsoleUnit, {}));
}

}  // namespace quiltgrid::report
