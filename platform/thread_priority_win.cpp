#include <windows.h>

#include "platform/thread_priority.h"

namespace platform {

ThreadPriority CurrentThreadPriority() {
  const int value = ::GetThreadPriority(::GetCurrentThread());
  return value != THREAD_PRIORITY_ERROR_RETURN && value < THREAD_PRIORITY_NORMAL
             ? ThreadPriority::kBackground
             : ThreadPriority::kNormal;
}

bool SetCurrentThreadPriority(ThreadPriority priority) {
  const int value = priority == ThreadPriority::kBackground ? THREAD_PRIORITY_BELOW_NORMAL
                                                            : THREAD_PRIORITY_NORMAL;
  return ::SetThreadPriority(::GetCurrentThread(), value) != 0;
}

}  // namespace platform
