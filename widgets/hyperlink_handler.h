// How a hyperlink is opened when the desktop cannot open it directly: the web-page handler's
// command (on Linux the desktop entry that `xdg-mime query default text/html` names, on Windows
// the open command of the class that ".htm" names), cut before its placeholder, with the target
// after it. Also the texts of the error box that reports a failed open.
#pragma once

#include <QString>
#include <QStringList>

namespace hyperlink {

// Results of an open: above 32 is success; the others are the error codes the texts below
// describe (0 out of resources, 2 file not found, 31 no associated application, ...).
inline constexpr int kOpened = 33;
inline constexpr int kFileNotFound = 2;
inline constexpr int kNoAssociation = 31;

// command cut before the first of the placeholders (before its opening double quote when the
// placeholder is quoted); the whole command when it holds none.
QString CommandBeforePlaceholder(const QString& command, const QStringList& placeholders);

// The Exec value of a desktop entry's "[Desktop Entry]" group; empty when there is none.
QString DesktopEntryExec(const QString& desktopEntry);

// The program and arguments that open target with a handler command: the command cut before
// its placeholder, then target as one more argument (never split, never given to a shell).
// Empty when the command names no program.
QStringList HandlerArguments(const QString& handlerCommand, const QStringList& placeholders,
                             const QString& target);

// The web-page handler's command and the placeholders it uses ("%1" on Windows, the field
// codes %u, %U, %f and %F of a desktop entry elsewhere). Empty command when there is none.
struct HandlerCommand {
  QString command;
  QStringList placeholders;
};
HandlerCommand WebPageHandlerCommand();

// Starts program and arguments detached: kOpened, or kFileNotFound when it cannot be started.
int RunDetached(const QStringList& programAndArguments);

// The text for an open's result, and the whole message of the error box.
QString ErrorText(int result);
QString ErrorMessage(int result);

}  // namespace hyperlink
