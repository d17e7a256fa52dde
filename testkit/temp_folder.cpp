#include "testkit/temp_folder.h"

#include <stdexcept>
#include <system_error>

#include "platform/environment.h"
#include "platform/error.h"
#include "platform/temp_folder.h"
#include "platform/text.h"

namespace testkit {
namespace fs = std::filesystem;

const fs::path& PrivateBaseFolder() {
  static const fs::path base = [] {
    std::string why;
    auto folder = platform::PrivateTempFolder(&why);
    if (!folder) throw std::runtime_error("no private temporary folder: " + why);
    return *folder;
  }();
  return base;
}

TempFolder::TempFolder(std::string_view prefix) : TempFolder(prefix, PrivateBaseFolder()) {}

TempFolder::TempFolder(std::string_view prefix, const fs::path& parent) {
  auto folder = platform::CreateUniqueFolder(parent, prefix);
  if (!folder) {
    throw std::runtime_error("no temporary folder in " + platform::Utf8FromPath(parent) + ": " +
                             platform::LastErrorText());
  }
  path_ = *folder;
}

TempFolder::~TempFolder() {
  std::error_code error;
  // Tests may leave unreadable files or folders; give them back to the owner before removal
  // (what is not ours, or a link, stays as it is).
  for (auto it = fs::recursive_directory_iterator(path_, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    std::error_code ignored;
    if (!it->is_symlink(ignored)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
  }
  fs::remove_all(path_, error);
}

TempFolderOverride::TempFolderOverride(const fs::path& folder)
    : previous_(platform::EnvironmentValue(platform::TempFolderVariable())) {
  platform::SetEnvironmentValue(platform::TempFolderVariable(), platform::Utf8FromPath(folder));
}

TempFolderOverride::~TempFolderOverride() {
  if (previous_) {
    platform::SetEnvironmentValue(platform::TempFolderVariable(), *previous_);
  } else {
    platform::UnsetEnvironmentValue(platform::TempFolderVariable());
  }
}

IsolatedEnvironment::IsolatedEnvironment(std::string_view prefix) : root_(prefix) {
  for (const char* sub : {"tmp", "config", "runtime"})
    fs::create_directories(root_ / sub);
  std::string why;
  if (!platform::EnsurePrivateFolder(root_ / "runtime", &why)) throw std::runtime_error(why);
  platform::SetEnvironmentValue(platform::TempFolderVariable(),
                                platform::Utf8FromPath(root_ / "tmp"));
  platform::SetEnvironmentValue("XDG_CONFIG_HOME", platform::Utf8FromPath(root_ / "config"));
  platform::SetEnvironmentValue("XDG_RUNTIME_DIR", platform::Utf8FromPath(root_ / "runtime"));
  const auto platformName = platform::EnvironmentValue("QT_QPA_PLATFORM");
  if (!platformName || platformName->empty()) {
    platform::SetEnvironmentValue("QT_QPA_PLATFORM", "offscreen");
  }
}

}  // namespace testkit
