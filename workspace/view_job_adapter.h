// The workspace as the jobs see it: every call of a worker reaches the view on the GUI thread,
// in the order it was made. Calls that return something block the worker until the GUI thread
// has answered. Called on the GUI thread itself, each call goes straight to the view.
//
// A worker can make thousands of calls a second (a log line and a bar step per part). Each
// queued on its own, they would keep the GUI thread busy for seconds in one go, and a message
// box would wait behind them. So the calls go into an outbox that the GUI thread empties once
// per event-loop turn: consecutive log lines are appended as one batch, and a bar shows a new
// position at most every 50 ms (the last one always arrives, and before anything else that
// touches the bar or any question).
#pragma once

#include <QElapsedTimer>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/job_view.h"
#include "workspace/log_panel.h"

class CTesselMSOfficeDotmProjView;

class CViewJobAdapter : public engine::JobView {
 public:
  explicit CViewJobAdapter(CTesselMSOfficeDotmProjView* view);

  // While the view is going away, questions are answered at once (No, OK, empty) and never
  // reach the window.
  void SetClosing(bool closing) { closing_.store(closing); }

  void AppendLog(std::string_view text, std::uint32_t colour) override;
  void ClearLog() override;
  int RowCount() override;
  std::string RowText(int row) override;
  int RowData(int row) override;
  void SetRowData(int row, int data) override;
  void SetRowImage(int row, int image) override;
  void ResetEstimate(engine::ProgressBar bar) override;
  void SetProgressRange(engine::ProgressBar bar, int upper) override;
  void SetProgressPos(engine::ProgressBar bar, int pos) override;
  void ShowProgressArea(bool fileBar, bool totalBar) override;
  void EnableSelect(bool enable) override;
  void EnableRepair(bool enable) override;
  void EnableSaveControls(bool enable) override;
  void ShowStop(bool show) override;
  void SetInstruction(std::string_view text, std::span<const engine::TextRange> bold) override;
  void ShowPreview(std::string_view path, int mode) override;
  int MessageBox(std::string_view text, std::string_view caption, unsigned style) override;
  std::string DestinationText() override;
  bool ExtractMediaChecked() override;

  // The shortest time between two positions shown on one bar.
  static constexpr int kBarIntervalMs = 50;

  // What the GUI thread has been handed so far (tests).
  struct Counts {
    int turns = 0;       // outbox emptied
    int logBatches = 0;  // batches appended
    int positions = 0;   // bar positions applied
  };
  Counts DeliveryCounts() const;
  // Holds the outbox's lock as a preempted worker would (tests).
  std::unique_lock<std::mutex> HoldOutboxLock();

 private:
  // One queued call: a log line (batched with its neighbours) or anything else.
  struct Entry {
    bool isLog = false;
    CLogPanel::Line line;
    std::function<void()> call;
  };
  struct Outbox;

  bool OnGuiThread() const;
  template <class Call>
  void Post(Call call);
  void PostEntry(Entry entry);
  // Moves a held-back position of bar (all bars for -1) into the queue, in order; true when a
  // drain must be posted (once the lock is let go).
  bool ReleasePositionsLocked(int bar);
  void ReleasePositions(int bar);
  template <class Result, class Call>
  Result Ask(Call call, Result whenClosing);

  CTesselMSOfficeDotmProjView* view_;
  std::atomic<bool> closing_{false};
  std::shared_ptr<Outbox> outbox_;
  // The last position asked for per bar (worker side): repeated positions are not sent again.
  std::array<int, 2> lastPos_{-1, -1};
};
