#include "textio/clock.h"

#include "textio/platform.h"

namespace quiltgrid::textio {

namespace {

char* put_digits(int value, int count, char* out) {
  for (int i = count - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return out + count;
}

}  // namespace

void time_of_day(std::span<char, 10> text) {
  const platform::TimeOfDay now = platform::local_time_of_day();
  char* p = put_digits(now.hour, 2, text.data());
  p = put_digits(now.minute, 2, p);
  p = put_digits(now.second, 2, p);
  *p++ = '.';
  put_digits(now.millisecond, 3, p);
}

}  // namespace quiltgrid::textio
