// Placeholder until the dialogs land.
#include "widgets/file_dialogs.h"
namespace {
OpenPackagesHook& OpenHook() {
  static OpenPackagesHook hook;
  return hook;
}
FolderHook& FolderHookRef() {
  static FolderHook hook;
  return hook;
}
}  // namespace
QStringList AskOpenPackages(QWidget*) { return OpenHook() ? OpenHook()() : QStringList{}; }
QString AskFolder(QWidget*, const QString& title) {
  return FolderHookRef() ? FolderHookRef()(title) : QString{};
}
void SetOpenPackagesHook(OpenPackagesHook hook) { OpenHook() = std::move(hook); }
void SetFolderHook(FolderHook hook) { FolderHookRef() = std::move(hook); }
