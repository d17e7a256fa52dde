#include "workspace/view_job_adapter.h"

#include <QMetaObject>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <string>
#include <vector>

#include "widgets/app_message_box.h"
#include "widgets/estimate_progress_ctrl.h"
#include "widgets/tessel_list_ctrl.h"
#include "workspace/tessel_view.h"

// The jobs speak the message box's numbers.
static_assert(engine::kMbIconInformation == kMbNotice);
static_assert(engine::kMbYesNoQuestion == kMbConfirmation);
static_assert(engine::kIdOk == kIdOk && engine::kIdYes == kIdYes && engine::kIdNo == kIdNo);

namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::size_t BarIndex(engine::ProgressBar bar) {
  return bar == engine::ProgressBar::kFile ? 0 : 1;
}

}  // namespace

struct CViewJobAdapter::Outbox {
  explicit Outbox(CTesselMSOfficeDotmProjView* owner) : view(owner) { clock.start(); }

  // Worker and GUI side, under lock. The lock is only ever held for a few moves: a worker
  // preempted while holding it (a job runs below normal priority) would otherwise stop the
  // window.
  std::mutex lock;
  std::vector<Entry> queue;
  bool drainPosted = false;
  std::array<int, 2> held{-1, -1};  // positions not yet shown, -1: none
  // Both sides, without the lock.
  std::atomic<int> turns{0};
  std::atomic<int> logBatches{0};
  std::atomic<int> positions{0};
  // GUI side only.
  bool timerPending = false;   // a drain when a held position is due
  bool retryPending = false;   // a drain after the lock was found taken
  std::vector<Entry> drained;  // emptied after each turn; its capacity serves the next queue
  std::array<qint64, 2> lastShown{-kBarIntervalMs, -kBarIntervalMs};
  CTesselMSOfficeDotmProjView* view;
  QElapsedTimer clock;

  // Under lock: true when the caller must post a drain (after letting go of the lock, so that
  // the GUI thread it wakes does not find the lock taken).
  bool NeedsDrainLocked() {
    if (drainPosted) return false;
    drainPosted = true;
    return true;
  }

  static void PostDrain(const std::shared_ptr<Outbox>& self) {
    QMetaObject::invokeMethod(
        self->view, [self] { self->Drain(self, false); }, Qt::QueuedConnection);
  }

  void ShowPosition(std::size_t bar, int pos) {
    view->ProgressBar(bar == 0 ? engine::ProgressBar::kFile : engine::ProgressBar::kTotal)
        ->setValue(pos);
    lastShown[bar] = clock.elapsed();
  }

  // GUI thread: drains again after wait ms, once per pending flag (the bars' interval, or a
  // lock found taken).
  void DrainLater(const std::shared_ptr<Outbox>& self, qint64 wait, bool Outbox::*pending) {
    if (this->*pending) return;
    this->*pending = true;
    QTimer::singleShot(static_cast<int>(wait), view, [self, pending] {
      self.get()->*pending = false;
      self->Drain(self, false);
    });
  }

  // GUI thread: runs everything queued, in order, consecutive log lines as one batch; then the
  // held positions whose bar may change again. Unless mayWait (a worker waits for an answer and
  // so holds nothing), a lock a worker holds is not waited for: the drain comes again shortly.
  void Drain(const std::shared_ptr<Outbox>& self, bool mayWait) {
    std::array<int, 2> due{-1, -1};
    qint64 wait = -1;
    {
      std::unique_lock<std::mutex> guard(lock, std::defer_lock);
      if (mayWait) {
        guard.lock();
      } else if (!guard.try_lock()) {
        DrainLater(self, 1, &Outbox::retryPending);
        return;
      }
      drained.swap(queue);
      drainPosted = false;
      const qint64 now = clock.elapsed();
      for (std::size_t bar = 0; bar < 2; ++bar) {
        if (held[bar] < 0) continue;
        const qint64 since = now - lastShown[bar];
        if (since >= kBarIntervalMs) {
          due[bar] = held[bar];
          held[bar] = -1;
        } else {
          wait = std::max<qint64>(wait, kBarIntervalMs - since);
        }
      }
    }
    ++turns;
    if (wait >= 0) DrainLater(self, wait, &Outbox::timerPending);
    std::vector<CLogPanel::Line> batch;
    const auto flushLog = [&] {
      if (batch.empty()) return;
      view->AppendLogLines(batch);
      batch.clear();
      ++logBatches;
    };
    // Taken out first: a call may run a nested event loop (a message box) that drains again.
    std::vector<Entry> entries = std::move(drained);
    drained = std::vector<Entry>();
    for (Entry& entry : entries) {
      if (entry.isLog) {
        batch.push_back(std::move(entry.line));
        continue;
      }
      flushLog();
      entry.call();
    }
    flushLog();
    for (std::size_t bar = 0; bar < 2; ++bar) {
      if (due[bar] < 0) continue;
      ShowPosition(bar, due[bar]);
      ++positions;
    }
    entries.clear();
    if (drained.capacity() < entries.capacity()) drained.swap(entries);
  }
};

