// What tests need from the system beyond the program's own needs: special files and other
// users. Linked only into the tests (target platform_test_helpers).
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace platform::testing {

// Creates a FIFO (named pipe) at path; false with the reason in *why where the system has
// none in its file system (Windows) or the call fails.
bool CreateFifo(const std::filesystem::path& path, std::string* why);

// True where files have POSIX modes, symbolic links need no privilege and FIFOs exist: not on
// Windows.
bool HasPosixFileSystem();

// True when this process may give files to other users (root on POSIX).
bool IsSuperUser();

// Gives path to another user (the unprivileged "nobody", 65534); false on failure.
bool GiveToAnotherUser(const std::filesystem::path& path);

// Sets the last-written and last-read times of path (seconds since 1970 UTC); false on failure.
bool SetFileTimes(const std::filesystem::path& path, std::time_t modified, std::time_t accessed);

// Runs program with arguments (UTF-8, passed to it unchanged) in folder workingFolder, its
// standard output and error written to the files out and err; waits for it and returns its
// exit status, or -1 when it could not be started or did not exit normally.
int RunProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
               const std::filesystem::path& workingFolder, const std::filesystem::path& out,
               const std::filesystem::path& err);

// Sets the process's umask and returns the one it replaces (POSIX; does nothing and returns 0
// on Windows, which has none).
unsigned SetUmask(unsigned mask);

// While it lives, files this process writes cannot grow past the given size: writes beyond it
// fail as on a full disk ("File too large"). Active() is false where the system has no such
// limit (Windows) or refused it; the test should then skip.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(std::uint64_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  bool Active() const { return active_; }

 private:
  bool active_ = false;
  std::uint64_t previous_ = 0;
  void (*previousHandler_)(int) = nullptr;
};

// Makes the local clock of this process UTC, so that local times are fixed numbers.
void UseUtcAsLocalTime();

}  // namespace platform::testing
