// A file handle that closes itself, over the operating system's plain read and write calls.
// Errors are reported by return values; LastErrorText() gives the reason of the last failure
// on this thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "platform/error.h"

namespace platform {

// What the system records about an open file besides its content.
struct FileStatus {
  bool isDirectory = false;
  bool ownerCanWrite = false;
  std::uint64_t size = 0;
  std::time_t modifyTime = 0;
  std::time_t accessTime = 0;
  // The creation time where the system keeps one; POSIX keeps none, and the status-change
  // time stands in for it.
  std::time_t createTime = 0;
};

class File {
 public:
  enum class Mode {
    kRead,            // existing regular file, read only, others may read
    kCreateTruncate,  // create or truncate, read and write
    kCreateNew,       // create a file that must not exist yet, owner-only permissions
  };

  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens path; false on failure (see LastErrorText). Reading takes only regular files: a
  // folder, a FIFO, a device or a socket is refused at once ("not a regular file"), without
  // waiting for a writer or a device to answer, because reading one would block the job where
  // its stop request cannot reach. Writing refuses folders, FIFOs and sockets the same way.
  bool Open(const std::filesystem::path& path, Mode mode);
  bool IsOpen() const { return handle_ != kNoHandle; }
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
  // Kind, permissions, size and times of the open file; nothing on failure.
  std::optional<FileStatus> Status() const;
  // Gives the open file the permissions a file created the ordinary way would get now: 0666
  // less the process's umask on POSIX. Meant for a file made owner-only while it was written
  // (a temporary file that becomes a saved package). False when the system refuses; the file
  // then keeps its owner-only permissions. Nothing to do on Windows, where files inherit their
  // folder's access rules.
  bool GiveUsualPermissions();

 private:
  // A file descriptor here, a HANDLE on Windows; both fit and both use -1 for none.
  static constexpr std::intptr_t kNoHandle = -1;
  std::intptr_t handle_ = kNoHandle;
};

// Copies the file from to the path to, replacing a file there; false on failure (see
// LastErrorText). Unlike std::filesystem::copy_file with MinGW's C++ library, which takes any
// two files on one drive for the same file, this works on every system.
bool CopyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace platform
