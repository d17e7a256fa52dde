#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

#include "platform/thread_priority.h"

namespace platform {
namespace {

// A nice value of 10 weighs a tenth of a normal thread: the window's thread wins the core at
// once, and the job still gets a fair part of it beside other programs' threads.
constexpr int kBackgroundNiceStep = 10;

#ifdef __linux__
// Linux keeps the nice value per thread (a new thread inherits its starter's); the main thread's
// value is the process's.
int NiceOf(id_t id) {
  errno = 0;
  const int value = ::getpriority(PRIO_PROCESS, id);
  return errno == 0 ? value : 0;
}
#endif

}  // namespace

ThreadPriority CurrentThreadPriority() {
#ifdef __linux__
  const id_t self = static_cast<id_t>(::gettid());
  const id_t process = static_cast<id_t>(::getpid());
  return NiceOf(self) > NiceOf(process) ? ThreadPriority::kBackground : ThreadPriority::kNormal;
#else
  return ThreadPriority::kNormal;
#endif
}

bool SetCurrentThreadPriority(ThreadPriority priority) {
#ifdef __linux__
  const id_t self = static_cast<id_t>(::gettid());
  const int base = NiceOf(static_cast<id_t>(::getpid()));
  const int wanted = priority == ThreadPriority::kBackground ? base + kBackgroundNiceStep : base;
  if (NiceOf(self) == wanted) return true;
  return ::setpriority(PRIO_PROCESS, self, wanted) == 0;
#else
  // Elsewhere the nice value belongs to the whole process: lowering it would slow the window too.
  return priority == ThreadPriority::kNormal;
#endif
}

}  // namespace platform
