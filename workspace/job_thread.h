// One worker thread of a job. The work runs on a std::thread; when it returns, the ended
// callback is posted to the GUI thread, which joins the thread there. Destroying a running
// CJobThread joins it: whoever owns it makes the work stop first.
#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <thread>

class CJobThread {
 public:
  // ended runs on context's thread after work has returned; it is dropped with context.
  CJobThread(QObject* context, std::function<void()> work, std::function<void()> ended);
  ~CJobThread();
  CJobThread(const CJobThread&) = delete;
  CJobThread& operator=(const CJobThread&) = delete;

  // The work has returned (the thread may still be winding down).
  bool Finished() const { return finished_.load(); }
  void Join();

 private:
  std::atomic<bool> finished_{false};
  std::thread thread_;
};
