#include "fuzz/fuzz_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace quiltgrid::fuzzing {

namespace fs = std::filesystem;

const fs::path& work_folder() {
  static const fs::path folder = [] {
    const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "quiltgrid-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    fs::current_path(pattern);
    return fs::path(pattern);
  }();
  return folder;
}

void put_file(const fs::path& name, std::string_view bytes) {
  const fs::path path = work_folder() / name;
  fs::create_directories(path.parent_path());
  const int h = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (h < 0) std::abort();
  while (!bytes.empty()) {
    const ssize_t put = ::write(h, bytes.data(), bytes.size());
    if (put <= 0) std::abort();
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  ::close(h);
}

}  // namespace quiltgrid::fuzzing
