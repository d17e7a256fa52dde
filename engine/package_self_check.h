// Reads a saved package back strictly: end record, central directory and local headers agree,
// every CRC matches, every XML part parses, the content types type every part, every internal
// relationship resolves.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace engine {

struct SelfCheckResult {
  bool passed = false;
  std::string reason;  // what failed first, for the log
  // Every failure found, the first one first. Once the package's structure fails (end record,
  // directory, headers, data), nothing further can be read and that one failure is all.
  std::vector<std::string> failures;
};

SelfCheckResult CheckSavedPackage(const std::filesystem::path& package);

}  // namespace engine
