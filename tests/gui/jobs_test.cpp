// Repair and save through the window, end to end: the states on the way, the log, the
// preview, the saved packages, and Stop.
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <filesystem>

#include "app/command_ids.h"
#include "app/main_frame.h"
#include "engine/job_texts.h"
#include "engine/working_folder.h"
#include "tests/gui/gui_test_support.h"
#include "widgets/app_message_box.h"
#include "widgets/picture_box.h"
#include "widgets/tessel_list_ctrl.h"
#include "workspace/control_ids.h"
#include "workspace/tessel_view.h"

namespace fs = std::filesystem;
using guitest::Find;
namespace ids = workspace_ids;

namespace {

QString Qs(std::string_view text) {
  QString line = QString::fromUtf8(text.data(), text.size());
  return line.replace("\r\n", "\n");
}

// What the window shows of one workspace state.
struct Snapshot {
  int canSelect, canRepair, canSave;
  bool selectOn, repairOn, removeOn, saveOn, browseOn, stopShown, fileBarShown, totalBarShown;
  bool menuSelect, menuRepair, menuSave;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Take(CMainFrame& frame) {
  QWidget* v = frame.m_pView;
  const auto on = [v](const char* id) { return Find<QWidget>(v, id)->isEnabled(); };
  const auto shown = [v](const char* id) { return !Find<QWidget>(v, id)->isHidden(); };
  return {frame.m_pView->m_bCanSelect,
          frame.m_pView->m_bCanRepair,
          frame.m_pView->m_bCanSave,
          on(ids::kBtnSelectFiles),
          on(ids::kBtnRecoverFiles),
          on(ids::kBtnRemoveFiles),
          on(ids::kBtnSaveFiles),
          on(ids::kBtnBrowse),
          shown(ids::kBtnStop) && on(ids::kBtnStop),
          shown(ids::kFirstProgressCtrl),
          shown(ids::kSecondProgressCtrl),
          frame.Action(app_ids::kIdSelectFiles)->isEnabled(),
          frame.Action(app_ids::kIdRepairFiles)->isEnabled(),
          frame.Action(app_ids::kIdSaveFiles)->isEnabled()};
}

// The rows of the enabling table.
constexpr Snapshot kEmpty{1,     0,     0,     true,  false, false, false,
                          false, false, false, false, true,  false, false};
constexpr Snapshot kListed{1,     1,     0,     true,  true, true, false,
                           false, false, false, false, true, true, false};
constexpr Snapshot kRepairing{0,     0,    0,    false, false, false, false,
                              false, true, true, true,  false, false, false};
constexpr Snapshot kRepaired{1,    1,     1,     true,  true, true, true,
                             true, false, false, false, true, true, true};
constexpr Snapshot kSaving{0,     0,    0,     false, false, false, false,
                           false, true, false, true,  false, false, false};

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

    std::optional<Snapshot> repairing;
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
    std::optional<Snapshot> saving;
    OnLog(frame, "saving of file starts", [&] { saving = Take(frame); });
    Find<QPushButton>(frame.m_pView, ids::kBtnSaveFiles)->click();
    QTRY_VERIFY_WITH_TIMEOUT(JobOver(frame) && !messages_->messages.empty(), 30000);
    QVERIFY(saving.has_value());
    QCOMPARE(*saving, kSaving);
    QCOMPARE(Take(frame), kRepaired);
    QCOMPARE(Log(frame)->toPlainText(), SaveLogFor(paths));
    QCOMPARE(messages_->messages.size(), std::size_t{1});
    QCOMPARE(messages_->messages[0].text,
             Qs(engine::kMsgSaveCompletedHead) + "'" + destination + "'>" + destination + "</a>");
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
    const QStringList paths = guitest::WriteSamplePackages(
        scratch_->path(), {"1.dotm", "2.dotm", "3.dotm", "4.dotm", "5.dotm", "6.dotm"});
    dialogs_->openPaths = paths;
    frame.Action(app_ids::kIdSelectFiles)->trigger();
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

  void answeringNoToStopLetsTheJobFinish() {
    CMainFrame frame(215);
    frame.show();
    const QStringList paths = guitest::WriteSamplePackages(scratch_->path(), {"1.dotm"});
    dialogs_->openPaths = paths;
    frame.Action(app_ids::kIdSelectFiles)->trigger();
    messages_->QueueAnswer(kIdNo);
    OnLog(frame, "file is open", [&] {
      Find<QPushButton>(frame.m_pView, ids::kBtnStop)->click();
      QVERIFY(Find<QWidget>(frame.m_pView, ids::kBtnStop)->isEnabled());
    });
    frame.Action(app_ids::kIdRepairFiles)->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(JobOver(frame), 30000);
    QCOMPARE(Log(frame)->toPlainText(), RepairLogFor(paths));
  }

  void saveWithoutDestinationAsksForOne() {
    CMainFrame frame(215);
    const QStringList paths = guitest::WriteSamplePackages(scratch_->path(), {"1.dotm"});
    dialogs_->openPaths = paths;
    frame.Action(app_ids::kIdSelectFiles)->trigger();
    frame.Action(app_ids::kIdRepairFiles)->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(JobOver(frame), 30000);
    frame.Action(app_ids::kIdSaveFiles)->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!messages_->messages.empty() && JobOver(frame), 30000);
    QCOMPARE(messages_->Texts(), QStringList{"Please select a valid folder path."});
    QCOMPARE(Take(frame), kRepaired);
  }

  void closingTheFrameDuringAJobStopsAndJoinsIt() {
    auto frame = std::make_unique<CMainFrame>(215);
    const QStringList paths = guitest::WriteSamplePackages(
        scratch_->path(), {"1.dotm", "2.dotm", "3.dotm", "4.dotm", "5.dotm"});
    dialogs_->openPaths = paths;
    frame->Action(app_ids::kIdSelectFiles)->trigger();
    frame->Action(app_ids::kIdRepairFiles)->trigger();
    QVERIFY(frame->m_pView->WorkerActive());
    frame.reset();  // must neither hang nor touch freed controls
  }
};

BRENVIK_GUI_TEST_MAIN(JobsTest)
#include "jobs_test.moc"
