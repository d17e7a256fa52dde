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

  // Worker and GUI side, under lock.
  std::mutex lock;
  std::vector<Entry> queue;
  bool drainPosted = false;
  bool timerPending = false;
  std::array<int, 2> held{-1, -1};  // positions not yet shown, -1: none
  Counts counts;
  // GUI side only.
  std::array<qint64, 2> lastShown{-kBarIntervalMs, -kBarIntervalMs};
  CTesselMSOfficeDotmProjView* view;
  QElapsedTimer clock;

  void EnsureDrainLocked(const std::shared_ptr<Outbox>& self) {
    if (drainPosted) return;
    drainPosted = true;
    QMetaObject::invokeMethod(
        view, [self] { self->Drain(self); }, Qt::QueuedConnection);
  }

  void ShowPosition(std::size_t bar, int pos) {
    view->ProgressBar(bar == 0 ? engine::ProgressBar::kFile : engine::ProgressBar::kTotal)
        ->setValue(pos);
    lastShown[bar] = clock.elapsed();
  }

  // GUI thread: runs everything queued, in order, consecutive log lines as one batch; then the
  // held positions whose bar may change again.
  void Drain(const std::shared_ptr<Outbox>& self) {
    std::vector<Entry> entries;
    std::array<int, 2> due{-1, -1};
    {
      std::lock_guard<std::mutex> guard(lock);
      entries.swap(queue);
      drainPosted = false;
      const qint64 now = clock.elapsed();
      qint64 wait = -1;
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
      if (wait >= 0 && !timerPending) {
        timerPending = true;
        QTimer::singleShot(static_cast<int>(wait), view, [self] {
          {
            std::lock_guard<std::mutex> again(self->lock);
            self->timerPending = false;
          }
          self->Drain(self);
        });
      }
      ++counts.turns;
    }
    std::vector<CLogPanel::Line> batch;
    int batches = 0;
    const auto flushLog = [&] {
      if (batch.empty()) return;
      view->AppendLogLines(batch);
      batch.clear();
      ++batches;
    };
    for (Entry& entry : entries) {
      if (entry.isLog) {
        batch.push_back(std::move(entry.line));
        continue;
      }
      flushLog();
      entry.call();
    }
    flushLog();
    int shown = 0;
    for (std::size_t bar = 0; bar < 2; ++bar) {
      if (due[bar] < 0) continue;
      ShowPosition(bar, due[bar]);
      ++shown;
    }
    std::lock_guard<std::mutex> guard(lock);
    counts.logBatches += batches;
    counts.positions += shown;
  }
};

CViewJobAdapter::CViewJobAdapter(CTesselMSOfficeDotmProjView* view)
    : view_(view), outbox_(std::make_shared<Outbox>(view)) {}

bool CViewJobAdapter::OnGuiThread() const {
  return QThread::currentThread() == view_->thread();
}

CViewJobAdapter::Counts CViewJobAdapter::DeliveryCounts() const {
  std::lock_guard<std::mutex> guard(outbox_->lock);
  return outbox_->counts;
}

void CViewJobAdapter::PostEntry(Entry entry) {
  std::lock_guard<std::mutex> guard(outbox_->lock);
  outbox_->queue.push_back(std::move(entry));
  outbox_->EnsureDrainLocked(outbox_);
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

void CViewJobAdapter::ReleasePositionsLocked(int bar) {
  for (std::size_t b = 0; b < 2; ++b) {
    if (bar >= 0 && static_cast<std::size_t>(bar) != b) continue;
    const int pos = outbox_->held[b];
    if (pos < 0) continue;
    outbox_->held[b] = -1;
    Entry entry;
    entry.call = [outbox = outbox_.get(), b, pos] {
      outbox->ShowPosition(b, pos);
      std::lock_guard<std::mutex> guard(outbox->lock);
      ++outbox->counts.positions;
    };
    outbox_->queue.push_back(std::move(entry));
    outbox_->EnsureDrainLocked(outbox_);
  }
}

template <class Result, class Call>
Result CViewJobAdapter::Ask(Call call, Result whenClosing) {
  if (OnGuiThread()) return call();
  if (closing_.load()) return whenClosing;
  {
    // A question shows the window as it is now: every bar at its latest position.
    std::lock_guard<std::mutex> guard(outbox_->lock);
    ReleasePositionsLocked(-1);
  }
  Result result = whenClosing;
  // The outbox is emptied first: everything asked for before this question is served first.
  QMetaObject::invokeMethod(
      view_,
      [this, &call, &result, outbox = outbox_] {
        outbox->Drain(outbox);
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
  if (!OnGuiThread()) {
    std::lock_guard<std::mutex> guard(outbox_->lock);
    ReleasePositionsLocked(static_cast<int>(index));
  }
  Post([view = view_, bar] { view->ProgressBar(bar)->ResetEstimate(); });
}

void CViewJobAdapter::SetProgressRange(engine::ProgressBar bar, int upper) {
  const std::size_t index = BarIndex(bar);
  lastPos_[index] = -1;
  if (!OnGuiThread()) {
    std::lock_guard<std::mutex> guard(outbox_->lock);
    ReleasePositionsLocked(static_cast<int>(index));
  }
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
  std::lock_guard<std::mutex> guard(outbox_->lock);
  outbox_->held[index] = std::max(0, pos);
  outbox_->EnsureDrainLocked(outbox_);
}

void CViewJobAdapter::ShowProgressArea(bool fileBar, bool totalBar) {
  if (!OnGuiThread()) {
    std::lock_guard<std::mutex> guard(outbox_->lock);
    ReleasePositionsLocked(-1);
  }
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
