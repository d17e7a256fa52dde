// Reads a saved package back strictly: end record, central directory and local headers agree,
// every CRC matches, every XML part parses, the content types type every part, every internal
// relationship resolves.
#pragma once

#include <filesystem>
#include <string>

namespace engine {

struct SelfCheckResult {
  bool passed = false;
  std::string reason;  // what failed first, for the log
};

SelfCheckResult CheckSavedPackage(const std::filesystem::path& package);

}  // namespace engine
