#include "workspace/job_thread.h"

#include <QMetaObject>
#include <QPointer>

CJobThread::CJobThread(QObject* context, std::function<void()> work, std::function<void()> ended) {
  QPointer<QObject> guard(context);
  thread_ = std::thread([this, guard, work = std::move(work), ended = std::move(ended)] {
    work();
    finished_.store(true);
    // A queued call whose context is gone is dropped by Qt, so a view being destroyed is
    // never called back.
    if (guard) QMetaObject::invokeMethod(guard.data(), ended, Qt::QueuedConnection);
  });
}

CJobThread::~CJobThread() {
  Join();
}

void CJobThread::Join() {
  if (thread_.joinable()) thread_.join();
}
