// The open-file and folder dialogs, behind a seam that tests pre-answer.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QFileDialog;
class QWidget;

// The open dialog for packages: filter "Dotm File (*.dotm)", default extension "dotm", the name
// "*.dotm" in its name box, several files at once. Empty when cancelled.
QStringList AskOpenPackages(QWidget* owner);
// The folder browser with the given title, opened at startFolder when that is an existing
// folder. Empty when cancelled.
QString AskFolder(QWidget* owner, const QString& title, const QString& startFolder = QString());

// The dialogs as AskOpenPackages and AskFolder show them (for tests to look at).
std::unique_ptr<QFileDialog> MakeOpenPackagesDialog(QWidget* owner);
std::unique_ptr<QFileDialog> MakeFolderDialog(QWidget* owner, const QString& title,
                                              const QString& startFolder);

using OpenPackagesHook = std::function<QStringList()>;
using FolderHook = std::function<QString(const QString& title, const QString& startFolder)>;
void SetOpenPackagesHook(OpenPackagesHook hook);
void SetFolderHook(FolderHook hook);
