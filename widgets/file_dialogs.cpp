#include "widgets/file_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace {

OpenPackagesHook& OpenHook() {
  static OpenPackagesHook hook;
  return hook;
}

FolderHook& FolderHookRef() {
  static FolderHook hook;
  return hook;
}

// The folder of the last packages picked, so that the next open dialog starts there.
QString& LastOpenFolder() {
  static QString folder;
  return folder;
}

QString StartFolder() {
  const QString& last = LastOpenFolder();
  return !last.isEmpty() && QFileInfo(last).isDir() ? last : QDir::homePath();
}

}  // namespace

QStringList AskOpenPackages(QWidget* owner) {
  if (OpenHook()) return OpenHook()();
  const QStringList files = QFileDialog::getOpenFileNames(
      owner, QStringLiteral("Open"), StartFolder(), QStringLiteral("Dotm File (*.dotm)"));
  if (!files.isEmpty()) LastOpenFolder() = QFileInfo(files.front()).absolutePath();
  return files;
}

QString AskFolder(QWidget* owner, const QString& title) {
  if (FolderHookRef()) return FolderHookRef()(title);
  return QFileDialog::getExistingDirectory(owner, title, QString(), QFileDialog::ShowDirsOnly);
}

void SetOpenPackagesHook(OpenPackagesHook hook) {
  OpenHook() = std::move(hook);
}
void SetFolderHook(FolderHook hook) {
  FolderHookRef() = std::move(hook);
}
