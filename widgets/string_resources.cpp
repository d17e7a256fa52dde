#include "widgets/string_resources.h"

#include <QHash>
#include <QMutex>

namespace {

QHash<unsigned, QString>& Table() {
  static QHash<unsigned, QString> table;
  return table;
}

QMutex& Lock() {
  static QMutex lock;
  return lock;
}

}  // namespace

QString LoadStringResource(unsigned id) {
  QMutexLocker lock(&Lock());
  return Table().value(id).left(260);
}

void SetStringResource(unsigned id, const QString& text) {
  QMutexLocker lock(&Lock());
  Table().insert(id, text);
}

void ClearStringResources() {
  QMutexLocker lock(&Lock());
  Table().clear();
}
