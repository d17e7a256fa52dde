#include "platform/temp_folder.h"

#include <random>
#include <system_error>

// The parts of the temporary folders that are the same on every system; the system calls
// live in temp_folder_posix.cpp and temp_folder_win.cpp.
namespace platform {
namespace {

constexpr int kNameAttempts = 100;

std::string UniqueName(std::string_view prefix) {
  static thread_local std::mt19937_64 generator{std::random_device{}()};
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string name(prefix);
  auto number = generator();
  for (int digit = 0; digit < 8; ++digit, number >>= 4)
    name += kHex[number & 0xF];
  return name;
}

}  // namespace

std::optional<std::filesystem::path> PrivateTempFolder(std::string* error) {
  auto folder = SystemTempFolder() / PrivateTempFolderName();
  if (!EnsurePrivateFolder(folder, error)) return std::nullopt;
  return folder;
}

std::optional<TempFile> CreateTempFile(const std::filesystem::path& folder,
                                       std::string_view prefix) {
  if (folder.empty()) {
    detail::RecordFailure("no folder given for a temporary file");
    return std::nullopt;
  }
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    TempFile temp;
    temp.path = folder / (UniqueName(prefix) + ".tmp");
    if (temp.file.Open(temp.path, File::Mode::kCreateNew)) return temp;
    if (!LastErrorWasAlreadyExists()) return std::nullopt;
  }
  return std::nullopt;
}

std::optional<std::filesystem::path> CreateUniqueFolder(const std::filesystem::path& parent,
                                                        std::string_view prefix) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    auto folder = parent / UniqueName(prefix);
    std::error_code ec;
    if (std::filesystem::create_directory(folder, ec)) return folder;
    if (ec) {
      detail::RecordFailure(ErrorText(ec));
      return std::nullopt;
    }
  }
  return std::nullopt;
}

}  // namespace platform
