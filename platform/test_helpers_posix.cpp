#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "platform/error.h"
#include "platform/test_helpers.h"

namespace platform::testing {

bool CreateFifo(const std::filesystem::path& path, std::string* why) {
  if (::mkfifo(path.c_str(), 0600) == 0) return true;
  if (why) *why = detail::SystemErrorText(errno);
  return false;
}

bool HasPosixFileSystem() {
  return true;
}

bool IsSuperUser() {
  return ::geteuid() == 0;
}

bool GiveToAnotherUser(const std::filesystem::path& path) {
  return ::chown(path.c_str(), 65534, 65534) == 0;
}

bool SetFileTimes(const std::filesystem::path& path, std::time_t modified, std::time_t accessed) {
  const timespec times[2] = {{accessed, 0}, {modified, 0}};
  return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

int RunProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
               const std::filesystem::path& workingFolder, const std::filesystem::path& out,
               const std::filesystem::path& err) {
  std::vector<std::string> words{program.string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& word : words)
    argv.push_back(word.data());
  argv.push_back(nullptr);
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (outFd < 0 || errFd < 0 || ::dup2(outFd, 1) < 0 || ::dup2(errFd, 2) < 0 ||
        ::chdir(workingFolder.c_str()) != 0) {
      ::_exit(127);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void UseUtcAsLocalTime() {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
}

}  // namespace platform::testing
