// A file handle that closes itself, over the operating system's plain read and write calls.
// Errors are reported by return values; LastErrorText() gives the system's text for the last
// failure on this thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace platform {

class File {
 public:
  enum class Mode {
    kRead,            // existing file, read only, others may read
    kCreateTruncate,  // create or truncate, read and write
    kCreateNew,       // create a file that must not exist yet, owner-only permissions
  };

  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens path; false on failure (see LastErrorText).
  bool Open(const std::filesystem::path& path, Mode mode);
  bool IsOpen() const { return fd_ >= 0; }
  // Closes the file; false when the system reports an error (data may not have been written).
  bool Close();

  // Reads up to buffer.size() bytes at the current position, retrying short reads until the end
  // of the file. Returns the bytes read, or -1 on error.
  std::int64_t Read(std::span<std::byte> buffer);
  // Writes all of data; false on a short or failed write.
  bool Write(std::span<const std::byte> data);
  // Positions at an absolute offset; false on failure.
  bool Seek(std::uint64_t offset);
  // Current position, or -1 on failure.
  std::int64_t Position() const;
  // Length of the open file, or -1 on failure.
  std::int64_t Size() const;

  int NativeHandle() const { return fd_; }

 private:
  int fd_ = -1;
};

// The system's text for the last error of this thread (errno here, GetLastError on Windows).
std::string LastErrorText();
// The system's text for a given error number.
std::string ErrorText(int error);

}  // namespace platform
