// The scheduling priority of the calling thread. The desktop program runs its jobs in the
// background: the thread that draws the window and answers the user then gets a core as soon as
// it wakes up, however busy the job's threads keep every core.
#pragma once

namespace platform {

enum class ThreadPriority {
  kNormal,
  kBackground,  // below normal: gives way to the normal threads of this and other programs
};

// The calling thread's priority: kBackground once it has been lowered (here, or inherited from
// the thread that started it where the system passes it on).
ThreadPriority CurrentThreadPriority();

// Sets the calling thread's priority, and only its own. False when the system refused (going
// back up from kBackground may need a privilege the program does not have).
bool SetCurrentThreadPriority(ThreadPriority priority);

}  // namespace platform
