#include "engine/working_folder.h"

#include <string>
#include <system_error>
#include <vector>

#include "platform/temp_folder.h"
#include "platform/text.h"

namespace engine {
namespace fs = std::filesystem;

bool IsRealFolder(const fs::path& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() == fs::file_type::directory;
}

namespace {

bool Exists(const fs::path& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() != fs::file_type::not_found && !ec;
}

// The entries are listed first and deleted afterwards, so the deletions never disturb the
// enumeration they come from.
std::vector<fs::directory_entry> ListEntries(const fs::path& folder) {
  std::vector<fs::directory_entry> entries;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec))
    entries.push_back(*it);
  return entries;
}

}  // namespace

fs::path GetWorkingFolder(std::string* error) {
  const auto privateFolder = platform::PrivateTempFolder(error);
  if (!privateFolder) return {};
  return *privateFolder / "DtmTmp";
}

fs::path FileFolderFor(const fs::path& workingFolder, std::string_view rowText, int index) {
  std::string name(platform::FileNamePart(rowText));
  // The index is the digits at the end of the folder's name. A name that ends in a digit would
  // lend its digits to the index ("x1" in row 1 and "x" in row 11 both gave "x11"), so it gets
  // the separator first; a name ending in the separator gets one too, so that a separator
  // before the digits always means exactly one was added.
  if (!name.empty() && ((name.back() >= '0' && name.back() <= '9') || name.back() == '_')) {
    name += '_';
  }
  name += std::to_string(index);
  return workingFolder / platform::PathFromUtf8(name);
}

void DeleteFolderTree(const fs::path& folder) {
  // A link in place of the folder is never entered: its target is not ours to empty.
  if (!IsRealFolder(folder)) return;
  for (const auto& entry : ListEntries(folder)) {
    std::error_code ec;
    // symlink_status: a link is removed as a link, whatever it points at.
    if (entry.symlink_status(ec).type() == fs::file_type::directory) {
      DeleteFolderTree(entry.path());
    }
    fs::remove(entry.path(), ec);  // fails harmlessly for a folder that kept a file
  }
}

void RemoveFolderTree(const fs::path& folder) {
  DeleteFolderTree(folder);
  std::error_code ec;
  fs::remove(folder, ec);
}

void RenumberFileFolders(const fs::path& workingFolder, std::span<const std::string> rowTexts,
                         int removedIndex) {
  const int count = static_cast<int>(rowTexts.size());
  for (int row = removedIndex < 0 ? 0 : removedIndex; row < count; ++row) {
    const std::string& text = rowTexts[static_cast<std::size_t>(row)];
    const fs::path from = FileFolderFor(workingFolder, text, row + 1);
    if (!IsRealFolder(from)) continue;
    const fs::path to = FileFolderFor(workingFolder, text, row);
    // Whatever still sits under the new name (leftovers a deletion could not remove) belongs to
    // another package; it must not be shown or saved for this row.
    if (Exists(to)) RemoveFolderTree(to);
    std::error_code ec;
    fs::rename(from, to, ec);
    // A folder that cannot take its new name would later be found by the row behind it; the
    // row loses its repair instead of showing or saving another package.
    if (ec) RemoveFolderTree(from);
  }
}

}  // namespace engine
