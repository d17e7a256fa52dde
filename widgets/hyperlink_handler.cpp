#include "widgets/hyperlink_handler.h"

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QStringView>

namespace hyperlink {

#ifndef Q_OS_WIN
namespace {

// The name of the desktop entry that opens web pages, as xdg-mime reports it.
QString DefaultHtmlDesktopEntry() {
  QProcess query;
  query.start(QStringLiteral("xdg-mime"),
              {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
  if (!query.waitForFinished(5000) || query.exitStatus() != QProcess::NormalExit ||
      query.exitCode() != 0) {
    query.kill();
    return QString();
  }
  return QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
}

QString ReadText(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return QString();
  return QString::fromUtf8(file.readAll());
}

}  // namespace
#endif

QString CommandBeforePlaceholder(const QString& command, const QStringList& placeholders) {
  qsizetype cut = -1;
  for (const QString& placeholder : placeholders) {
    const qsizetype at = command.indexOf(placeholder);
    if (at >= 0 && (cut < 0 || at < cut)) cut = at;
  }
  if (cut < 0) return command;
  if (cut > 0 && command.at(cut - 1) == QLatin1Char('"')) --cut;
  return command.left(cut);
}

QString DesktopEntryExec(const QString& desktopEntry) {
  bool inMainGroup = false;
  for (const QString& rawLine : desktopEntry.split(QLatin1Char('\n'))) {
    const QString line = rawLine.trimmed();
    if (line.startsWith(QLatin1Char('['))) {
      inMainGroup = line == QLatin1String("[Desktop Entry]");
      continue;
    }
    if (!inMainGroup) continue;
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals > 0 && QStringView(line).left(equals).trimmed() == QLatin1String("Exec")) {
      return line.mid(equals + 1).trimmed();
    }
  }
  return QString();
}

QStringList HandlerArguments(const QString& handlerCommand, const QStringList& placeholders,
                             const QString& target) {
  QStringList arguments =
      QProcess::splitCommand(CommandBeforePlaceholder(handlerCommand, placeholders));
  if (arguments.isEmpty()) return arguments;
  arguments << target;
  return arguments;
}

HandlerCommand WebPageHandlerCommand() {
#ifdef Q_OS_WIN
  const QSettings classes(QStringLiteral("HKEY_CLASSES_ROOT"), QSettings::NativeFormat);
  const QString htmlClass = classes.value(QStringLiteral(".htm/Default")).toString().left(260);
  if (htmlClass.isEmpty()) return {};
  const QString command =
      classes.value(htmlClass + QStringLiteral("/shell/open/command/Default")).toString();
  return {command, {QStringLiteral("%1")}};
#else
  const QString entry = DefaultHtmlDesktopEntry();
  if (entry.isEmpty() || entry.contains(QLatin1Char('/'))) return {};
  const QString path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entry);
  if (path.isEmpty()) return {};
  return {DesktopEntryExec(ReadText(path)),
          {QStringLiteral("%u"), QStringLiteral("%U"), QStringLiteral("%f"), QStringLiteral("%F")}};
#endif
}

int RunDetached(const QStringList& programAndArguments) {
  if (programAndArguments.isEmpty()) return kFileNotFound;
  const bool started =
      QProcess::startDetached(programAndArguments.front(), programAndArguments.mid(1));
  return started ? kOpened : kFileNotFound;
}

QString ErrorText(int result) {
  switch (result) {
    case 0:
      return QStringLiteral("The operating system is out\nof memory or resources.");
    case 2:
      return QStringLiteral("The specified file was not found.");
    case 3:
      return QStringLiteral("The specified path was not found.");
    case 5:
      return QStringLiteral("The operating system denied\naccess to the specified file.");
    case 8:
      return QStringLiteral("There was not enough memory to complete the operation.");
    case 11:
      return QStringLiteral("The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
    case 26:
      return QStringLiteral("A sharing violation occurred. ");
    case 27:
      return QStringLiteral("The filename association is\nincomplete or invalid.");
    case 28:
      return QStringLiteral(
          "The DDE transaction could not\nbe completed because the request timed out.");
    case 29:
      return QStringLiteral("The DDE transaction failed.");
    case 30:
      return QStringLiteral(
          "The DDE transaction could not\nbe completed because other DDE transactions\nwere "
          "being processed.");
    case 31:
      return QStringLiteral(
          "There is no application associated\nwith the given filename "
          "extension.");
    case 32:
      return QStringLiteral("The specified dynamic-link library was not found.");
    default:
      return QStringLiteral("Unknown Error (%1) occurred.").arg(result);
  }
}

QString ErrorMessage(int result) {
  return QStringLiteral("Unable to open hyperlink:\n\n") + ErrorText(result);
}

}  // namespace hyperlink
