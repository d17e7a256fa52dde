// The main frame and the application object: commands, bars, logo, close handling, help, the
// single-instance guard, the stored visual style and the about box.
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QLockFile>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolBar>
#include <filesystem>
#include <fstream>

#include "app/about_dlg.h"
#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/single_instance_guard.h"
#include "app/tessel_app.h"
#include "app/visual_style.h"
#include "engine/working_folder.h"
#include "tests/gui/gui_test_support.h"
#include "widgets/app_message_box.h"
#include "widgets/picture_box.h"
#include "widgets/tessel_list_ctrl.h"
#include "workspace/control_ids.h"
#include "workspace/tessel_view.h"

namespace fs = std::filesystem;
using guitest::Find;

namespace {

struct Expected {
  int id;
  const char* text;
  const char* status;
  const char* tip;
};

void MakeWorkingFolder() {
  const fs::path working = engine::GetWorkingFolder();
  fs::create_directories(working / "a.dotm0");
  std::ofstream(working / "a.dotm0" / "x.xml") << "x";
}

}  // namespace

class FrameTest : public QObject {
  Q_OBJECT

  std::unique_ptr<guitest::MessageRecorder> messages_;
  std::unique_ptr<guitest::DialogAnswers> dialogs_;
  std::vector<QUrl> opened_;

 private slots:
  void init() {
    messages_ = std::make_unique<guitest::MessageRecorder>();
    dialogs_ = std::make_unique<guitest::DialogAnswers>();
    opened_.clear();
    CMainFrame::SetUrlOpener([this](const QUrl& url) {
      opened_.push_back(url);
      return true;
    });
  }
  void cleanup() {
    CMainFrame::SetUrlOpener(nullptr);
    dialogs_.reset();
    messages_.reset();
  }

