// The view as the jobs see it: calls from a worker arrive on the GUI thread in order, questions
// block the worker until answered, and calls made on the GUI thread itself go straight through.
#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <atomic>
#include <thread>

#include "tests/gui/gui_test_support.h"
#include "widgets/estimate_progress_ctrl.h"
#include "workspace/control_ids.h"
#include "workspace/tessel_view.h"
#include "workspace/view_job_adapter.h"

using guitest::Find;

class AdapterTest : public QObject {
  Q_OBJECT

  std::atomic<int> running_{0};

 private slots:
  void workerCallsArriveInOrder() {
    CTesselMSOfficeDotmProjView view(&running_);
    engine::JobView& adapter = view.JobViewAdapter();
    // On the GUI thread itself calls go straight through: no event loop turn, no deadlock.
    adapter.EnableSaveControls(true);
    QCOMPARE(view.m_bCanSave, 1);
    QCOMPARE(adapter.RowCount(), 0);
    QCOMPARE(adapter.ExtractMediaChecked(), true);
    view.DropPaths({"/a/1.dotm", "/a/2.dotm"});
    std::atomic<bool> done{false};
    std::vector<std::string> texts;
    int rows = -1;
    std::thread worker([&] {
      adapter.ClearLog();
      for (int i = 0; i < 200; ++i)
        adapter.AppendLog(std::to_string(i) + "\r\n", 0x000000);
      adapter.SetRowData(1, 1);
      rows = adapter.RowCount();  // answered after everything posted before it
      texts.push_back(adapter.RowText(1));
      texts.push_back(adapter.RowText(7));  // out of range: empty, no crash
      texts.push_back(std::to_string(adapter.RowData(1)));
      done = true;
    });
    QTRY_VERIFY(done.load());
    worker.join();
    QCOMPARE(rows, 2);
    QCOMPARE(texts, (std::vector<std::string>{"/a/2.dotm", "", "1"}));
    const QStringList lines =
        Find<QTextEdit>(&view, workspace_ids::kEditCtrl)->toPlainText().split('\n');
    QCOMPARE(lines.size(), 201);
    for (int i = 0; i < 200; ++i)
      QCOMPARE(lines[i], QString::number(i));
  }

  // Thousands of calls from a worker reach the window in a few batches, in order and complete;
  // the bar shows at most one position per 50 ms and always ends at the last one.
  void floodIsCoalescedWithoutLosingOrder() {
    CTesselMSOfficeDotmProjView view(&running_);
    CViewJobAdapter adapter(&view);
    auto* bar = view.ProgressBar(engine::ProgressBar::kFile);
    constexpr int kLines = 5000;
    std::atomic<bool> done{false};
    QElapsedTimer clock;
    clock.start();
    std::thread worker([&] {
      adapter.ClearLog();
      adapter.SetProgressRange(engine::ProgressBar::kFile, kLines);
      for (int i = 1; i <= kLines; ++i) {
        adapter.AppendLog("line " + std::to_string(i) + "\r\n", i % 3 == 0 ? 0x009900 : 0x000000);
        adapter.SetProgressPos(engine::ProgressBar::kFile, i);
        if (i == kLines / 2) adapter.EnableSaveControls(true);
      }
      adapter.RowCount();  // a question: everything before it has been served
      done = true;
    });
    QTRY_VERIFY(done.load());
    worker.join();
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(bar->value(), kLines);
    QCOMPARE(view.m_bCanSave, 1);
    auto* log = Find<QTextEdit>(&view, workspace_ids::kEditCtrl);
    const QStringList lines = log->toPlainText().split('\n');
    QCOMPARE(lines.size(), kLines + 1);
    for (int i = 0; i < kLines; ++i)
      QCOMPARE(lines[i], QStringLiteral("line %1").arg(i + 1));
    // Colours survive the batching: every third line green.
    QTextCursor cursor(log->document()->findBlockByNumber(2));
    cursor.movePosition(QTextCursor::EndOfBlock);
    QCOMPARE(cursor.charFormat().foreground().color(), QColor(0, 0x99, 0));
    const CViewJobAdapter::Counts counts = adapter.DeliveryCounts();
    QVERIFY2(counts.logBatches < kLines / 10, qPrintable(QString::number(counts.logBatches)));
    QVERIFY2(
        counts.positions <= elapsed / CViewJobAdapter::kBarIntervalMs + 3,
        qPrintable(QStringLiteral("%1 positions in %2 ms").arg(counts.positions).arg(elapsed)));
  }

  // A worker that holds the outbox (preempted in the middle of queuing a call) never stops the
  // GUI thread: the drain comes back later and everything still arrives in order.
  void heldOutboxDoesNotStopTheGuiThread() {
    CTesselMSOfficeDotmProjView view(&running_);
    CViewJobAdapter adapter(&view);
    std::thread worker([&] {
      adapter.ClearLog();
      adapter.AppendLog("first\r\n", 0x000000);
    });
    worker.join();
    std::atomic<bool> held{false};
    std::atomic<bool> guiReturned{false};
    std::atomic<bool> releasedByTimeout{false};
    std::thread holder([&] {
      auto lock = adapter.HoldOutboxLock();
      held = true;
      QElapsedTimer waited;
      waited.start();
      while (!guiReturned.load() && waited.elapsed() < 5000)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      releasedByTimeout = !guiReturned.load();
    });
    while (!held.load())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    QCoreApplication::processEvents();  // runs the posted drain while the lock is taken
    guiReturned = true;
    holder.join();
    QVERIFY(!releasedByTimeout.load());
    std::thread second([&] { adapter.AppendLog("second\r\n", 0x000000); });
    second.join();
    auto* log = Find<QTextEdit>(&view, workspace_ids::kEditCtrl);
    QTRY_COMPARE(log->toPlainText(), QStringLiteral("first\nsecond\n"));
  }

  // A position with nothing after it still shows, within the interval.
  void lastPositionArrivesOnItsOwn() {
    CTesselMSOfficeDotmProjView view(&running_);
    CViewJobAdapter adapter(&view);
    auto* bar = view.ProgressBar(engine::ProgressBar::kTotal);
    std::thread worker([&] {
      adapter.SetProgressRange(engine::ProgressBar::kTotal, 10);
      for (int i = 1; i <= 7; ++i)
        adapter.SetProgressPos(engine::ProgressBar::kTotal, i);
    });
    worker.join();
    QTRY_COMPARE_WITH_TIMEOUT(bar->value(), 7, 1000);
  }

  // A worker's question reaches the message funnel; while closing it is answered No at once.
  void workerQuestions() {
    guitest::MessageRecorder messages;
    messages.QueueAnswer(7);
    CTesselMSOfficeDotmProjView view(&running_);
    CViewJobAdapter adapter(&view);
    std::atomic<int> answer{0};
    std::thread asking([&] { answer = adapter.MessageBox("Sure?<br>Really", "Caption", 0x24); });
    QTRY_VERIFY(answer.load() != 0);
    asking.join();
    QCOMPARE(answer.load(), 7);
    QCOMPARE(messages.Texts(), QStringList{"Sure?<br>Really"});
    QCOMPARE(messages.messages[0].style, 0x24u);
    adapter.SetClosing(true);
    answer = 0;
    std::thread closing([&] { answer = adapter.MessageBox("Stop?", "Caption", 0x24); });
    closing.join();  // returns without the GUI thread serving anything
    QCOMPARE(answer.load(), 7);
    QCOMPARE(messages.messages.size(), std::size_t{1});
  }
};

BRENVIK_GUI_TEST_MAIN(AdapterTest)
#include "adapter_test.moc"
