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

std::unique_ptr<QFileDialog> MakeOpenPackagesDialog(QWidget* owner) {
  auto dialog = std::make_unique<QFileDialog>(owner, QStringLiteral("Open"), StartFolder(),
                                              QStringLiteral("Dotm File (*.dotm)"));
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::ExistingFiles);
  dialog->setDefaultSuffix(QStringLiteral("dotm"));
  dialog->selectFile(QStringLiteral("*.dotm"));
  return dialog;
}

std::unique_ptr<QFileDialog> MakeFolderDialog(QWidget* owner, const QString& title,
                                              const QString& startFolder) {
  const QString start = !startFolder.isEmpty() && QFileInfo(startFolder).isDir()
                            ? QFileInfo(startFolder).absoluteFilePath()
                            : QString();
  auto dialog = std::make_unique<QFileDialog>(owner, title, start);
  dialog->setFileMode(QFileDialog::Directory);
  dialog->setOption(QFileDialog::ShowDirsOnly);
  return dialog;
}

QStringList AskOpenPackages(QWidget* owner) {
  if (OpenHook()) return OpenHook()();
  const std::unique_ptr<QFileDialog> dialog = MakeOpenPackagesDialog(owner);
  if (dialog->exec() != QDialog::Accepted) return {};
  const QStringList files = dialog->selectedFiles();
  if (!files.isEmpty()) LastOpenFolder() = QFileInfo(files.front()).absolutePath();
  return files;
}

QString AskFolder(QWidget* owner, const QString& title, const QString& startFolder) {
  if (FolderHookRef()) return FolderHookRef()(title, startFolder);
  const std::unique_ptr<QFileDialog> dialog = MakeFolderDialog(owner, title, startFolder);
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return {};
  return dialog->selectedFiles().front();
}

void SetOpenPackagesHook(OpenPackagesHook hook) {
  OpenHook() = std::move(hook);
}
void SetFolderHook(FolderHook hook) {
  FolderHookRef() = std::move(hook);
}
