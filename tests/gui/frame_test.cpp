// The main frame and the application object: commands, bars, logo, close handling, help, the
// single-instance guard, the stored visual style and the about box.
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLockFile>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <filesystem>
#include <fstream>

#include "app/about_dlg.h"
#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/main_frame_customize_dlg.h"
#include "app/single_instance_guard.h"
#include "app/tessel_app.h"
#include "app/visual_style.h"
#include "engine/working_folder.h"
#include "tests/gui/gui_test_support.h"
#include "widgets/app_message_box.h"
#include "widgets/hyperlink_label.h"
#include "widgets/picture_box.h"
#include "widgets/splash_window.h"
#include "widgets/tessel_list_ctrl.h"
#include "widgets/transparent_static.h"
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
#ifdef Q_OS_WIN
    QVERIFY(CMainFrame::HelpFilePath().endsWith("/Brenvik for Viva Zadado.chm"));
#else
    QVERIFY(CMainFrame::HelpFilePath().endsWith("/Brenvik for Viva Zadado.html"));
#endif
    frame.Action(32806)->trigger();
    QCOMPARE(opened_, std::vector<QUrl>{CMainFrame::ProductPageUrl()});
  }

  // The frame shows the splash while it is built; the splash goes by itself.
  void splashAtCreation() {
    CMainFrame frame(215);
    QPointer<CSplashWindow> splash = frame.findChild<CSplashWindow*>();
    QVERIFY(splash);
    QCOMPARE(splash->Style(), 0x0Fu);
    QCOMPARE(splash->size(), QSize(460, 260));
    QVERIFY(splash->isVisible());
    QVERIFY(!splash->Shape().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(splash.isNull(), 4000);
  }

  // The customize dialog chooses the tool bar's buttons; the bar keeps its order and its
  // customize button.
  void toolBarCustomize() {
    CMainFrame frame(215);
    QCOMPARE(frame.Action(126)->text(), QString("Customize..."));
    CMainFrame::SetCustomizeRunner([](CToolBarCustomizeDlg& dialog) {
      QList<QAction*> shown = dialog.ShownCommands();
      dialog.SetShown(shown.at(1), false);  // Remove File(s)
      dialog.SetShown(shown.at(5), false);  // Software Help
      return true;
    });
    Find<QToolButton>(&frame, "ID_TOOLBAR_CUSTOMIZE")->click();
    QCOMPARE(frame.ToolBarCommands(), (QList<int>{32773, 32775, 32802, 32804, 32785}));
    CMainFrame::SetCustomizeRunner([](CToolBarCustomizeDlg& dialog) {
      dialog.Reset();
      return false;  // cancelled: nothing changes
    });
    frame.OnCustomize();
    QCOMPARE(frame.ToolBarCommands(), (QList<int>{32773, 32775, 32802, 32804, 32785}));
    CMainFrame::SetCustomizeRunner([](CToolBarCustomizeDlg& dialog) {
      dialog.Reset();
      return true;
    });
    frame.OnCustomize();
    CMainFrame::SetCustomizeRunner(nullptr);
    QCOMPARE(frame.ToolBarCommands(),
             (QList<int>{32773, 32774, 32775, 32802, 32804, 32788, 32785}));
    QCOMPARE(frame.ToolBar()->actions().last()->data().toInt(), 0);  // the button stays last
    std::unique_ptr<QMenu> menu(frame.createPopupMenu());
    QVERIFY(menu->actions().contains(frame.Action(126)));
  }

  // The radio mark follows the style; an unknown stored value changes nothing on screen.
  void visualStyleMarkAndUnknownLooks() {
    CMainFrame frame(217);
    QVERIFY(frame.Action(217)->isChecked());
    QCOMPARE(frame.AppliedLook(), 217);
    frame.Action(216)->trigger();
    QVERIFY(frame.Action(216)->isChecked());
    QVERIFY(!frame.Action(217)->isChecked());
    QCOMPARE(StoredApplicationLook(), 216);
    const QColor black = QApplication::palette().color(QPalette::Window);
    QCOMPARE(black, PaletteForLook(216).color(QPalette::Window));
    frame.SetApplicationLook(999);
    QCOMPARE(StoredApplicationLook(), 999);
    QCOMPARE(frame.AppliedLook(), 216);  // the Office 2007 colour style stays
    QCOMPARE(QApplication::palette().color(QPalette::Window), black);
    for (int look = 210; look <= 218; ++look)
      QVERIFY(!frame.Action(look)->isChecked());
    frame.SetApplicationLook(211);
    frame.SetApplicationLook(5);  // back to Office 2007, still in its black style
    QCOMPARE(frame.AppliedLook(), 216);
    CMainFrame unknown(999);  // a frame made later finds the colour style as it was
    QCOMPARE(unknown.AppliedLook(), 216);
    unknown.SetApplicationLook(215);
    QSettings("BrenvikDotmRepair", "Brenvik Viva Zadado").remove("ApplicationLook");
  }

  // The lock-key panes follow the state each key event carries.
  void lockKeyPanes_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("type");
    QTest::addColumn<quint32>("native");
    QTest::addColumn<QString>("panes");
    const int press = QEvent::KeyPress;
    const int release = QEvent::KeyRelease;
    QTest::newRow("nothing on") << int(Qt::Key_A) << press << 0u << "||";
    QTest::newRow("caps lock") << int(Qt::Key_A) << press << 0x02u << "CAP||";
    QTest::newRow("num lock") << int(Qt::Key_B) << release << 0x10u << "|NUM|";
    QTest::newRow("both, shift too") << int(Qt::Key_C) << press << 0x13u << "CAP|NUM|";
    QTest::newRow("caps key's own press: state before the toggle")
        << int(Qt::Key_CapsLock) << press << 0x00u << "CAP|NUM|";
    QTest::newRow("caps key's release: state after it")
        << int(Qt::Key_CapsLock) << release << 0x10u << "|NUM|";
    QTest::newRow("scroll lock released")
        << int(Qt::Key_ScrollLock) << release << 0x10u << "|NUM|SCRL";
  }
  void lockKeyPanes() {
    QFETCH(int, key);
    QFETCH(int, type);
    QFETCH(quint32, native);
    QFETCH(QString, panes);
    static std::unique_ptr<CMainFrame> frame;  // one frame for the whole table: states carry on
    if (!frame) frame = std::make_unique<CMainFrame>(215);
    QKeyEvent event(QEvent::Type(type), key, Qt::NoModifier, 0, 0, native);
    QCoreApplication::sendEvent(frame->m_pView, &event);
    const QStringList texts{Find<QLabel>(frame.get(), "ID_INDICATOR_CAP")->text(),
                            Find<QLabel>(frame.get(), "ID_INDICATOR_NUM")->text(),
                            Find<QLabel>(frame.get(), "ID_INDICATOR_SCRL")->text()};
    QCOMPARE(texts.join('|'), panes);
    if (QString(QTest::currentDataTag()) == "scroll lock released") frame.reset();
  }

  // F6 and Shift+F6 walk the panes that can take the focus.
  void f6MovesBetweenPanes() {
    CMainFrame frame(215);
    delete frame.findChild<CSplashWindow*>();
    frame.show();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    QWidget* list = Find<QWidget>(&frame, workspace_ids::kListCtrl);
    QWidget* box = Find<QWidget>(&frame, workspace_ids::kBrowseEditCtrl);
    QWidget* log = Find<QWidget>(&frame, workspace_ids::kEditCtrl);
    list->setFocus();
    QTest::keyClick(&frame, Qt::Key_F6);
    QCOMPARE(QApplication::focusWidget(), log);  // the destination box is disabled
    QTest::keyClick(&frame, Qt::Key_F6);
    QCOMPARE(QApplication::focusWidget(), list);
    QTest::keyClick(&frame, Qt::Key_F6, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), log);
    frame.m_pView->EnableSaveControls(true);
    QTest::keyClick(&frame, Qt::Key_F6, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), box);
    QTest::keyClick(&frame, Qt::Key_F6);
    QCOMPARE(QApplication::focusWidget(), log);
  }

  // With the help document beside the program, Help opens it and says nothing.
  void helpOpensTheDocumentBesideTheProgram() {
    const QString path = CMainFrame::HelpFileCandidates().front();
    QVERIFY2(!QFileInfo::exists(path), "a help document is in the way");
    QFile help(path);
    QVERIFY(help.open(QIODevice::WriteOnly));
    help.write("<html><body>help</body></html>");
    help.close();
    CMainFrame frame(215);
    frame.Action(32788)->trigger();
    QFile::remove(path);
    QVERIFY(messages_->messages.empty());
    QCOMPARE(opened_, std::vector<QUrl>{QUrl::fromLocalFile(path)});
  }

  void toolBarStatusBarAndLogo() {
    CMainFrame frame(215);
    auto* bar = Find<QToolBar>(&frame, "Standard");
    QCOMPARE(bar->iconSize(), QSize(48, 48));
    QList<int> ids;
    for (QAction* action : bar->actions())
      ids << action->data().toInt();
    // The commands, then the customize button.
    QCOMPARE(ids, (QList<int>{32773, 32774, 32775, 32802, 32804, 32788, 32785, 0}));
    QCOMPARE(bar->widgetForAction(bar->actions().last()),
             Find<QToolButton>(&frame, "ID_TOOLBAR_CUSTOMIZE"));
    QVERIFY(bar->isMovable() && bar->isFloatable());  // dockable on every side
    QCOMPARE(bar->allowedAreas(), Qt::AllToolBarAreas);
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
    QVERIFY(logo->isVisible());
    // At the smallest size the logo would cover the last tool bar buttons: it steps aside.
    frame.resize(650, 450);
    QTRY_VERIFY(!logo->isVisible());
    frame.resize(1000, 700);
    QTRY_VERIFY(logo->isVisible());
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
    // The offscreen platform activates every window it shows, a splash that takes no focus
    // included: the splash goes first.
    delete frame.findChild<CSplashWindow*>();
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

  void dialogUnitsConvertAsThePlatformDoes_data() {
    QTest::addColumn<QRect>("units");
    QTest::addColumn<QSize>("base");
    QTest::addColumn<QRect>("pixels");
    // 6 by 13 are the base units of "MS Shell Dlg" at 8 points on a 96 dpi screen.
    QTest::newRow("whole box") << QRect(0, 0, 234, 201) << QSize(6, 13) << QRect(0, 0, 351, 327);
    QTest::newRow("version line") << QRect(46, 77, 175, 10) << QSize(6, 13)
                                  << QRect(69, 125, 263, 16);
    QTest::newRow("OK button") << QRect(95, 184, 50, 14) << QSize(6, 13) << QRect(143, 299, 75, 23);
    QTest::newRow("wider face") << QRect(70, 118, 93, 8) << QSize(7, 15)
                                << QRect(123, 221, 162, 15);
  }
  void dialogUnitsConvertAsThePlatformDoes() {
    QFETCH(QRect, units);
    QFETCH(QSize, base);
    QFETCH(QRect, pixels);
    QCOMPARE(CAboutDlg::MapDialogRect(units, base), pixels);
  }

  void aboutBoxItems() {
    CAboutDlg about;
    QCOMPARE(about.windowTitle(), QString("About Brenvik Viva Zadado v1.0"));
    const QSize base = CAboutDlg::DialogBaseUnits(CAboutDlg::DialogFont());
    const auto place = [base](int x, int y, int w, int h) {
      return CAboutDlg::MapDialogRect(QRect(x, y, w, h), base);
    };
    QCOMPARE(about.size(), place(0, 0, 234, 201).size());
    struct Item {
      const char* id;
      QString text;
      QRect rect;
    };
    const Item labels[] = {
        {"IDC_ABOUT_VERSION", "Brenvik Viva Zadado v1.0", place(46, 77, 175, 10)},
        {"IDC_ABOUT_NOTICE", CAboutDlg::NoticeLine(), place(61, 92, 169, 8)},
        {"IDC_ABOUT_PRODUCT", "Brenvik Viva Zadado Software.", place(56, 106, 147, 8)},
    };
    for (const Item& item : labels) {
      auto* label = Find<CTesselTransparentStatic>(&about, item.id);
      QCOMPARE(label->text(), item.text);
      QCOMPARE(label->pos(), item.rect.topLeft());
      QVERIFY2(label->width() >= label->fontMetrics().horizontalAdvance(item.text), item.id);
    }
    const QFont bold = Find<QLabel>(&about, "IDC_ABOUT_VERSION")->font();
    QCOMPARE(bold.family(), QString("Arial"));
    QCOMPARE(bold.pixelSize(), 16);
    QCOMPARE(bold.weight(), QFont::Bold);
    auto* ok = Find<QPushButton>(&about, "IDOK");
    QCOMPARE(ok->text(), QString("OK"));
    QVERIFY(!ok->icon().isNull());
    QCOMPARE(ok->geometry(), place(95, 184, 50, 14));
    // The addresses are the product's own placeholders on a reserved domain.
    const Item links[] = {
        {"IDC_ABOUT_WEBSITE", "https://www.brenvik.example/", place(70, 118, 93, 8)},
        {"IDC_ABOUT_SUPPORT_MAIL", "mailto:support@brenvik.example", place(70, 131, 84, 8)},
        {"IDC_ABOUT_SALES_MAIL", "mailto:sales@brenvik.example", place(70, 144, 76, 8)},
    };
    for (const Item& item : links) {
      auto* link = Find<CHyperlinkLabel>(&about, item.id);
      QCOMPARE(link->URL(), item.text);
      QCOMPARE(link->toolTip(), item.text);
      QVERIFY(item.text.contains(link->text()));
      QCOMPARE(link->pos(), item.rect.topLeft());
      QVERIFY(link->font().underline());  // underlined from the start
      QVERIFY(link->geometry().bottom() < ok->y());
    }
  }

  void aboutBoxIgnoresEnterAndEscape() {
    CAboutDlg about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    auto* ok = Find<QPushButton>(&about, "IDOK");
    for (QWidget* target : {static_cast<QWidget*>(&about), static_cast<QWidget*>(ok)}) {
      ok->setFocus();
      for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter})
        QTest::keyClick(target, key);
    }
    QVERIFY(about.isVisible());
    ok->click();
    QVERIFY(!about.isVisible());
    QCOMPARE(about.result(), int(QDialog::Accepted));
    about.show();
    QVERIFY(about.close());  // the close box
    QVERIFY(!about.isVisible());
  }

  void aboutBoxLinkOpensTheMailProgram() {
    std::vector<QUrl> opened;
    CHyperlinkLabel::SetServices({.openUrl = [&opened](const QUrl& url) {
      opened.push_back(url);
      return true;
    }});
    CAboutDlg about;
    about.show();
    QTest::mouseClick(Find<CHyperlinkLabel>(&about, "IDC_ABOUT_SALES_MAIL"), Qt::LeftButton,
                      Qt::NoModifier, QPoint(2, 2));
    CHyperlinkLabel::SetServices({});
    QCOMPARE(opened, std::vector<QUrl>{QUrl("mailto:sales@brenvik.example")});
  }
};

BRENVIK_GUI_TEST_MAIN(FrameTest)
#include "frame_test.moc"
