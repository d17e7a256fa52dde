// The open-file and folder dialogs, behind a seam that tests pre-answer.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// The open dialog for packages: filter "Dotm File (*.dotm)", several files at once. Empty when
// cancelled.
QStringList AskOpenPackages(QWidget* owner);
// The folder browser with the given title. Empty when cancelled.
QString AskFolder(QWidget* owner, const QString& title);

using OpenPackagesHook = std::function<QStringList()>;
using FolderHook = std::function<QString(const QString& title)>;
void SetOpenPackagesHook(OpenPackagesHook hook);
void SetFolderHook(FolderHook hook);
