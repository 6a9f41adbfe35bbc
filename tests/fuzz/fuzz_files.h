// Where the fuzz targets keep the files they read: a folder of their own on
// a memory file system when there is one.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace quiltgrid::fuzzing {

// A fresh folder, made once per process, that is the working directory.
const std::filesystem::path& work_folder();

// Writes bytes to a file in the work folder.
void put_file(const std::filesystem::path& name, std::string_view bytes);

}  // namespace quiltgrid::fuzzing
