#include "engine/package_tree.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include "engine/xml_repair.h"
#include "platform/file.h"
#include "platform/text.h"

namespace engine {
namespace fs = std::filesystem;

namespace {

fs::path PartPath(const fs::path& fileFolder, std::string_view partName) {
  return fileFolder / platform::PathFromUtf8(partName);
}

}  // namespace

std::set<std::string> ListPackageParts(const fs::path& fileFolder) {
  std::set<std::string> parts;
  std::error_code ec;
  fs::recursive_directory_iterator it(fileFolder, ec);
  const fs::recursive_directory_iterator end;
  for (; !ec && it != end; it.increment(ec)) {
    const auto status = it->symlink_status(ec);
    if (ec || !fs::is_regular_file(status)) continue;
    std::string name = platform::Utf8FromPath(it->path().lexically_relative(fileFolder));
    std::replace(name.begin(), name.end(), '\\', '/');
    parts.insert(std::move(name));
  }
  return parts;
}

std::optional<std::string> ReadPart(const fs::path& fileFolder, std::string_view partName,
                                    std::size_t limit) {
  const fs::path path = PartPath(fileFolder, partName);
  std::error_code ec;
  if (!fs::is_regular_file(fs::symlink_status(path, ec))) return std::nullopt;
  platform::File file;
  if (!file.Open(path, platform::File::Mode::kRead)) return std::nullopt;
  const std::int64_t size = file.Size();
  if (size < 0) return std::nullopt;
  std::string content(std::min(static_cast<std::size_t>(size), limit), '\0');
  const auto got = file.Read(std::as_writable_bytes(std::span(content)));
  if (got < 0 || static_cast<std::size_t>(got) != content.size()) return std::nullopt;
  return content;
}

std::string RootElementOfPart(const fs::path& fileFolder, std::string_view partName) {
  constexpr std::size_t kStart = 16 * 1024;  // a root start tag with many namespaces fits
  const auto start = ReadPart(fileFolder, partName, kStart);
  if (!start) return {};
  std::string root = RootElementName(*start);
  if (!root.empty() || start->size() < kStart) return root;
  const auto whole = ReadPart(fileFolder, partName);
  return whole ? RootElementName(*whole) : std::string();
}

bool WritePart(const fs::path& fileFolder, std::string_view partName, std::string_view content) {
  const fs::path path = PartPath(fileFolder, partName);
  std::error_code ec;
  // The file folder itself is the extraction's to make; only the part's own folders are ours.
  if (!fs::is_directory(fs::symlink_status(fileFolder, ec))) return false;
  fs::create_directories(path.parent_path(), ec);
  const auto status = fs::symlink_status(path, ec);
  // A link in the part's place would lead the write out of the file folder.
  if (fs::is_symlink(status) || fs::is_directory(status)) return false;
  fs::path fresh = path;
  fresh += ".rebuilt";
  {
    platform::File file;
    if (!file.Open(fresh, platform::File::Mode::kCreateNew)) return false;
    if (!file.Write(std::as_bytes(std::span(content.data(), content.size()))) || !file.Close()) {
      fs::remove(fresh, ec);
      return false;
    }
  }
  fs::permissions(fresh, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace,
                  ec);
  fs::rename(fresh, path, ec);
  if (ec) {
    fs::remove(fresh, ec);
    return false;
  }
  return true;
}

std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

std::string PartExtension(std::string_view partName) {
  const auto slash = partName.rfind('/');
  const auto leaf = slash == std::string_view::npos ? partName : partName.substr(slash + 1);
  const auto dot = leaf.rfind('.');
  if (dot == std::string_view::npos || dot + 1 == leaf.size()) return {};
  return AsciiLower(leaf.substr(dot + 1));
}

}  // namespace engine
