#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#ifdef _WIN32
#include <io.h>
#define read _read
#define write _write
#define close _close
#define lseek _lseeki64
#endif

namespace platform {

File::~File() {
  Close();
}

File::File(File&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

bool File::Open(const std::filesystem::path& path, Mode mode) {
  Close();
  int flags = O_CLOEXEC;
#ifdef O_BINARY
  flags |= O_BINARY;
#endif
  switch (mode) {
    case Mode::kRead:
      flags |= O_RDONLY;
      break;
    case Mode::kCreateTruncate:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
    case Mode::kCreateNew:
      flags |= O_RDWR | O_CREAT | O_EXCL;
      break;
  }
  // New temporary files are the user's alone; other new files (saved packages, extracted parts
  // inside the private working folder) get the usual permissions the user's umask allows.
  const mode_t permissions = mode == Mode::kCreateNew ? 0600 : 0666;
  int fd = -1;
  do {
    fd = ::open(path.c_str(), flags, permissions);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  if (mode == Mode::kRead) {
    // A folder opens for reading on POSIX but cannot be read as a package.
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
      ::close(fd);
      errno = EISDIR;
      return false;
    }
  }
  fd_ = fd;
  return true;
}

bool File::Close() {
  if (fd_ < 0) return true;
  const int result = ::close(std::exchange(fd_, -1));
  return result == 0;
}

std::int64_t File::Read(std::span<std::byte> buffer) {
  if (fd_ < 0) {
    errno = EBADF;
    return -1;
  }
  std::size_t total = 0;
  while (total < buffer.size()) {
    const auto got = ::read(fd_, buffer.data() + total, buffer.size() - total);
    if (got < 0) {
      if (errno == EINTR) continue;
      return total > 0 ? static_cast<std::int64_t>(total) : -1;
    }
    if (got == 0) break;
    total += static_cast<std::size_t>(got);
  }
  return static_cast<std::int64_t>(total);
}

bool File::Write(std::span<const std::byte> data) {
  if (fd_ < 0) {
    errno = EBADF;
    return false;
  }
  std::size_t total = 0;
  while (total < data.size()) {
    const auto put = ::write(fd_, data.data() + total, data.size() - total);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (put == 0) {
      errno = ENOSPC;
      return false;
    }
    total += static_cast<std::size_t>(put);
  }
  return true;
}

bool File::Seek(std::uint64_t offset) {
  if (fd_ < 0 || offset > static_cast<std::uint64_t>(INT64_MAX)) return false;
  return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

std::int64_t File::Position() const {
  if (fd_ < 0) return -1;
  return ::lseek(fd_, 0, SEEK_CUR);
}

std::int64_t File::Size() const {
  if (fd_ < 0) return -1;
  struct stat info {};
  if (::fstat(fd_, &info) != 0) return -1;
  return info.st_size;
}

std::string ErrorText(int error) {
  char buffer[256] = {};
#if defined(_WIN32)
  strerror_s(buffer, sizeof buffer, error);
  return buffer;
#elif (_POSIX_C_SOURCE >= 200112L) && !_GNU_SOURCE
  if (strerror_r(error, buffer, sizeof buffer) != 0)
    return "Unknown error " + std::to_string(error);
  return buffer;
#else
  return ::strerror_r(error, buffer, sizeof buffer);
#endif
}

std::string LastErrorText() {
  return ErrorText(errno);
}

}  // namespace platform
