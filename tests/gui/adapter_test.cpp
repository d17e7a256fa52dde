// The view as the jobs see it: calls from a worker arrive on the GUI thread in order, questions
// block the worker until answered, and calls made on the GUI thread itself go straight through.
#include <QTextEdit>
#include <atomic>
#include <thread>

#include "tests/gui/gui_test_support.h"
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
