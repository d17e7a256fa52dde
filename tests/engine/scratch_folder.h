// A private temporary folder per test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#include "platform/temp_folder.h"

namespace enginetest {

class ScratchFolder {
 public:
  ScratchFolder() {
    auto folder = platform::CreateUniqueFolder(platform::SystemTempFolder(), "engine-test-");
    if (folder) path_ = *folder;
  }
  ~ScratchFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace enginetest
