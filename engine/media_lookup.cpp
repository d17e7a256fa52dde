#include "engine/media_lookup.h"

#include <array>
#include <cctype>
#include <system_error>

#include "engine/job_view.h"
#include "engine/working_folder.h"
#include "platform/file.h"
#include "platform/text.h"

namespace engine {
namespace fs = std::filesystem;

namespace {

constexpr std::array<std::string_view, 6> kImageExtensions{"jpg", "bmp", "png",
                                                           "gif", "emf", "jpeg"};

bool EqualsAsciiIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

fs::file_type TypeOf(const fs::directory_entry& entry) {
  std::error_code ec;
  // Links are never followed: a link is neither a folder to enter nor an image to use.
  return entry.symlink_status(ec).type();
}

bool IsImageFile(const fs::directory_entry& entry) {
  return TypeOf(entry) == fs::file_type::regular &&
         IsImageFileName(platform::Utf8FromPath(entry.path().filename()));
}

// Calls visit(entry) for every entry below folder, depth first in the file system's order: a
// subfolder is walked completely when it is met. Stops when visit returns true.
template <typename Visit>
bool WalkFolder(const fs::path& folder, Visit& visit) {
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    if (visit(*it)) return true;
    if (TypeOf(*it) == fs::file_type::directory && WalkFolder(it->path(), visit)) return true;
  }
  return false;
}

bool IsRegularFile(const fs::path& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() == fs::file_type::regular;
}

}  // namespace

bool IsImageFileName(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view extension = name.substr(dot + 1);
  for (std::string_view known : kImageExtensions) {
    if (EqualsAsciiIgnoringCase(extension, known)) return true;
  }
  return false;
}

fs::path FindFirstImage(const fs::path& folder) {
  fs::path found;
  auto visit = [&found](const fs::directory_entry& entry) {
    if (!IsImageFile(entry)) return false;
    found = entry.path();
    return true;
  };
  WalkFolder(folder, visit);
  return found;
}

PreviewChoice LookupPreview(const fs::path& workingFolder, std::string_view rowText, int index) {
  if (index < 0)
    return PreviewChoice{.path = {}, .mode = kPreviewImage, .result = 1, .show = false};
  std::error_code ec;
  if (workingFolder.empty() || !fs::is_directory(workingFolder, ec)) {
    return PreviewChoice{.path = {}, .mode = kPreviewNotRepaired, .result = 0};
  }
  const fs::path fileFolder = FileFolderFor(workingFolder, rowText, index);
  const fs::path thumbnail = fileFolder / "Thumbnails" / "thumbnail.png";
  if (IsRegularFile(thumbnail)) {
    return PreviewChoice{.path = platform::Utf8FromPath(thumbnail), .mode = kPreviewImage};
  }
  const fs::path image = FindFirstImage(fileFolder);
  if (image.empty()) return PreviewChoice{.path = {}, .mode = kPreviewNoImage, .result = 0};
  return PreviewChoice{.path = platform::Utf8FromPath(image), .mode = kPreviewImage};
}

MediaCount CopyMediaFiles(const fs::path& folder, const fs::path& mediaFolder) {
  MediaCount count;
  auto visit = [&](const fs::directory_entry& entry) {
    if (!IsImageFile(entry)) return false;
    ++count.found;
    const fs::path target = mediaFolder / entry.path().filename();
    std::error_code ec;
    // A link planted under the image's name would redirect the copy elsewhere: leave it alone.
    if (fs::symlink_status(target, ec).type() == fs::file_type::symlink) return false;
    if (platform::CopyFileReplacing(entry.path(), target)) ++count.copied;
    return false;  // every image is wanted, the walk goes on
  };
  WalkFolder(folder, visit);
  return count;
}

}  // namespace engine
