#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <utility>

#include "platform/file.h"

namespace platform {
namespace {

constexpr char kNotRegular[] = "not a regular file";

int OpenFlags(File::Mode mode) {
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer for ever, and a
  // device might wait for its hardware. It is cleared again once the file is known to be
  // regular. O_NOCTTY: a terminal device never becomes our controlling terminal.
  const int flags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
  switch (mode) {
    case File::Mode::kRead:
      return flags | O_RDONLY;
    case File::Mode::kCreateTruncate:
      return flags | O_RDWR | O_CREAT | O_TRUNC;
    case File::Mode::kCreateNew:
      return flags | O_RDWR | O_CREAT | O_EXCL;
  }
  return flags | O_RDONLY;
}

int OpenRetrying(const std::filesystem::path& path, File::Mode mode) {
  // New temporary files are the user's alone; other new files (saved packages, extracted parts
  // inside the private working folder) get the usual permissions the user's umask allows.
  const mode_t permissions = mode == File::Mode::kCreateNew ? 0600 : 0666;
  int fd = -1;
  do {
    fd = ::open(path.c_str(), OpenFlags(mode), permissions);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Reading takes regular files only. Writing also takes a device (a write to /dev/full fails
// as a full disk does), but never a FIFO or socket, whose writes wait for a reader.
bool Acceptable(mode_t kind, File::Mode mode) {
  if (S_ISREG(kind)) return true;
  return mode != File::Mode::kRead && (S_ISCHR(kind) || S_ISBLK(kind));
}

// Keeps fd when it is a file we may use, now in blocking mode; closes it and records why not.
bool Accept(int fd, File::Mode mode) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    detail::RecordSystemError(errno);
  } else if (S_ISDIR(info.st_mode)) {
    detail::RecordSystemError(EISDIR);
  } else if (!Acceptable(info.st_mode, mode)) {
    detail::RecordFailure(kNotRegular);
  } else {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0) return true;
    detail::RecordSystemError(errno);
  }
  ::close(fd);
  return false;
}

}  // namespace

bool File::Open(const std::filesystem::path& path, Mode mode) {
  Close();
  const int fd = OpenRetrying(path, mode);
  if (fd < 0) {
    // A FIFO opened for writing without a reader fails with ENXIO instead of waiting.
    if (errno == ENXIO) {
      detail::RecordFailure(kNotRegular);
    } else {
      detail::RecordSystemError(errno);
    }
    return false;
  }
  if (!Accept(fd, mode)) return false;
  handle_ = fd;
  return true;
}

bool File::Close() {
  if (handle_ == kNoHandle) return true;
  if (::close(static_cast<int>(std::exchange(handle_, kNoHandle))) == 0) return true;
  detail::RecordSystemError(errno);
  return false;
}

std::int64_t File::Read(std::span<std::byte> buffer) {
  if (handle_ == kNoHandle) {
    detail::RecordSystemError(EBADF);
    return -1;
  }
  const int fd = static_cast<int>(handle_);
  std::size_t total = 0;
  while (total < buffer.size()) {
    const auto got = ::read(fd, buffer.data() + total, buffer.size() - total);
    if (got < 0) {
      if (errno == EINTR) continue;
      detail::RecordSystemError(errno);
      return total > 0 ? static_cast<std::int64_t>(total) : -1;
    }
    if (got == 0) break;
    total += static_cast<std::size_t>(got);
  }
  return static_cast<std::int64_t>(total);
}

bool File::Write(std::span<const std::byte> data) {
  if (handle_ == kNoHandle) {
    detail::RecordSystemError(EBADF);
    return false;
  }
  const int fd = static_cast<int>(handle_);
  std::size_t total = 0;
  while (total < data.size()) {
    const auto put = ::write(fd, data.data() + total, data.size() - total);
    if (put < 0) {
      if (errno == EINTR) continue;
      detail::RecordSystemError(errno);
      return false;
    }
    if (put == 0) {
      detail::RecordSystemError(ENOSPC);
      return false;
    }
    total += static_cast<std::size_t>(put);
  }
  return true;
}

bool File::Seek(std::uint64_t offset) {
  if (handle_ == kNoHandle || offset > static_cast<std::uint64_t>(INT64_MAX)) {
    detail::RecordSystemError(handle_ == kNoHandle ? EBADF : EINVAL);
    return false;
  }
  if (::lseek(static_cast<int>(handle_), static_cast<off_t>(offset), SEEK_SET) >= 0) return true;
  detail::RecordSystemError(errno);
  return false;
}

std::int64_t File::Position() const {
  if (handle_ == kNoHandle) return -1;
  return ::lseek(static_cast<int>(handle_), 0, SEEK_CUR);
}

std::int64_t File::Size() const {
  const auto status = Status();
  return status ? static_cast<std::int64_t>(status->size) : -1;
}

std::optional<FileStatus> File::Status() const {
  struct stat info {};
  if (handle_ == kNoHandle || ::fstat(static_cast<int>(handle_), &info) != 0) {
    detail::RecordSystemError(handle_ == kNoHandle ? EBADF : errno);
    return std::nullopt;
  }
  return FileStatus{.isDirectory = S_ISDIR(info.st_mode),
                    .ownerCanWrite = (info.st_mode & S_IWUSR) != 0,
                    .size = info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0,
                    .modifyTime = info.st_mtime,
                    .accessTime = info.st_atime,
                    .createTime = info.st_ctime};
}

bool CopyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::error_code ec;
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
  if (!ec) return true;
  detail::RecordFailure(ErrorText(ec));
  return false;
}

}  // namespace platform
