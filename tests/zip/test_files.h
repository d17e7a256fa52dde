// File-system helpers for the zip tests: whole-file writes; temporary folders, reads, deflate and
// archive parsing come from testkit.
#pragma once

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "testkit/package_builder.h"
#include "testkit/temp_folder.h"
#include "testkit/zip_parse.h"

namespace zip_test {

using testsupport::Bytes;
using testsupport::ReadFileBytes;

// Writes bytes to path, creating parent folders.
inline void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace zip_test