  void menuItemsAndHelpCommands() {
    CMainFrame frame(215);
    const Expected expected[] = {
        {32773, "&Select File(s)\tCtrl+N", "Select corrupt dotm file(s)", "Select file(s)"},
        {32774, "&Remove File(s)\tCtrl+O", "Remove dotm file(s) from the list", "Remove file(s)"},
        {32775, "&Repair File(s)\tCtrl+S", "Repair dotm file(s)", "Repair file(s)"},
        {32802, "Browse folder", "Browse path to save repaired dotm file(s)", "Browse folder"},
        {32804, "Save file(s)", "Save repaired dotm file(s)", "Save file(s)"},
        {57665, "E&xit", "", nullptr},
        {32785, "&About Brenvik Viva Zadado", "About Brenvik Viva Zadado", "About"},
        {32788, "Software Help", "Help Brenvik Viva Zadado", "Help"},
        {32806, "Visit Software WebPage", "Visit Software WebPage", "Visit Software WebPage"},
    };
    QList<QAction*> menuActions;
    for (QAction* menu : frame.menuBar()->actions()) {
      for (QAction* item : menu->menu()->actions()) {
        if (!item->isSeparator()) menuActions << item;
      }
    }
    QCOMPARE(menuActions.size(), int(std::size(expected)));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
      QAction* action = menuActions[int(i)];
      QCOMPARE(action->data().toInt(), expected[i].id);
      QCOMPARE(action->text(), QString(expected[i].text));
      QCOMPARE(action->statusTip(), QString(expected[i].status));
      if (expected[i].tip) QCOMPARE(action->toolTip(), QString(expected[i].tip));
    }
    QCOMPARE(frame.menuBar()->actions()[0]->text(), QString("&File"));
    QCOMPARE(frame.menuBar()->actions()[1]->text(), QString("&Help"));
    // Help without its file, and the web page.
    frame.Action(32788)->trigger();
    QCOMPARE(
        messages_->Texts(),
        QStringList{"Brenvik Viva Zadado help file not found, please re-install the software."});
    QCOMPARE(messages_->messages[0].caption, QString("Brenvik Viva Zadado"));
    QVERIFY(opened_.empty());
    QVERIFY(CMainFrame::HelpFilePath().startsWith(QCoreApplication::applicationDirPath() + "/"));
    QVERIFY(CMainFrame::HelpFilePath().endsWith("/Brenvik for Viva Zadado.chm"));
    frame.Action(32806)->trigger();
    QCOMPARE(opened_, std::vector<QUrl>{CMainFrame::ProductPageUrl()});
  }

  void toolBarStatusBarAndLogo() {
    CMainFrame frame(215);
    auto* bar = Find<QToolBar>(&frame, "Standard");
    QCOMPARE(bar->iconSize(), QSize(48, 48));
    QList<int> ids;
    for (QAction* action : bar->actions())
      ids << action->data().toInt();
    QCOMPARE(ids, (QList<int>{32773, 32774, 32775, 32802, 32804, 32788, 32785}));
    QCOMPARE(frame.StatusPaneText(), QString("Brenvik Viva Zadado"));
    emit frame.m_pView->statusText("Save...");  // the view's texts reach pane zero
    QCOMPARE(frame.StatusPaneText(), QString("Save..."));
    QVERIFY(Find<QLabel>(&frame, "ID_STATUS_PANE_TEXT")->minimumWidth() >= 500);
    for (const char* pane : {"ID_INDICATOR_CAP", "ID_INDICATOR_NUM", "ID_INDICATOR_SCRL"}) {
      QVERIFY(Find<QLabel>(&frame, pane));
    }
    QCOMPARE(frame.minimumSize(), QSize(650, 450));
    QCOMPARE(frame.windowTitle(), QString("Brenvik Viva Zadado - v1.0"));
    frame.resize(1000, 700);
    frame.show();
    QLabel* logo = frame.LogoButton();
    QCOMPARE(logo->objectName(), QString("ID_FRAME_LOGO_BUTTON"));
    QCOMPARE(logo->geometry(), QRect(frame.width() - 250, 28, 245, 50));
    QCOMPARE(logo->cursor().shape(), Qt::PointingHandCursor);
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), logo->mapToGlobal(QPointF(5, 5)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(logo, &move);
    QCOMPARE(frame.StatusPaneText(), QString("Brenvik Viva Zadado"));
    QTest::mouseClick(logo, Qt::LeftButton);
    QCOMPARE(opened_.size(), std::size_t{1});
    QCOMPARE(opened_[0], CMainFrame::MakerSiteUrl());
  }

  void shortcutsSelectAndSaveWhateverTheHints() {
    CMainFrame frame(215);
    frame.show();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    dialogs_->openPaths = {};
    QTest::keyClick(&frame, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(dialogs_->openCalls, 1);  // Ctrl+O selects, it does not remove
    QTest::keyClick(&frame, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(dialogs_->openCalls, 2);
    frame.m_pView->EnableSelect(false);
    QTest::keyClick(&frame, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(dialogs_->openCalls, 2);
    // Ctrl+S saves only while saving is allowed; with a job running the save says so.
    frame.m_bJobRunning = 1;
    QTest::keyClick(&frame, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(messages_->messages.empty());
    frame.m_pView->EnableSaveControls(true);
    QTest::keyClick(&frame, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(messages_->Texts(),
             QStringList{"Please stop the running process before saving the file(s)."});
    frame.m_bJobRunning = 0;
  }

  // The working folder: a leftover one goes at creation; it survives every refused close and
  // goes with the confirmed one.
  void closing() {
    MakeWorkingFolder();
    CMainFrame frame(215);
    QVERIFY(!fs::exists(engine::GetWorkingFolder()));
    QCOMPARE(frame.m_pView->Preview()->HintIndex(), 6);  // no hint text then
    MakeWorkingFolder();
    frame.show();
    frame.m_bJobRunning = 1;
    QVERIFY(!frame.close());
    QCOMPARE(messages_->Texts(),
             QStringList{"Please stop the running process before closing the application."});
    QCOMPARE(messages_->messages[0].style, 0x40u);
    frame.m_bJobRunning = 0;
    frame.showMinimized();
    messages_->QueueAnswer(kIdNo);
    QVERIFY(!frame.close());
    QCOMPARE(messages_->Texts().value(1), QString("Do you really want to exit?"));
    QCOMPARE(messages_->messages[1].style, 0x24u);
    QVERIFY(frame.windowState() & Qt::WindowMaximized);  // maximised before asking
    QVERIFY(frame.isVisible());
    QVERIFY(fs::exists(engine::GetWorkingFolder()));
    Find<QPushButton>(&frame, workspace_ids::kBtnExit)->click();
    QCOMPARE(messages_->Texts().value(2), QString("Do you really want to exit?"));
    QVERIFY(!frame.isVisible());
    QVERIFY(!fs::exists(engine::GetWorkingFolder()));
  }

  // Start-up: the stored look, a maximised window, the open dialog at once; a second instance is
  // turned away.
  void startUp() {
    QCOMPARE(StoredApplicationLook(), 215);
    StoreApplicationLook(216);
    QTemporaryDir lockFolder;
    const QString lock = lockFolder.path() + "/locks/app.lock";
    CTesselMSOfficeDotmProjApp first(lock);
    QVERIFY(first.InitInstance());
    QCOMPARE(first.ApplicationLook(), 216);
    QVERIFY(QApplication::palette().color(QPalette::Window).lightness() < 100);
    QVERIFY(first.MainFrame()->isVisible());
    QVERIFY(first.MainFrame()->windowState() & Qt::WindowMaximized);
    QTRY_COMPARE(dialogs_->openCalls, 1);  // the open dialog comes up at once
    CTesselMSOfficeDotmProjApp second(lock);
    QVERIFY(!second.InitInstance());
    QVERIFY(!second.MainFrame());
    QCOMPARE(messages_->Texts(), QStringList{"Another instance of application is already running"});
    QCOMPARE(messages_->messages[0].caption, QString("Brenvik for  Viva Zadado"));
    QCOMPARE(messages_->messages[0].style, 0x40u);
    StoreApplicationLook(999);  // out of range: the blue look
    QCOMPARE(PaletteForLook(999).color(QPalette::Window),
             PaletteForLook(215).color(QPalette::Window));
    QSettings("BrenvikDotmRepair", "Brenvik Viva Zadado").remove("ApplicationLook");
    QSet<QRgb> windows;  // every look has its own character
    for (int look : {211, 213, 214, 215, 216, 217, 218}) {
      windows.insert(PaletteForLook(look).color(QPalette::Window).rgb());
    }
    QCOMPARE(windows.size(), 7);
  }

  void lockOfAKilledProcessIsTakenOver() {
    QTemporaryDir lockFolder;
    const QString lock = lockFolder.path() + "/app.lock";
    const pid_t child = fork();
    if (child == 0) {
      // The child takes the lock and dies without releasing it.
      QLockFile held(lock);
      held.tryLock(0);
      _exit(held.isLocked() ? 0 : 1);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    QVERIFY(QFileInfo::exists(lock));
    CSingleInstanceGuard guard(lock);
    QVERIFY(guard.IsFirstInstance());
    CSingleInstanceGuard second(lock);
    QVERIFY(!second.IsFirstInstance());
  }

  void aboutBoxIgnoresEnterAndEscape() {
    CAboutDlg about;
    QCOMPARE(about.windowTitle(), QString("About Brenvik Viva Zadado v1.0"));
    QCOMPARE(Find<QLabel>(&about, "IDC_ABOUT_VERSION")->text(),
             QString("Brenvik Viva Zadado v1.0"));
    bool productLine = false;
    for (QLabel* label : about.findChildren<QLabel*>()) {
      productLine |= label->text() == "Brenvik Viva Zadado Software.";
    }
    QVERIFY(productLine);
    about.show();
    QTest::keyClick(&about, Qt::Key_Escape);
    QTest::keyClick(&about, Qt::Key_Return);
    QVERIFY(about.isVisible());
    Find<QPushButton>(&about, "IDOK")->click();
    QVERIFY(!about.isVisible());
    QCOMPARE(about.result(), int(QDialog::Accepted));
  }
};

BRENVIK_GUI_TEST_MAIN(FrameTest)
#include "frame_test.moc"
