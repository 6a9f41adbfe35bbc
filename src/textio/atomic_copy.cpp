#include "textio/atomic_copy.h"

#include <cerrno>
#include <charconv>

#include "textio/diagnostics.h"
#include "textio/interrupts.h"
#include "textio/open_errors.h"
#include "textio/platform.h"

namespace quiltgrid::textio {

namespace {

constexpr std::size_t kCopyChunk = std::size_t{1} << 30;

std::string folder_of(const std::string& path) {
  const std::size_t cut = path.rfind(platform::kSeparator);
  return cut == 0 ? std::string(1, platform::kSeparator) : path.substr(0, cut);
}

// A name in target's folder that no other run uses at the same time.
std::string temporary_name(const std::string& target) {
  const std::size_t cut = target.rfind(platform::kSeparator);
  char pid[24];
  const auto end = std::to_chars(pid, pid + sizeof pid, platform::process_id()).ptr;
  return target.substr(0, cut + 1) + "." + target.substr(cut + 1) + ".quiltgrid-" +
         std::string(pid, end) + ".tmp";
}

Status open_failure(int system_error, int unit, const std::string& path, bool folder = false) {
  return note_failure(open_error(system_error, folder).number, unit, path, system_error);
}

// The open source, locked against another run writing it meanwhile.
struct Source {
  platform::Opened opened;
  Status status = kOk;
};

Source open_source(const std::string& path, int unit) {
  using platform::Access;
  using platform::Creation;
  Source s{platform::open_file(path, Access::read_write, Creation::open_existing)};
  if (s.opened.error == 0) {
    if (const int e = platform::lock_for_writing(s.opened.handle); e != 0) {
      platform::close(s.opened.handle);
      s.status = note_failure(error::open_failed, unit, path, e);
    }
    return s;
  }
  if (falls_back_to_read_only(s.opened.error)) {
    s.opened = platform::open_file(path, Access::read_only, Creation::open_existing);
  }
  if (s.opened.error != 0) s.status = open_failure(s.opened.error, unit, path, s.opened.folder);
  return s;
}

Status copy_bytes(platform::Handle from, platform::Handle to, const std::string& source,
                  const std::string& target, CopyUnits units) {
  std::uint64_t from_offset = 0;
  std::uint64_t to_offset = 0;
  for (;;) {
    const platform::CopyResult r = platform::copy_bytes(from, from_offset, to, to_offset, kCopyChunk);
    if (r.error != 0) {
      return r.failed_reading ? note_failure(error::read_failed, units.source, source, r.error)
                              : note_failure(error::write_failed, units.target, target, r.error);
    }
    if (r.copied == 0) return kOk;
  }
}

Status fill_temporary(platform::Handle from, const std::string& temporary, const std::string& source,
                      const std::string& target, CopyUnits units) {
  // The replacement keeps the target's permissions (a new target takes
  // the source's).
  const unsigned mode = platform::mode_of_path(target, platform::mode_of(from));
  platform::Opened to = platform::create_new_file(temporary, 0600);
  if (to.error == EEXIST) {
    // Left by a run that was killed and had our process id.
    platform::remove_file(temporary);
    to = platform::create_new_file(temporary, 0600);
  }
  if (to.error != 0) return open_failure(to.error, units.target, target);
  Status status = copy_bytes(from, to.handle, source, target, units);
  if (status == kOk) {
    if (const int e = platform::set_mode(to.handle, mode); e != 0) {
      status = note_failure(error::write_failed, units.target, target, e);
    }
  }
  if (status == kOk) {
    // The new content is on the disk before it takes the target's name.
    if (const int e = platform::flush_to_disk(to.handle); e != 0) {
      status = note_failure(error::write_failed, units.target, target, e);
    }
  }
  if (const int e = platform::close(to.handle); e != 0 && status == kOk) {
    status = note_failure(error::write_failed, units.target, target, e);
  }
  return status;
}

}  // namespace

Status copy_atomically(const std::string& source, const std::string& target, CopyUnits units) {
  const Source from = open_source(source, units.source);
  if (from.status != kOk) return from.status;
  // A target that is a symbolic link stays one: the file it points to is
  // replaced, as a copy through the link would replace its content.
  // Diagnostics name the target as it was given.
  const std::string replaced = platform::final_path(target);
  const std::string temporary = temporary_name(replaced);
  set_interrupt_cleanup(temporary.c_str());
  Status status = fill_temporary(from.opened.handle, temporary, source, target, units);
  if (status == kOk) {
    if (const int e = platform::rename_over(temporary, replaced); e != 0) {
      status = note_failure(error::write_failed, units.target, target, e);
    }
  }
  if (status != kOk) platform::remove_file(temporary);
  set_interrupt_cleanup(nullptr);
  platform::close(from.opened.handle);
  if (status != kOk) return status;
  if (const int e = platform::flush_folder(folder_of(replaced)); e != 0) {
    return note_failure(error::write_failed, units.target, target, e);
  }
  return kOk;
}

}  // namespace quiltgrid::textio
