#include "app/single_instance_guard.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform/temp_folder.h"
#include "platform/text.h"

CSingleInstanceGuard::CSingleInstanceGuard(const QString& lockPath) : lock_(lockPath) {
  QDir().mkpath(QFileInfo(lockPath).absolutePath());
  // Never stale by age: only a lock whose process has gone is taken over.
  lock_.setStaleLockTime(0);
  acquired_ = lock_.tryLock(0);
}

QString CSingleInstanceGuard::DefaultLockPath() {
  const QString name = QStringLiteral("brenvik-viva-zadado.lock");
  if (const auto folder = platform::PrivateTempFolder()) {
    return QString::fromStdString(platform::Utf8FromPath(*folder)) + QLatin1Char('/') + name;
  }
  return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QLatin1Char('/') +
         name;
}