CViewJobAdapter::CViewJobAdapter(CTesselMSOfficeDotmProjView* view)
    : view_(view), outbox_(std::make_shared<Outbox>(view)) {}

bool CViewJobAdapter::OnGuiThread() const {
  return QThread::currentThread() == view_->thread();
}

CViewJobAdapter::Counts CViewJobAdapter::DeliveryCounts() const {
  return {outbox_->turns.load(), outbox_->logBatches.load(), outbox_->positions.load()};
}

std::unique_lock<std::mutex> CViewJobAdapter::HoldOutboxLock() {
  return std::unique_lock<std::mutex>(outbox_->lock);
}

void CViewJobAdapter::PostEntry(Entry entry) {
  bool post = false;
  {
    std::lock_guard<std::mutex> guard(outbox_->lock);
    outbox_->queue.push_back(std::move(entry));
    post = outbox_->NeedsDrainLocked();
  }
  if (post) Outbox::PostDrain(outbox_);
}

template <class Call>
void CViewJobAdapter::Post(Call call) {
  if (OnGuiThread()) {
    call();
    return;
  }
  Entry entry;
  entry.call = std::move(call);
  PostEntry(std::move(entry));
}

bool CViewJobAdapter::ReleasePositionsLocked(int bar) {
  bool post = false;
  for (std::size_t b = 0; b < 2; ++b) {
    if (bar >= 0 && static_cast<std::size_t>(bar) != b) continue;
    const int pos = outbox_->held[b];
    if (pos < 0) continue;
    outbox_->held[b] = -1;
    Entry entry;
    entry.call = [outbox = outbox_.get(), b, pos] {
      outbox->ShowPosition(b, pos);
      ++outbox->positions;
    };
    outbox_->queue.push_back(std::move(entry));
    post = outbox_->NeedsDrainLocked() || post;
  }
  return post;
}

void CViewJobAdapter::ReleasePositions(int bar) {
  bool post = false;
  {
    std::lock_guard<std::mutex> guard(outbox_->lock);
    post = ReleasePositionsLocked(bar);
  }
  if (post) Outbox::PostDrain(outbox_);
}

template <class Result, class Call>
Result CViewJobAdapter::Ask(Call call, Result whenClosing) {
  if (OnGuiThread()) return call();
  if (closing_.load()) return whenClosing;
  // A question shows the window as it is now: every bar at its latest position.
  ReleasePositions(-1);
  Result result = whenClosing;
  // The outbox is emptied first: everything asked for before this question is served first.
  QMetaObject::invokeMethod(
      view_,
      [this, &call, &result, outbox = outbox_] {
        outbox->Drain(outbox, true);
        if (!closing_.load()) result = call();
      },
      Qt::BlockingQueuedConnection);
  return result;
}

void CViewJobAdapter::AppendLog(std::string_view text, std::uint32_t colour) {
  if (OnGuiThread()) {
    view_->AppendLog(FromUtf8(text), colour);
    return;
  }
  Entry entry;
  entry.isLog = true;
  entry.line = {FromUtf8(text), colour};
  PostEntry(std::move(entry));
}

void CViewJobAdapter::ClearLog() {
  Post([view = view_] { view->SetLogText(QString()); });
}

int CViewJobAdapter::RowCount() {
  return Ask([view = view_] { return view->List()->RowCount(); }, 0);
}

