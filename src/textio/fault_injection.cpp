#include "textio/fault_injection.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <string_view>

namespace quiltgrid::platform::faults {

namespace {

constexpr std::array<std::string_view, 7> kKinds{"open",   "read",   "write", "truncate",
                                                 "fsync",  "rename", "close"};

struct Plan {
  bool active = false;
  Call call = Call::open;
  long nth = 0;
  int error = 0;
};

long to_number(std::string_view text) {
  long value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return text.empty() ? -1 : value;
}

Plan read_plan() {
  const char* text = std::getenv("QUILTGRID_FAULT");
  if (text == nullptr) return {};
  const std::string_view spec(text);
  const std::size_t first = spec.find(':');
  const std::size_t second = spec.find(':', first + 1);
  if (first == std::string_view::npos || second == std::string_view::npos) return {};
  Plan plan;
  for (std::size_t k = 0; k < kKinds.size(); ++k) {
    if (kKinds[k] == spec.substr(0, first)) {
      plan.call = static_cast<Call>(k);
      plan.active = true;
    }
  }
  plan.nth = to_number(spec.substr(first + 1, second - first - 1));
  plan.error = static_cast<int>(to_number(spec.substr(second + 1)));
  plan.active = plan.active && plan.nth > 0 && plan.error > 0;
  return plan;
}

void mark_hit() {
  if (const char* path = std::getenv("QUILTGRID_FAULT_HIT")) {
    const int h = ::open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (h >= 0) ::close(h);
  }
}

}  // namespace

int injected(Call call) {
  static const Plan plan = read_plan();
  static std::array<long, kKinds.size()> counts{};
  const long n = ++counts[static_cast<std::size_t>(call)];
  if (!plan.active || call != plan.call || n != plan.nth) return 0;
  mark_hit();
  return plan.error;
}

}  // namespace quiltgrid::platform::faults
