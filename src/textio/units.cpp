#include "textio/units.h"

#include <cerrno>
#include <charconv>
#include <vector>

#include "textio/diagnostics.h"
#include "textio/open_errors.h"
#include "textio/platform.h"
#include "textio/record_splitter.h"

namespace quiltgrid::textio {

namespace {

struct Unit {
  int number = 0;
  std::string name;
  platform::Handle handle = platform::kNoHandle;
  platform::FileKind kind = platform::FileKind::disk;
  bool read_only = false;
  bool truncate_pending = false;
  bool end_of_file_met = false;
  RecordSplitter input;
};

// The unit table. A run connects at most four files at a time, so a list
// searched from the front is as fast as anything.
std::vector<Unit>& unit_table() {
  static std::vector<Unit> table = [] {
    std::vector<Unit> units;
    units.reserve(8);
    return units;
  }();
  return table;
}

Unit* find_unit(int number) {
  for (Unit& unit : unit_table()) {
    if (unit.number == number) return &unit;
  }
  return nullptr;
}

std::string implicit_name(int number) {
  char digits[12];
  const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  return "fort." + std::string(digits, end);
}

// Opens read-write when it can, read-only when only that is allowed or when
// another run holds the file for writing (a sharing violation).
struct Connection {
  platform::Opened opened;
  bool read_only = false;
};

Connection connect(const std::string& path, platform::Creation creation) {
  using platform::Access;
  Connection c{platform::open_file(path, Access::read_write, creation), false};
  if (c.opened.error == 0) {
    if (platform::lock_for_writing(c.opened.handle) == 0) return c;
    platform::close(c.opened.handle);
    c.opened = platform::open_file(path, Access::read_only, creation);
    c.read_only = true;
    return c;
  }
  if (falls_back_to_read_only(c.opened.error)) {
    c.opened = platform::open_file(path, Access::read_only, creation);
    c.read_only = true;
  }
  return c;
}

Status connect_unit(int number, const std::string& path, platform::Creation creation) {
  const Connection c = connect(path, creation);
  if (c.opened.error != 0) {
    const OpenError e = open_error(c.opened.error, c.opened.folder);
    return note_failure(e.number, number, path, e.show_system_text ? c.opened.error : 0);
  }
  Unit unit;
  unit.number = number;
  unit.name = path;
  unit.handle = c.opened.handle;
  unit.kind = platform::kind_of(c.opened.handle);
  unit.read_only = c.read_only;
  unit.truncate_pending = unit.kind == platform::FileKind::disk;
  unit_table().push_back(std::move(unit));
  return kOk;
}

Unit* console() {
  if (Unit* unit = find_unit(kConsoleUnit)) return unit;
  Unit unit;
  unit.number = kConsoleUnit;
  unit.name = kConsoleName;
  unit.handle = platform::standard_output();
  // Always written as a stream: a console redirected to a file must not be
  // written at offsets of its own.
  unit.kind = platform::FileKind::character_device;
  unit_table().push_back(std::move(unit));
  return &unit_table().back();
}

// A request on an unconnected unit connects it to "fort.<unit>" first; a
// read needs the file to exist.
Unit* connected(int number, platform::Creation creation, Status& status) {
  if (number == kConsoleUnit) return console();
  if (Unit* unit = find_unit(number)) return unit;
  status = connect_unit(number, resolve_name(implicit_name(number)), creation);
  return status == kOk ? &unit_table().back() : nullptr;
}

}  // namespace

std::string resolve_name(std::string_view name) {
  const std::size_t first = name.find_first_not_of(' ');
  if (first == std::string_view::npos) return platform::full_path({});
  return platform::full_path(name.substr(first, name.find_last_not_of(' ') - first + 1));
}

bool exists(std::string_view name) {
  const std::string path = resolve_name(name);
  for (const Unit& unit : unit_table()) {
    if (unit.number != kConsoleUnit && platform::same_path(unit.name, path)) return true;
  }
  return platform::exists_not_folder(path);
}

Status open_unknown(int unit, std::string_view name) {
  return connect_unit(unit, resolve_name(name), platform::Creation::open_always);
}

Status close_keep(int number) {
  std::vector<Unit>& table = unit_table();
  for (auto it = table.begin(); it != table.end(); ++it) {
    if (it->number != number) continue;
    const std::string name = std::move(it->name);
    const platform::Handle handle = it->handle;
    table.erase(it);
    if (number == kConsoleUnit) return kOk;
    if (const int e = platform::close(handle); e != 0) {
      return note_failure(error::close_failed, number, name, e);
    }
    return kOk;
  }
  return kOk;
}

void close_every_unit() {
  for (Unit& unit : unit_table()) {
    if (unit.number != kConsoleUnit) platform::close(unit.handle);
  }
  unit_table().clear();
}

bool at_end_of_file(int number) {
  const Unit* unit = find_unit(number);
  if (unit == nullptr) return true;
  if (unit->end_of_file_met) return true;
  if (unit->input.read_ahead() > 0) return false;
  const platform::SizeResult size = platform::size_of(unit->handle);
  return size.error == 0 && size.size <= unit->input.position();
}

Status read_record(int number, CarriageReturns rule, std::string_view& record) {
  Status status = kOk;
  Unit* unit = connected(number, platform::Creation::open_existing, status);
  if (unit == nullptr) return status;
  int os_error = 0;
  switch (unit->input.next(unit->handle, unit->kind, rule, record, os_error)) {
    case RecordSplitter::Outcome::record:
      return kOk;
    case RecordSplitter::Outcome::end_of_file:
      unit->end_of_file_met = true;
      note_failure(error::end_of_file, number, unit->name);
      return kEndOfFile;
    case RecordSplitter::Outcome::read_error:
      break;
  }
  return note_failure(error::read_failed, number, unit->name, os_error);
}

Status write_record(int number, std::string_view record) {
  Status status = kOk;
  Unit* unit = connected(number, platform::Creation::open_always, status);
  if (unit == nullptr) return status;
  if (unit->read_only) return note_failure(error::write_to_read_only, number, unit->name);
  // One system write per record: the record and its CR LF go out together.
  static std::string out;
  out.assign(record);
  out.append("\r\n");
  // Bytes read ahead are given back: the record goes right after the last
  // record read.
  const std::uint64_t position = unit->input.position();
  if (const int e = platform::write(unit->handle, unit->kind, position, out); e != 0) {
    return note_failure(error::write_failed, number, unit->name, e);
  }
  const std::uint64_t after = position + out.size();
  unit->input.restart_at(after);
  if (unit->truncate_pending) {
    unit->truncate_pending = false;
    if (const int e = platform::truncate(unit->handle, after); e != 0) {
      return note_failure(error::write_failed, number, unit->name, e);
    }
  }
  return kOk;
}

Status move_to_end(int number) {
  Unit* unit = find_unit(number);
  if (unit == nullptr || unit->kind != platform::FileKind::disk) return kOk;
  const platform::SizeResult size = platform::size_of(unit->handle);
  if (size.error != 0) return note_failure(error::read_failed, number, unit->name, size.error);
  unit->input.restart_at(size.size);
  unit->end_of_file_met = true;
  return kOk;
}

std::string_view unit_name(int number) {
  if (number == kConsoleUnit) return kConsoleName;
  if (number == kInMemoryUnit) return kInMemoryName;
  const Unit* unit = find_unit(number);
  return unit == nullptr ? std::string_view{} : std::string_view{unit->name};
}

}  // namespace quiltgrid::textio
