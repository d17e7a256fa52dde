#include <windows.h>

#include <algorithm>
#include <climits>
#include <utility>

#include "platform/file.h"

namespace platform {
namespace {

constexpr char kNotRegular[] = "not a regular file";
// ReadFile and WriteFile take a 32-bit length; larger spans go in pieces of this size.
constexpr DWORD kMaxPiece = 1u << 30;

HANDLE AsHandle(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

DWORD Disposition(File::Mode mode) {
  switch (mode) {
    case File::Mode::kRead:
      return OPEN_EXISTING;
    case File::Mode::kCreateTruncate:
      return CREATE_ALWAYS;
    case File::Mode::kCreateNew:
      return CREATE_NEW;
  }
  return OPEN_EXISTING;
}

// Seconds since 1970 from a FILETIME (100-nanosecond steps since 1601).
std::time_t UnixTime(const FILETIME& time) {
  constexpr std::int64_t kStepsPerSecond = 10'000'000;
  constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;
  const std::int64_t steps = static_cast<std::int64_t>(
      static_cast<std::uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime);
  return static_cast<std::time_t>(steps / kStepsPerSecond - kSecondsFrom1601To1970);
}

// Paths longer than the classic limit of 260 characters open only in the extended form
// "\\?\C:\..." (or "\\?\UNC\server\..."), which the system takes without any rewriting.
std::wstring ExtendedLengthPath(const std::filesystem::path& path) {
  std::wstring text = path.native();
  if (text.size() < MAX_PATH || !path.is_absolute() || text.starts_with(L"\\\\?\\")) return text;
  std::wstring extended = path.lexically_normal().make_preferred().native();
  if (extended.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + extended.substr(2);
  return L"\\\\?\\" + extended;
}

}  // namespace

bool File::Open(const std::filesystem::path& path, Mode mode) {
  Close();
  const DWORD access = mode == Mode::kRead ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
  // A package being repaired may still be open in the word processor: let it keep writing.
  // FILE_SHARE_DELETE gives the POSIX behaviour the callers rely on: an open file can be
  // removed or renamed (a part that failed half-way is removed before its handle closes).
  const DWORD sharing =
      (mode == Mode::kRead ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ) |
      FILE_SHARE_DELETE;
  const HANDLE handle = ::CreateFileW(ExtendedLengthPath(path).c_str(), access, sharing, nullptr,
                                      Disposition(mode), FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    detail::RecordSystemError(static_cast<int>(::GetLastError()));
    return false;
  }
  // A pipe, a console or a device opens like a file but cannot be read as a package.
  if (::GetFileType(handle) != FILE_TYPE_DISK) {
    ::CloseHandle(handle);
    detail::RecordFailure(kNotRegular);
    return false;
  }
  handle_ = reinterpret_cast<std::intptr_t>(handle);
  return true;
}

bool File::Close() {
  if (handle_ == kNoHandle) return true;
  if (::CloseHandle(AsHandle(std::exchange(handle_, kNoHandle)))) return true;
  detail::RecordSystemError(static_cast<int>(::GetLastError()));
  return false;
}

std::int64_t File::Read(std::span<std::byte> buffer) {
  if (handle_ == kNoHandle) {
    detail::RecordSystemError(ERROR_INVALID_HANDLE);
    return -1;
  }
  std::size_t total = 0;
  while (total < buffer.size()) {
    const auto piece = static_cast<DWORD>(std::min<std::size_t>(buffer.size() - total, kMaxPiece));
    DWORD got = 0;
    if (!::ReadFile(AsHandle(handle_), buffer.data() + total, piece, &got, nullptr)) {
      detail::RecordSystemError(static_cast<int>(::GetLastError()));
      return total > 0 ? static_cast<std::int64_t>(total) : -1;
    }
    if (got == 0) break;
    total += got;
  }
  return static_cast<std::int64_t>(total);
}

bool File::Write(std::span<const std::byte> data) {
  if (handle_ == kNoHandle) {
    detail::RecordSystemError(ERROR_INVALID_HANDLE);
    return false;
  }
  std::size_t total = 0;
  while (total < data.size()) {
    const auto piece = static_cast<DWORD>(std::min<std::size_t>(data.size() - total, kMaxPiece));
    DWORD put = 0;
    if (!::WriteFile(AsHandle(handle_), data.data() + total, piece, &put, nullptr)) {
      detail::RecordSystemError(static_cast<int>(::GetLastError()));
      return false;
    }
    if (put == 0) {
      detail::RecordSystemError(ERROR_DISK_FULL);
      return false;
    }
    total += put;
  }
  return true;
}

bool File::Seek(std::uint64_t offset) {
  if (handle_ == kNoHandle || offset > static_cast<std::uint64_t>(INT64_MAX)) {
    detail::RecordSystemError(handle_ == kNoHandle ? ERROR_INVALID_HANDLE : ERROR_NEGATIVE_SEEK);
    return false;
  }
  LARGE_INTEGER distance{};
  distance.QuadPart = static_cast<LONGLONG>(offset);
  if (::SetFilePointerEx(AsHandle(handle_), distance, nullptr, FILE_BEGIN)) return true;
  detail::RecordSystemError(static_cast<int>(::GetLastError()));
  return false;
}

std::int64_t File::Position() const {
  if (handle_ == kNoHandle) return -1;
  LARGE_INTEGER zero{};
  LARGE_INTEGER position{};
  if (!::SetFilePointerEx(AsHandle(handle_), zero, &position, FILE_CURRENT)) return -1;
  return position.QuadPart;
}

std::int64_t File::Size() const {
  LARGE_INTEGER size{};
  if (handle_ == kNoHandle || !::GetFileSizeEx(AsHandle(handle_), &size)) return -1;
  return size.QuadPart;
}

std::optional<FileStatus> File::Status() const {
  BY_HANDLE_FILE_INFORMATION info{};
  if (handle_ == kNoHandle || !::GetFileInformationByHandle(AsHandle(handle_), &info)) {
    detail::RecordSystemError(static_cast<int>(::GetLastError()));
    return std::nullopt;
  }
  return FileStatus{
      .isDirectory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
      .ownerCanWrite = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) == 0,
      .size = static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow,
      .modifyTime = UnixTime(info.ftLastWriteTime),
      .accessTime = UnixTime(info.ftLastAccessTime),
      .createTime = UnixTime(info.ftCreationTime)};
}

bool CopyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::CopyFileW(ExtendedLengthPath(from).c_str(), ExtendedLengthPath(to).c_str(), FALSE)) {
    return true;
  }
  detail::RecordSystemError(static_cast<int>(::GetLastError()));
  return false;
}

}  // namespace platform
