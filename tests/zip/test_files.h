// File-system helpers for the zip tests: a private temporary folder per test and whole-file
// writes; reads, deflate and archive parsing come from the shared test support.
#pragma once

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/temp_folder.h"
#include "tests/support/package_builder.h"
#include "tests/support/zip_parse.h"

namespace zip_test {

using testsupport::Bytes;
using testsupport::ReadFileBytes;

// A fresh folder below the system temporary folder, removed with everything in it at the end.
class TestFolder {
 public:
  TestFolder() {
    auto folder = platform::CreateUniqueFolder(platform::SystemTempFolder(), "zip-test-");
    if (!folder) throw std::runtime_error("no temporary folder: " + platform::LastErrorText());
    m_path = *folder;
  }
  ~TestFolder() {
    namespace fs = std::filesystem;
    std::error_code error;
    // Tests may leave unreadable files or folders; give them back to the owner before removal.
    for (auto it = fs::recursive_directory_iterator(m_path, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
    fs::remove_all(m_path, error);
  }
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  const std::filesystem::path& Path() const { return m_path; }
  std::filesystem::path operator/(std::string_view name) const { return m_path / name; }

 private:
  std::filesystem::path m_path;
};

// Writes bytes to path, creating parent folders.
inline void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace zip_test
