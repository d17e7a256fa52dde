#include "zip/folder_packer.h"

#include <string>
#include <system_error>

#include "platform/file.h"
#include "platform/text.h"

namespace zip {
namespace {

bool IsSeparator(wchar_t c) {
  return c == L'/' || c == L'\\';
}

}  // namespace

std::uint32_t FolderPacker::PackFolder(const std::filesystem::path& folder,
                                       const std::filesystem::path& archivePath) {
  return PackInto(folder, ZipWriterCreate(archivePath), archivePath);
}

std::uint32_t FolderPacker::PackFolder(const std::filesystem::path& folder, platform::File archive,
                                       const std::filesystem::path& archivePath) {
  return PackInto(folder, ZipWriterCreate(std::move(archive)), archivePath);
}

std::uint32_t FolderPacker::PackInto(const std::filesystem::path& folder, ZipHandlePtr handle,
                                     const std::filesystem::path& archivePath) {
  m_failures.clear();
  m_nRootLength = platform::WideFromPath(folder).size();
  if (!handle) return kZipBadArgument;
  m_archivePath = archivePath;
  AddFolderFiles(folder, handle.get());
  m_archivePath.clear();
  return ZipWriterClose(std::move(handle));
}

void FolderPacker::AddFolderFiles(const std::filesystem::path& folder, ZipHandle* handle) {
  std::error_code error;
  std::filesystem::directory_iterator item(folder, error);
  const std::filesystem::directory_iterator end;
  for (; !error && item != end; item.increment(error)) {
    std::error_code statusError;
    const std::filesystem::file_status status = item->symlink_status(statusError);
    // Links are never followed: the folders we pack are our own, and a link must not pull
    // files from elsewhere into the package.
    if (statusError || std::filesystem::is_symlink(status)) continue;
    if (std::filesystem::is_directory(status)) {
      AddFolderFiles(item->path(), handle);
      continue;
    }
    AddOneFile(item->path(), std::filesystem::is_regular_file(status), handle);
  }
}

void FolderPacker::AddOneFile(const std::filesystem::path& path, bool isRegular,
                              ZipHandle* handle) {
  std::error_code error;
  // The archive being written may lie inside the folder; it must not swallow itself.
  if (!m_archivePath.empty() && std::filesystem::equivalent(path, m_archivePath, error)) return;
  std::wstring name = RelativeName(path);
  // Sockets, FIFOs and devices are no parts; reading a FIFO would block the save.
  if (!isRegular) {
    m_failures.push_back({std::move(name), kZipFileError, {}});
    return;
  }
  const std::uint32_t result = ZipWriterAddFile(handle, name, path);
  if (result == kZipOk) return;
  // Only reading and writing set the system's error; a refused name or size leaves none.
  const bool systemFailure = result == kZipFileError || result == kZipWriteError;
  m_failures.push_back(
      {std::move(name), result, systemFailure ? platform::LastErrorText() : std::string()});
}

std::wstring FolderPacker::RelativeName(const std::filesystem::path& path) const {
  std::wstring name = platform::WideFromPath(path);
  if (name.size() <= m_nRootLength) return {};
  name.erase(0, m_nRootLength);
  if (IsSeparator(name.front())) name.erase(0, 1);
  return name;
}

}  // namespace zip
