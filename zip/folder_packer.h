// Stores a whole folder tree in one zip archive under names relative to the folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file.h"
#include "zip/zip_writer.h"

namespace zip {

class FolderPacker {
 public:
  // Deflates with threads worker threads (see ZipWriterAddFiles); by default as many as
  // DeflateThreadCount() gives. The archive is the same for every count.
  FolderPacker();
  explicit FolderPacker(unsigned threads) : m_nThreads(threads) {}

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

  // A file of the last PackFolder that could not be added, and so is not in the archive.
  struct FailedAdd {
    std::wstring name;        // its name relative to the folder, as given to the writer
    std::uint32_t result;     // the writer's code; kZipFileError for what is no regular file
    std::string systemError;  // the system's text for the failure, when a system call failed
  };
  const std::vector<FailedAdd>& Failures() const { return m_failures; }
  std::size_t FailedAdds() const { return m_failures.size(); }

 private:
  // A file the walk found, in the order found.
  struct Found {
    std::wstring name;
    std::filesystem::path path;
    bool isRegular;
  };

  // Walks the folder, then adds every file found in that order; files that cannot be added are
  // listed in m_failures, in the same order.
  std::uint32_t PackInto(const std::filesystem::path& folder, ZipHandlePtr handle,
                         const std::filesystem::path& archivePath);
  // Lists every file below folder, recursing into subfolders at once; symbolic links and the
  // archive itself are skipped.
  void FindFolderFiles(const std::filesystem::path& folder, std::vector<Found>& found) const;
  void AddFoundFiles(const std::vector<Found>& found, ZipHandle* handle);
  // The path without the packed folder's own path and the one separator after it.
  std::wstring RelativeName(const std::filesystem::path& path) const;

  // Characters of the folder path given to the current PackFolder, exactly as passed.
  std::size_t m_nRootLength = 0;
  unsigned m_nThreads = 1;
  std::vector<FailedAdd> m_failures;
  std::filesystem::path m_archivePath;
};

}  // namespace zip
