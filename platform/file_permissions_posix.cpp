#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>

#include "platform/file.h"

namespace platform {
namespace {

// Linux tells the umask in /proc/self/status without changing it.
std::optional<mode_t> UmaskFromProc() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) != 0) continue;
    try {
      return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    } catch (...) {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

// Elsewhere the only way to read the umask is to set it and put it back; the lock keeps two
// of our own threads from doing that at once.
mode_t CurrentUmask() {
  if (const auto mask = UmaskFromProc()) return *mask;
  static std::mutex lock;
  std::lock_guard guard(lock);
  const mode_t mask = ::umask(077);
  ::umask(mask);
  return mask;
}

}  // namespace

bool File::GiveUsualPermissions() {
  if (handle_ == kNoHandle) {
    detail::RecordSystemError(EBADF);
    return false;
  }
  const mode_t mode = static_cast<mode_t>(0666) & ~CurrentUmask();
  if (::fchmod(static_cast<int>(handle_), mode) == 0) return true;
  detail::RecordSystemError(errno);
  return false;
}

}  // namespace platform
