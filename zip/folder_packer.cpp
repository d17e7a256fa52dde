// Placeholder until the folder packer lands.
#include "zip/folder_packer.h"
namespace zip {
std::uint32_t FolderPacker::PackFolder(const std::filesystem::path&, const std::filesystem::path&) {
  return kZipBadArgument;
}
void FolderPacker::AddFolderFiles(const std::filesystem::path&, ZipHandle*) {}
}  // namespace zip
