#include "engine/content_types.h"

#include <exception>
#include <system_error>

#include "platform/file.h"

namespace engine {

extern const unsigned char kStoredContentTypesBytes[];
extern const std::size_t kStoredContentTypesBytes_size;

namespace {

constexpr const char* kContentTypesName = "[Content_Types].xml";

// True when target already holds a content-types file worth keeping. A target that is not a
// plain file we can read is cleared away so that the stored copy can take its place; a link is
// removed, never followed.
bool KeepExisting(const std::filesystem::path& target) {
  std::error_code ec;
  const auto status = std::filesystem::symlink_status(target, ec);
  if (ec || !std::filesystem::exists(status)) return false;
  if (std::filesystem::is_regular_file(status)) {
    platform::File existing;
    if (existing.Open(target, platform::File::Mode::kRead)) {
      return existing.Size() >= static_cast<std::int64_t>(kStoredContentTypesSize);
    }
  }
  if (!std::filesystem::is_directory(status)) std::filesystem::remove(target, ec);
  return false;
}

bool WriteStoredCopy(const std::filesystem::path& target) {
  const auto bytes = StoredContentTypes();
  platform::File file;
  if (!file.Open(target, platform::File::Mode::kCreateTruncate)) return false;
  if (file.Write(bytes)) return true;
  // A short copy would later be kept as if it were the package's own: take it away.
  file.Close();
  std::error_code ec;
  std::filesystem::remove(target, ec);
  return false;
}

}  // namespace

std::span<const std::byte> StoredContentTypes() {
  return {reinterpret_cast<const std::byte*>(kStoredContentTypesBytes),
          kStoredContentTypesBytes_size};
}

int RestoreContentTypes(std::filesystem::path& fileFolder) {
  try {
    if (StoredContentTypes().empty()) return 0;
    const auto target = fileFolder / kContentTypesName;
    if (KeepExisting(target)) return 1;
    if (WriteStoredCopy(target)) return 1;
  } catch (const std::exception&) {
    // Treated as a failed write below.
  }
  fileFolder.clear();
  return 0;
}

}  // namespace engine
