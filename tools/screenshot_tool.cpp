// Renders the main window in each workspace state to PNG files, headless:
//   screenshot_tool OUT_FOLDER [WIDTH HEIGHT]
// writes empty.png, listed.png, repairing.png, repaired.png, saving.png, about.png,
// about-hovered.png (the web-site link under the mouse), customize.png, help.png (the help
// document), the repaired window at the smallest size and at full HD (main-650x450.png,
// main-1920x1080.png) and one msg_*.png per message the program can show (each under a plain
// title bar). The states are reached the way a user reaches them (through the test seams of the
// dialogs and message boxes); the transient ones are captured while their job runs.
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextEdit>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/about_dlg.h"
#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/main_frame_customize_dlg.h"
#include "engine/job_texts.h"
#include "testkit/package_builder.h"
#include "testkit/temp_folder.h"
#include "widgets/app_message_box.h"
#include "widgets/file_dialogs.h"
#include "widgets/html_message_box_template.h"
#include "widgets/hyperlink_label.h"
#include "widgets/tessel_list_ctrl.h"
#include "workspace/control_ids.h"
#include "workspace/tessel_view.h"

namespace {

// A page-like thumbnail, as a word processor stores one in a package.
testsupport::Bytes ThumbnailPng(const QColor& accent) {
  QImage page(200, 260, QImage::Format_RGB32);
  page.fill(Qt::white);
  QPainter painter(&page);
  painter.fillRect(0, 0, 200, 46, accent);
  painter.setPen(Qt::white);
  QFont title("Arial");
  title.setPixelSize(18);
  title.setBold(true);
  painter.setFont(title);
  painter.drawText(QRect(12, 0, 180, 46), Qt::AlignVCenter, "Quarterly Report");
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(200, 200, 200));
  for (int line = 0; line < 12; ++line) {
    painter.drawRect(14, 64 + line * 14, line % 4 == 3 ? 110 : 172, 6);
  }
  painter.setBrush(accent.lighter(150));
  painter.drawRect(14, 238 - 30, 80, 30);
  painter.end();
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  page.save(&buffer, "PNG");
  return testsupport::Bytes(bytes.begin(), bytes.end());
}

QStringList WritePackages(const QString& folder) {
  const QStringList names{"Quarterly Report.dotm", "Invoice Template.dotm", "Letterhead.dotm",
                          "Meeting Minutes.dotm",  "Project Plan.dotm",     "Newsletter.dotm",
                          "Price List.dotm",       "Board Memo.dotm"};
  const QColor accents[] = {QColor(31, 78, 121), QColor(192, 80, 77), QColor(79, 129, 189)};
  QStringList paths;
  int index = 0;
  for (const QString& name : names) {
    testsupport::PackageBuilder builder;
    for (auto& [part, content] : testsupport::SampleTemplateParts()) {
      builder.Add({.name = part, .content = content});
    }
    // Enough parts that a job lasts long enough to be captured.
    for (int i = 0; i < 40; ++i) {
      builder.Add({.name = "customXml/item" + std::to_string(i) + ".xml",
                   .content = testsupport::XmlLikeBytes(64 * 1024, i + 1)});
    }
    builder.Add({.name = "Thumbnails/thumbnail.png",
                 .content = ThumbnailPng(accents[index % 3]),
                 .method = 0});
    const QString path = folder + "/" + name;
    testsupport::WriteFileBytes(path.toStdString(), builder.Build());
    paths << path;
    ++index;
  }
  return paths;
}

bool Save(QWidget& window, const QString& file) {
  const bool ok = window.grab().save(file);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(file));
  return ok;
}

// Captures the window once, when the log first shows a line containing trigger.
void CaptureOnLog(CMainFrame& frame, const QString& trigger, const QString& file) {
  auto* log = frame.m_pView->findChild<QTextEdit*>(workspace_ids::kEditCtrl);
  auto done = std::make_shared<bool>(false);
  QObject::connect(log, &QTextEdit::textChanged, log, [&frame, log, trigger, file, done] {
    if (*done || !log->toPlainText().contains(trigger)) return;
    *done = true;
    Save(frame, file);
  });
}

struct Message {
  const char* file;
  QString text;
  QString caption;
  unsigned style;
};

