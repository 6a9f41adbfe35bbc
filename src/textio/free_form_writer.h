// Free-form output: one line of text and integer items with fixed spacing,
// always beginning with a blank.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "textio/status.h"

namespace quiltgrid::textio {

// Free-form records hold at most 80 columns, the leading blank included.
inline constexpr std::size_t kFreeFormColumns = 80;

// A text item (taken unchanged, trailing blanks included) or a 4-byte
// integer item (right-justified in 12 columns).
using FreeFormItem = std::variant<std::string_view, std::int32_t>;

// The records the items make: one, or more when they overflow 80 columns.
std::vector<std::string> format_free_form(std::initializer_list<FreeFormItem> items);

// Writes the items as free-form records to the unit or the console.
Status write_free_form(int unit, std::initializer_list<FreeFormItem> items);

}  // namespace quiltgrid::textio
