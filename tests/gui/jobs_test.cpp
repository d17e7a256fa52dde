// Repair and save through the window, end to end: the states on the way, the log, the
// preview, the saved packages, and Stop.
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <filesystem>
#include <string>

#include "app/command_ids.h"
#include "app/main_frame.h"
#include "engine/job_texts.h"
#include "engine/message_markup.h"
#include "platform/temp_folder.h"
#include "tests/gui/gui_test_support.h"
#include "widgets/app_message_box.h"
#include "widgets/html_drawer.h"
#include "widgets/picture_box.h"
#include "widgets/tessel_list_ctrl.h"
#include "workspace/control_ids.h"
#include "workspace/tessel_view.h"

namespace fs = std::filesystem;
using guitest::Find;
namespace ids = workspace_ids;

namespace {

using guitest::Qs;

// What the window shows of one workspace state, one digit per item: the flags can-select,
// can-repair, can-save; enabled Select, Repair, Remove, Save, Browse; Stop shown and enabled;
// file bar and total bar shown; menu items Select, Remove, Repair, Browse, Save, Exit, About,
// Help, Web page enabled.
QString Take(CMainFrame& frame) {
  CTesselMSOfficeDotmProjView* v = frame.m_pView;
  const auto on = [v](const char* id) { return Find<QWidget>(v, id)->isEnabled(); };
  const auto shown = [v](const char* id) { return !Find<QWidget>(v, id)->isHidden(); };
  QString state;
  for (int flag : {int(v->m_bCanSelect), int(v->m_bCanRepair), int(v->m_bCanSave)})
    state += QString::number(flag);
  state += ' ';
  for (const char* id : {ids::kBtnSelectFiles, ids::kBtnRecoverFiles, ids::kBtnRemoveFiles,
                         ids::kBtnSaveFiles, ids::kBtnBrowse})
    state += on(id) ? '1' : '0';
  state += ' ';
  for (bool bit : {shown(ids::kBtnStop) && on(ids::kBtnStop), shown(ids::kFirstProgressCtrl),
                   shown(ids::kSecondProgressCtrl)})
    state += bit ? '1' : '0';
  state += ' ';
  for (int id : {app_ids::kIdSelectFiles, app_ids::kIdRemoveFiles, app_ids::kIdRepairFiles,
                 app_ids::kIdBrowseFolder, app_ids::kIdSaveFiles, app_ids::kIdAppExit,
                 app_ids::kIdAppAbout, app_ids::kIdSoftwareHelp, app_ids::kIdVisitWebPage})
    state += frame.Action(id)->isEnabled() ? '1' : '0';
  return state;
}

// The rows of the enabling table.
const QString kEmpty = "100 10000 000 100001111";
const QString kListed = "110 11100 000 111001111";
const QString kRepairing = "000 00000 111 000001111";
const QString kRepaired = "111 11111 000 111111111";
const QString kSaving = "000 00000 101 000001111";

QString RepairLogFor(const QStringList& paths) {
  QString log;
  for (const QString& p : paths) {
    log += p + Qs(engine::kLogFileOpen) + p + Qs(engine::kLogFileExtracted) + p +
           Qs(engine::kLogFileClosed) + p + Qs(engine::kLogPreviewAvailable) + p +
           Qs(engine::kLogRepaired) + Qs(engine::kLogStarLine);
  }
  return log + Qs(engine::kLogRepairCompleted) + Qs(engine::kLogUnderscoreLine);
}

QString SaveLogFor(const QStringList& paths) {
  QString log;
  for (const QString& p : paths) {
    log += p + Qs(engine::kLogSaveStarts) + p + Qs(engine::kLogMediaDone) + p +
           Qs(engine::kLogSaveDone) + Qs(engine::kLogStarLine);
  }
  return log + Qs(engine::kLogSaveCompleted) + Qs(engine::kLogUnderscoreLine);
}

bool JobOver(CMainFrame& frame) {
  return frame.m_bJobRunning.load() == 0 && !frame.m_pView->WorkerActive() &&
         Find<QWidget>(frame.m_pView, ids::kBtnSelectFiles)->isEnabled();
}

}  // namespace

class JobsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<guitest::MessageRecorder> messages_;
  std::unique_ptr<guitest::DialogAnswers> dialogs_;
  std::unique_ptr<QTemporaryDir> scratch_;

  // Writes the sample package under each name and selects them all in frame.
  QStringList SelectSamples(CMainFrame& frame, const QStringList& names) {
    const QStringList paths = guitest::WriteSamplePackages(scratch_->path(), names);
    dialogs_->openPaths = paths;
    frame.Action(app_ids::kIdSelectFiles)->trigger();
    return paths;
  }

  QTextEdit* Log(CMainFrame& frame) { return Find<QTextEdit>(frame.m_pView, ids::kEditCtrl); }

  // Calls action once, on the GUI thread, as soon as the log shows a line containing trigger.
  void OnLog(CMainFrame& frame, const QString& trigger, std::function<void()> action) {
    auto done = std::make_shared<bool>(false);
    QTextEdit* log = Log(frame);
    connect(log, &QTextEdit::textChanged, log, [log, trigger, action, done] {
      if (*done || !log->toPlainText().contains(trigger)) return;
      *done = true;
      action();
    });
  }

 private slots:
  void init() {
    messages_ = std::make_unique<guitest::MessageRecorder>();
    dialogs_ = std::make_unique<guitest::DialogAnswers>();
    scratch_ = std::make_unique<QTemporaryDir>();
  }
  void cleanup() {
    dialogs_.reset();
    messages_.reset();
    scratch_.reset();
  }

  void repairPreviewAndSave() {
    CMainFrame frame(215);
    frame.resize(1100, 720);
    frame.show();
    QCOMPARE(Take(frame), kEmpty);
    QCOMPARE(frame.m_pView->Preview()->HintIndex(), 0);

    const QStringList paths =
        guitest::WriteSamplePackages(scratch_->path(), {"Alpha.dotm", "Beta.dotm"});
    dialogs_->openPaths = paths;
    Find<QPushButton>(frame.m_pView, ids::kBtnSelectFiles)->click();
    QCOMPARE(Take(frame), kListed);

    std::optional<QString> repairing;
    OnLog(frame, "file is open", [&] { repairing = Take(frame); });
    Find<QPushButton>(frame.m_pView, ids::kBtnRecoverFiles)->click();
    QCOMPARE(frame.m_pView->m_bListRepaired, 1);
    QTRY_VERIFY_WITH_TIMEOUT(JobOver(frame), 30000);
    QVERIFY(repairing.has_value());
    QCOMPARE(*repairing, kRepairing);
    QCOMPARE(Take(frame), kRepaired);
    QCOMPARE(Log(frame)->toPlainText(), RepairLogFor(paths));
    QCOMPARE(Find<QTextEdit>(frame.m_pView, ids::kRichEditCtrl)->toPlainText(),
             Qs(engine::kInstructionRepaired));
    QCOMPARE(frame.m_pView->List()->RowData(0), 1);
    QCOMPARE(frame.m_pView->List()->RowImage(1), 1);
    QCOMPARE(frame.m_pView->Preview()->HintIndex(), 3);
    QVERIFY(messages_->messages.empty());

    // A click on the second row shows its own package's picture.
    CTesselListCtrl* list = frame.m_pView->List();
    const QRect row = list->visualItemRect(list->topLevelItem(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    QCOMPARE(frame.m_pView->Preview()->HintIndex(), 6);
    QVERIFY2(frame.m_pView->Preview()->ImagePath().endsWith("/Beta.dotm1/word/media/image1.png"),
             qPrintable(frame.m_pView->Preview()->ImagePath()));
    QCOMPARE(frame.m_pView->Preview()->DrawMode(), 2);

    const QString destination = scratch_->path() + "/out";
    QVERIFY(QDir().mkpath(destination));
    dialogs_->folder = destination;
    Find<QPushButton>(frame.m_pView, ids::kBtnBrowse)->click();
    std::optional<QString> saving;
    OnLog(frame, "saving of file starts", [&] { saving = Take(frame); });
    Find<QPushButton>(frame.m_pView, ids::kBtnSaveFiles)->click();
    QTRY_VERIFY_WITH_TIMEOUT(JobOver(frame) && !messages_->messages.empty(), 30000);
    QVERIFY(saving.has_value());
    QCOMPARE(*saving, kSaving);
    QCOMPARE(Take(frame), kRepaired);
    QCOMPARE(Log(frame)->toPlainText(), SaveLogFor(paths));
    QCOMPARE(messages_->messages.size(), std::size_t{1});
    QCOMPARE(messages_->messages[0].text, Qs(engine::kMsgSaveCompletedHead) + "<a href='" +
                                              destination + "'>" + destination + "</a>");
    for (const QString& name : QStringList{"Alpha.dotm", "Beta.dotm"}) {
      QVERIFY(fs::is_regular_file((destination + "/ZARVEL_" + name).toStdString()));
      QVERIFY(fs::is_regular_file(
          (destination + "/" + name + "_MediaContent/image1.png").toStdString()));
    }
    QCOMPARE(Find<QTextEdit>(frame.m_pView, ids::kRichEditCtrl)->toPlainText(),
             Qs(engine::kInstructionSaved));
  }

  void stopDuringARepair() {
    CMainFrame frame(215);
    frame.resize(1000, 700);
    frame.show();
    const QStringList paths =
        SelectSamples(frame, {"1.dotm", "2.dotm", "3.dotm", "4.dotm", "5.dotm", "6.dotm"});
    messages_->QueueAnswer(kIdYes);
    OnLog(frame, "file is open", [&] {
      Find<QPushButton>(frame.m_pView, ids::kBtnStop)->click();
      // Confirmed: Stop stays shown but disabled until the job ends.
      QVERIFY(!Find<QWidget>(frame.m_pView, ids::kBtnStop)->isEnabled());
      QCOMPARE(frame.m_bJobRunning.load(), 0);
    });
    frame.Action(app_ids::kIdRepairFiles)->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(JobOver(frame), 30000);
    QCOMPARE(messages_->Texts(), QStringList{"Are you sure to stop the running process?"});
    QCOMPARE(messages_->messages[0].style, 0x24u);
    const QString log = Log(frame)->toPlainText();
    QVERIFY2(log.contains(paths.last() + Qs(engine::kLogRepairStopped) + paths.last() +
                          Qs(engine::kLogNotRepaired)),
             qPrintable(log));
    QCOMPARE(frame.m_pView->List()->RowData(5), 0);
    QCOMPARE(frame.m_pView->List()->RowImage(5), 0);
    QVERIFY(log.endsWith(Qs(engine::kLogRepairCompleted) + Qs(engine::kLogUnderscoreLine)));
    QCOMPARE(Take(frame), kRepaired);
  }

  // Answering No to Stop lets the job finish; a save without a destination then asks for one.
  void answeringNoToStopThenSaveWithoutDestination() {
    CMainFrame frame(215);
    frame.show();
    const QStringList paths = SelectSamples(frame, {"1.dotm"});
    messages_->QueueAnswer(kIdNo);
    OnLog(frame, "file is open", [&] {
      Find<QPushButton>(frame.m_pView, ids::kBtnStop)->click();
      QVERIFY(Find<QWidget>(frame.m_pView, ids::kBtnStop)->isEnabled());
    });
    frame.Action(app_ids::kIdRepairFiles)->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(JobOver(frame), 30000);
    QCOMPARE(Log(frame)->toPlainText(), RepairLogFor(paths));
    frame.Action(app_ids::kIdSaveFiles)->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(messages_->messages.size() == 2 && JobOver(frame), 30000);
    QCOMPARE(messages_->Texts(), (QStringList{"Are you sure to stop the running process?",
                                              "Please select a valid folder path."}));
    QCOMPARE(Take(frame), kRepaired);
  }

  void refusedPrivateFolderIsExplainedAndNothingStarts() {
    CMainFrame frame(215);
    frame.show();
    SelectSamples(frame, {"1.dotm"});
    // Someone planted a link where the program's private folder belongs.
    const fs::path privateFolder = platform::SystemTempFolder() / platform::PrivateTempFolderName();
    fs::remove_all(privateFolder);
    fs::create_directory_symlink(scratch_->path().toStdString(), privateFolder);
    frame.Action(app_ids::kIdRepairFiles)->trigger();
    QCOMPARE(messages_->messages.size(), size_t(1));
    QVERIFY(messages_->messages[0].text.startsWith(
        "The private temporary folder of the program cannot be used:<br>"));
    QCOMPARE(Take(frame), kListed);
    fs::remove(privateFolder);
  }

  void closingTheFrameDuringAJobStopsAndJoinsIt() {
    auto frame = std::make_unique<CMainFrame>(215);
    SelectSamples(*frame, {"1.dotm", "2.dotm", "3.dotm", "4.dotm", "5.dotm"});
    frame->Action(app_ids::kIdRepairFiles)->trigger();
    QVERIFY(frame->m_pView->WorkerActive());
    frame.reset();  // must neither hang nor touch freed controls
  }

  // The engine escapes the paths it puts into its messages by the same rule as the desktop: the
  // box shows each as itself, and a link opens the path as given.
  void namesInTheEnginesMessagesShowAsThemselves() {
    for (const char* name : {"/home/R&D <b>draft", "/a&lt;b", "/x&amp;y>z", "/q'uote", "/&&&;"}) {
      const QString text = QString::fromUtf8(name);
      const QString escaped = QString::fromStdString(engine::EscapeMarkup(name));
      QCOMPARE(escaped, EscapeMessageText(text));
      QCOMPARE(CHtmlDrawer::VisibleText(escaped), text);
      QCOMPARE(CHtmlDrawer::VisibleText(QString::fromStdString(engine::LinkMarkup(name))), text);
    }
    const QString link = QString::fromStdString(engine::LinkMarkup("/q'uote"));
    QCOMPARE(link, QStringLiteral("<a href=\"/q'uote\">/q'uote</a>"));
  }
};

BRENVIK_GUI_TEST_MAIN(JobsTest)
#include "jobs_test.moc"