QString FromView(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Every message the program can show, with its own caption and style.
std::vector<Message> ProgramMessages(const QString& destination, const QString& duplicate) {
  const QString caption = QStringLiteral("Brenvik Viva Zadado");
  const QString saved = FromView(engine::kMsgSaveCompletedHead) + "<a href='" + destination + "'>" +
                        EscapeMessageText(destination) + "</a>";
  return {
      {"msg_confirm_exit.png", "Do you really want to exit?", caption, kMbConfirmation},
      {"msg_confirm_stop.png", FromView(engine::kMsgConfirmStop), caption, kMbConfirmation},
      {"msg_save_completed.png", saved, caption, kMbNotice},
      {"msg_second_instance.png", "Another instance of application is already running",
       "Brenvik for  Viva Zadado", kMbNotice},
      {"msg_close_while_running.png",
       "Please stop the running process before closing the application.", caption, kMbNotice},
      {"msg_save_while_running.png", FromView(engine::kMsgStopBeforeSaving), caption, kMbNotice},
      {"msg_invalid_destination.png", FromView(engine::kMsgInvalidDestination), caption, kMbNotice},
      {"msg_duplicate.png", EscapeMessageText(duplicate) + "already exist in the list.", caption,
       kMbNotice},
      {"msg_nothing_to_remove.png", "No file(s) selected to remove.", caption, kMbNotice},
      {"msg_help_missing.png",
       "Brenvik Viva Zadado help file not found, please re-install the software.", caption,
       kMbNotice},
      {"msg_system_error.png", "No such file or directory", caption, kMbNotice},
      {"msg_too_many_files.png",
       "Only the first 100 of the 120 selected file(s) were added to the list.<br>"
       "Please select the remaining file(s) again.",
       caption, kMbNotice},
      {"msg_private_folder.png",
       "The private temporary folder of the program cannot be used:<br>" +
           EscapeMessageText("/tmp/DtmTmp is a link to another place"),
       caption, kMbNotice},
  };
}

// The box as the user sees it: its client area under a plain title bar with the caption.
bool SaveMessage(const Message& message, const QString& out) {
  CHtmlMessageBoxTemplate box(
      AppMessageBoxParams(nullptr, message.text, message.caption, message.style), nullptr);
  box.show();
  QCoreApplication::processEvents();
  const QPixmap client = box.grab();
  const int bar = 26;
  QImage shot(client.width() + 2, client.height() + bar + 1, QImage::Format_RGB32);
  shot.fill(QColor(96, 110, 130));
  QPainter painter(&shot);
  QLinearGradient title(0, 0, 0, bar);
  title.setColorAt(0, QColor(120, 138, 166));
  title.setColorAt(1, QColor(86, 102, 128));
  painter.fillRect(1, 1, client.width(), bar - 1, title);
  QFont font = QApplication::font();
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(QRect(10, 1, client.width() - 20, bar - 1), Qt::AlignVCenter, box.windowTitle());
  if (box.CloseAllowed()) {
    painter.drawText(QRect(client.width() - 24, 1, 20, bar - 1), Qt::AlignCenter,
                     QStringLiteral("\u2715"));
  }
  painter.drawPixmap(1, bar, client);
  painter.end();
  const QString file = out + "/" + message.file;
  const bool ok = shot.save(file);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(file));
  return ok;
}

void WaitForJob(CMainFrame& frame) {
  while (frame.m_bJobRunning.load() != 0 || frame.m_pView->WorkerActive()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  QCoreApplication::processEvents();
}

// The about box as the user sees it with the mouse over its web-site link.
bool ShootAboutHovered(QWidget& owner, const QString& file) {
  CAboutDlg about(&owner);
  about.show();
  QCoreApplication::processEvents();
  auto* link = about.findChild<CHyperlinkLabel*>(QStringLiteral("IDC_ABOUT_WEBSITE"));
  if (!link) return false;
  QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), link->mapToGlobal(QPointF(3, 3)));
  QCoreApplication::sendEvent(link, &enter);
  QCoreApplication::processEvents();
  return Save(about, file);
}

// The tool bar's customize dialog, Software Help unticked.
bool ShootCustomize(CMainFrame& frame, const QString& file) {
  QList<QAction*> commands;
  for (int id : app_ids::kToolBarCommands)
    commands << frame.Action(id);
  CToolBarCustomizeDlg dialog(commands, commands, &frame);
  dialog.SetShown(frame.Action(app_ids::kIdSoftwareHelp), false);
  dialog.show();
  QCoreApplication::processEvents();
  return Save(dialog, file);
}

