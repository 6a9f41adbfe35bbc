#include <cerrno>

#include "textio/diagnostics.h"
#include "textio/open_errors.h"

namespace quiltgrid::textio {

OpenError open_error(int system_error, bool folder) {
  if (folder) return {error::permission_denied, false};
  switch (system_error) {
    case ENOENT:
    case ENOTDIR:
      return {error::file_not_found, false};
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case EISDIR:
      return {error::permission_denied, false};
    case ENXIO:
    case ENODEV:
      return {error::no_such_device, false};
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL:
    case EILSEQ:
      return {error::bad_file_name, false};
    case EMFILE:
    case ENFILE:
      return {error::open_failed, false};
    default:
      return {error::open_failed, true};
  }
}

bool falls_back_to_read_only(int system_error) {
  switch (system_error) {
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case EISDIR:
      return true;
    default:
      return false;
  }
}

}  // namespace quiltgrid::textio
