#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "textio/diagnostics.h"
#include "textio/open_errors.h"

namespace quiltgrid::textio {

OpenError open_error(int system_error, bool folder) {
  if (folder) return {error::permission_denied, false};
  switch (static_cast<DWORD>(system_error)) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return {error::file_not_found, false};
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return {error::permission_denied, false};
    case ERROR_INVALID_DRIVE:
      return {error::no_such_device, false};
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return {error::bad_file_name, false};
    case ERROR_TOO_MANY_OPEN_FILES:
      return {error::open_failed, false};
    default:
      // A sharing violation that read-only access did not overcome lands
      // here too: the system's text says what holds the file.
      return {error::open_failed, true};
  }
}

// Access denied and a write-protected medium may still allow reading; a
// sharing violation may allow reading beside the program that writes.
bool falls_back_to_read_only(int system_error) {
  switch (static_cast<DWORD>(system_error)) {
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
      return true;
    default:
      return false;
  }
}

}  // namespace quiltgrid::textio