// The help document, rendered by Qt's own HTML view (the program opens it in the browser).
bool ShootHelp(const QString& file) {
  const QString path = QStringLiteral(BRENVIK_HELP_SOURCE);
  QFile source(path);
  if (!source.open(QIODevice::ReadOnly)) return false;
  QTextBrowser view;
  view.setWindowTitle(QStringLiteral("Brenvik Viva Zadado Help"));
  view.setSearchPaths({QFileInfo(path).absolutePath()});
  view.setHtml(QString::fromUtf8(source.readAll()));
  view.resize(900, 1000);
  view.show();
  QCoreApplication::processEvents();
  return Save(view, file);
}

// The main window after a repair with a preview shown, at the given size.
bool ShootRepairedAt(QSize size, const QString& file) {
  CMainFrame frame(215);
  frame.setMinimumSize(0, 0);  // the smallest size is the frame's own minimum
  frame.resize(size.expandedTo(QSize(CMainFrame::kMinWidth, CMainFrame::kMinHeight)));
  frame.show();
  QCoreApplication::processEvents();
  frame.m_pView->OnSelectFiles();
  frame.m_pView->OnRepairFiles();
  WaitForJob(frame);
  frame.m_pView->List()->setCurrentItem(frame.m_pView->List()->topLevelItem(0));
  frame.m_pView->OnShowItemPreview(0);
  frame.m_pView->OnBrowseFolder();
  QCoreApplication::processEvents();
  return Save(frame, file);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUT_FOLDER [WIDTH HEIGHT]\n", argv[0]);
    return 2;
  }
  const testkit::IsolatedEnvironment environment("shots-");
  const std::string root = environment.Root().string();
  QApplication application(argc, argv);
  const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
  QDir().mkpath(out);
  const int width = argc >= 4 ? std::atoi(argv[2]) : 1100;
  const int height = argc >= 4 ? std::atoi(argv[3]) : 720;

  SetAppMessageBoxHook([](const QString&, const QString&, unsigned style) {
    return IsQuestion(style) ? kIdYes : kIdOk;
  });
  const QString packages = QString::fromStdString(root) + "/Documents/Templates";
  QDir().mkpath(packages);
  const QString destination = QString::fromStdString(root) + "/Documents/Repaired";
  QDir().mkpath(destination);
  const QStringList paths = WritePackages(packages);
  SetOpenPackagesHook([paths] { return paths; });
  SetFolderHook([destination](const QString&, const QString&) { return destination; });

  bool ok = true;
  {
    CMainFrame frame(215);
    frame.resize(width, height);
    frame.show();
    QCoreApplication::processEvents();
    ok &= Save(frame, out + "/empty.png");

    frame.m_pView->OnSelectFiles();
    QCoreApplication::processEvents();
    ok &= Save(frame, out + "/listed.png");

    CaptureOnLog(frame, paths[4] + " file is open", out + "/repairing.png");
    frame.m_pView->OnRepairFiles();
    WaitForJob(frame);
    frame.m_pView->List()->setCurrentItem(frame.m_pView->List()->topLevelItem(0));
    frame.m_pView->OnShowItemPreview(0);
    frame.m_pView->OnBrowseFolder();
    QCoreApplication::processEvents();
    ok &= Save(frame, out + "/repaired.png");

    CaptureOnLog(frame, paths[3] + " saving of file done", out + "/saving.png");
    frame.m_pView->OnSaveFiles();
    WaitForJob(frame);

    CAboutDlg about(&frame);
    about.show();
    QCoreApplication::processEvents();
    ok &= Save(about, out + "/about.png");
    ok &= ShootAboutHovered(frame, out + "/about-hovered.png");
    ok &= ShootCustomize(frame, out + "/customize.png");
  }
  for (const Message& message :
       ProgramMessages(QStringLiteral("/home/anna/Documents/Repaired"),
                       QStringLiteral("/home/anna/Documents/R&D <b>draft.dotm"))) {
    ok &= SaveMessage(message, out);
  }
  ok &= ShootHelp(out + "/help.png");
  ok &= ShootRepairedAt(QSize(650, 450), out + "/main-650x450.png");
  ok &= ShootRepairedAt(QSize(1920, 1080), out + "/main-1920x1080.png");
  return ok && QFileInfo::exists(out + "/repairing.png") && QFileInfo::exists(out + "/saving.png")
             ? 0
             : 1;
}
