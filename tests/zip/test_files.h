// File-system helpers for the zip tests: a private temporary folder per test and whole-file
// reads and writes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zip_test {

// A fresh folder below the system temporary folder, removed with everything in it at the end.
class TestFolder {
 public:
  TestFolder();
  ~TestFolder();
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  const std::filesystem::path& Path() const { return m_path; }
  std::filesystem::path operator/(std::string_view name) const { return m_path / name; }

 private:
  std::filesystem::path m_path;
};

// Writes bytes to path, creating parent folders.
void WriteFile(const std::filesystem::path& path, std::string_view bytes);
std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path);
std::vector<std::uint8_t> BytesFromHex(std::string_view hex);

}  // namespace zip_test
