#include "zip/folder_packer.h"

#include <string>
#include <system_error>

#include "platform/file.h"
#include "platform/text.h"
#include "zip/deflate_threads.h"

namespace zip {
namespace {

bool IsSeparator(wchar_t c) {
  return c == L'/' || c == L'\\';
}

}  // namespace

FolderPacker::FolderPacker() : m_nThreads(DeflateThreadCount()) {}

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
  // The walk only names files; their content is read when they are added, so the archive holds
  // what the files hold then, as when each was added the moment it was found.
  std::vector<Found> found;
  FindFolderFiles(folder, found);
  m_archivePath.clear();
  AddFoundFiles(found, handle.get());
  return ZipWriterClose(std::move(handle));
}

void FolderPacker::FindFolderFiles(const std::filesystem::path& folder,
                                   std::vector<Found>& found) const {
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
      FindFolderFiles(item->path(), found);
      continue;
    }
    // The archive being written may lie inside the folder; it must not swallow itself.
    std::error_code sameError;
    if (!m_archivePath.empty() &&
        std::filesystem::equivalent(item->path(), m_archivePath, sameError)) {
      continue;
    }
    found.push_back(
        {RelativeName(item->path()), item->path(), std::filesystem::is_regular_file(status)});
  }
}

void FolderPacker::AddFoundFiles(const std::vector<Found>& found, ZipHandle* handle) {
  // Sockets, FIFOs and devices are no parts (reading a FIFO would block the save): they never
  // reach the writer, and are listed where the walk found them.
  std::vector<ZipAddItem> items;
  for (std::size_t i = 0; i < found.size(); ++i) {
    if (!found[i].isRegular) continue;
    items.push_back({found[i].name, found[i].path});
  }
  std::vector<ZipAddResult> results = ZipWriterAddFiles(handle, items, m_nThreads);
  std::size_t next = 0;
  for (std::size_t i = 0; i < found.size(); ++i) {
    if (!found[i].isRegular) {
      m_failures.push_back({found[i].name, kZipFileError, {}});
      continue;
    }
    ZipAddResult& added = results[next++];
    if (added.result == kZipOk) continue;
    m_failures.push_back({found[i].name, added.result, std::move(added.systemError)});
  }
}

std::wstring FolderPacker::RelativeName(const std::filesystem::path& path) const {
  std::wstring name = platform::WideFromPath(path);
  if (name.size() <= m_nRootLength) return {};
  name.erase(0, m_nRootLength);
  if (IsSeparator(name.front())) name.erase(0, 1);
  return name;
}

}  // namespace zip
