// Stores a whole folder tree in one zip archive under names relative to the folder.
#pragma once

#include <cstdint>
#include <filesystem>

#include "zip/zip_writer.h"

namespace zip {

class FolderPacker {
 public:
  // Creates archivePath and adds every file below folder, depth first, under its relative name
  // (no folder entries). Returns kZipBadArgument when the archive cannot be created, otherwise
  // the result of closing it.
  std::uint32_t PackFolder(const std::filesystem::path& folder,
                           const std::filesystem::path& archivePath);

  // Files of the last PackFolder that could not be added (left out of the archive).
  std::size_t FailedAdds() const { return m_nFailedAdds; }

 private:
  void AddFolderFiles(const std::filesystem::path& folder, ZipHandle* handle);

  std::size_t m_nRootLength = 0;
  std::size_t m_nFailedAdds = 0;
};

}  // namespace zip