std::string CViewJobAdapter::RowText(int row) {
  return Ask(
      [view = view_, row] {
        if (row < 0 || row >= view->List()->RowCount()) return std::string();
        return view->List()->RowText(row).toStdString();
      },
      std::string());
}

int CViewJobAdapter::RowData(int row) {
  return Ask(
      [view = view_, row] {
        if (row < 0 || row >= view->List()->RowCount()) return 0;
        return view->List()->RowData(row);
      },
      0);
}

void CViewJobAdapter::SetRowData(int row, int data) {
  Post([view = view_, row, data] {
    if (row >= 0 && row < view->List()->RowCount()) view->List()->SetRowData(row, data);
  });
}

void CViewJobAdapter::SetRowImage(int row, int image) {
  Post([view = view_, row, image] {
    if (row >= 0 && row < view->List()->RowCount()) view->List()->SetRowImage(row, image);
  });
}

void CViewJobAdapter::ResetEstimate(engine::ProgressBar bar) {
  const std::size_t index = BarIndex(bar);
  lastPos_[index] = -1;
  if (!OnGuiThread()) ReleasePositions(static_cast<int>(index));
  Post([view = view_, bar] { view->ProgressBar(bar)->ResetEstimate(); });
}

void CViewJobAdapter::SetProgressRange(engine::ProgressBar bar, int upper) {
  const std::size_t index = BarIndex(bar);
  lastPos_[index] = -1;
  if (!OnGuiThread()) ReleasePositions(static_cast<int>(index));
  Post([view = view_, bar, upper] { view->ProgressBar(bar)->setRange(0, std::max(0, upper)); });
}

void CViewJobAdapter::SetProgressPos(engine::ProgressBar bar, int pos) {
  const std::size_t index = BarIndex(bar);
  if (OnGuiThread()) {
    view_->ProgressBar(bar)->setValue(pos);
    return;
  }
  // The file loop reports every part; a repeated position would only cost a call.
  int& last = lastPos_[index];
  if (pos == last) return;
  last = pos;
  bool post = false;
  {
    std::lock_guard<std::mutex> guard(outbox_->lock);
    outbox_->held[index] = std::max(0, pos);
    post = outbox_->NeedsDrainLocked();
  }
  if (post) Outbox::PostDrain(outbox_);
}

void CViewJobAdapter::ShowProgressArea(bool fileBar, bool totalBar) {
  if (!OnGuiThread()) ReleasePositions(-1);
  Post([view = view_, fileBar, totalBar] { view->ShowProgressArea(fileBar, totalBar); });
}

void CViewJobAdapter::EnableSelect(bool enable) {
  Post([view = view_, enable] { view->EnableSelect(enable); });
}

void CViewJobAdapter::EnableRepair(bool enable) {
  Post([view = view_, enable] { view->EnableRepair(enable); });
}

void CViewJobAdapter::EnableSaveControls(bool enable) {
  Post([view = view_, enable] { view->EnableSaveControls(enable); });
}

void CViewJobAdapter::ShowStop(bool show) {
  Post([view = view_, show] { view->ShowStop(show); });
}

void CViewJobAdapter::SetInstruction(std::string_view text,
                                     std::span<const engine::TextRange> bold) {
  Post([view = view_, line = FromUtf8(text),
        ranges = std::vector<engine::TextRange>(bold.begin(), bold.end())] {
    view->SetInstruction(line, ranges);
  });
}

void CViewJobAdapter::ShowPreview(std::string_view path, int mode) {
  Post([view = view_, picture = FromUtf8(path), mode] { view->ShowPreview(picture, mode); });
}

int CViewJobAdapter::MessageBox(std::string_view text, std::string_view caption, unsigned style) {
  return Ask([view = view_, message = FromUtf8(text), title = FromUtf8(caption),
              style] { return AppMessageBox(view, message, title, style); },
             UnaskedAnswer(style));
}

std::string CViewJobAdapter::DestinationText() {
  return Ask([view = view_] { return view->DestinationText().toStdString(); }, std::string());
}

bool CViewJobAdapter::ExtractMediaChecked() {
  return Ask([view = view_] { return view->ExtractMediaChecked(); }, false);
}
