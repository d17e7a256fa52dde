#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
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

FileSizeLimit::FileSizeLimit(std::uint64_t bytes) {
  rlimit old{};
  if (::getrlimit(RLIMIT_FSIZE, &old) != 0) return;
  rlimit limited = old;
  limited.rlim_cur = static_cast<rlim_t>(bytes);
  // Past the limit the kernel sends SIGXFSZ, which would end the test program; ignored, the
  // write fails with EFBIG instead.
  previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
  if (::setrlimit(RLIMIT_FSIZE, &limited) != 0) {
    std::signal(SIGXFSZ, previousHandler_);
    return;
  }
  previous_ = static_cast<std::uint64_t>(old.rlim_cur);
  active_ = true;
}

FileSizeLimit::~FileSizeLimit() {
  if (!active_) return;
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  old.rlim_cur = static_cast<rlim_t>(previous_);
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previousHandler_);
}

unsigned SetUmask(unsigned mask) {
  return static_cast<unsigned>(::umask(static_cast<mode_t>(mask)));
}

void UseUtcAsLocalTime() {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
}

}  // namespace platform::testing
