// A private scratch folder per fuzz input, and the checks every target makes on it afterwards.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "platform/temp_folder.h"

namespace fuzzsupport {

// Reports a broken promise and stops the fuzzer with a crash it records.
[[noreturn]] inline void Fail(const std::string& what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
  std::abort();
}

// The system temporary folder as it was at the start: a target may point TMPDIR elsewhere for
// the code it runs.
inline const std::filesystem::path& BaseFolder() {
  static const std::filesystem::path base = platform::SystemTempFolder();
  return base;
}

class ScratchFolder {
 public:
  ScratchFolder() {
    auto folder = platform::CreateUniqueFolder(BaseFolder(), "engine-fuzz-");
    if (!folder) Fail("cannot create a scratch folder");
    path_ = *folder;
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline void WriteBytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) Fail("cannot write " + path.string());
}

inline std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>());
}

// True when path lies at or below folder (both as built by us, no links followed).
inline bool IsBelow(const std::filesystem::path& path, const std::filesystem::path& folder) {
  const auto relative = path.lexically_relative(folder);
  return !relative.empty() && *relative.begin() != "..";
}

// Walks root without following links: no link may exist, and every file must be one of the
// allowed ones or lie below one of the allowed folders.
template <typename Allowed>
void CheckTree(const std::filesystem::path& root, Allowed allowed) {
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    const auto status = it->symlink_status(ec);
    if (std::filesystem::is_symlink(status)) Fail("a link appeared: " + it->path().string());
    if (!std::filesystem::is_directory(status) && !allowed(it->path())) {
      Fail("a file appeared outside its folder: " + it->path().string());
    }
  }
}

}  // namespace fuzzsupport
