// Stores a whole folder tree in one zip archive under names relative to the folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/file.h"
#include "zip/zip_writer.h"

namespace zip {

class FolderPacker {
 public:
  // Creates archivePath and adds every file below folder, depth first, under its relative name
  // (no folder entries). Returns kZipBadArgument when the archive cannot be created, otherwise
  // the result of closing it.
  std::uint32_t PackFolder(const std::filesystem::path& folder,
                           const std::filesystem::path& archivePath);
  // The same into archive, a file already open and empty (see ZipWriterCreate), which the
  // packer writes and closes without ever reopening it by name. archivePath is where that file
  // lies; it only keeps the walk from packing the archive into itself.
  std::uint32_t PackFolder(const std::filesystem::path& folder, platform::File archive,
                           const std::filesystem::path& archivePath);

  // Files of the last PackFolder that could not be added (left out of the archive).
  std::size_t FailedAdds() const { return m_nFailedAdds; }

 private:
  // Adds every file below folder, recursing into subfolders at once; symbolic links and the
  // archive itself are skipped, files that cannot be added are counted in m_nFailedAdds.
  std::uint32_t PackInto(const std::filesystem::path& folder, ZipHandlePtr handle,
                         const std::filesystem::path& archivePath);
  void AddFolderFiles(const std::filesystem::path& folder, ZipHandle* handle);
  void AddOneFile(const std::filesystem::path& path, bool isRegular, ZipHandle* handle);
  // The path without the packed folder's own path and the one separator after it.
  std::wstring RelativeName(const std::filesystem::path& path) const;

  // Characters of the folder path given to the current PackFolder, exactly as passed.
  std::size_t m_nRootLength = 0;
  std::size_t m_nFailedAdds = 0;
  std::filesystem::path m_archivePath;
};

}  // namespace zip
