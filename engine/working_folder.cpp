// Placeholder until the working folder lands.
#include "engine/working_folder.h"
namespace engine {
std::filesystem::path GetWorkingFolder() { return {}; }
std::filesystem::path FileFolderFor(const std::filesystem::path& w, std::string_view, int) {
  return w;
}
void DeleteFolderTree(const std::filesystem::path&) {}
void RemoveFolderTree(const std::filesystem::path&) {}
void RenumberFileFolders(const std::filesystem::path&, std::span<const std::string>, int) {}
}  // namespace engine
