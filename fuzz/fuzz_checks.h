// The checks every fuzz target makes on its scratch folder (a testkit::TempFolder per input)
// afterwards.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>

namespace fuzzsupport {

// Reports a broken promise and stops the fuzzer with a crash it records.
[[noreturn]] inline void Fail(const std::string& what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
  std::abort();
}

inline void WriteBytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) Fail("cannot write " + path.string());
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
