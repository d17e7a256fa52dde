#include "engine/row_lanes.h"

#include <algorithm>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "engine/repair_report.h"

namespace engine {

// One row's view: holds the row's calls until the row is at the front, then passes them on.
class RowLanes::RowLog : public JobView {
 public:
  RowLog(JobView& view, std::mutex& mutex, std::condition_variable& changed)
      : view_(view), mutex_(mutex), changed_(changed) {}

  // With the lanes' mutex held: hands the held calls to the view in the order they were made.
  void Replay() {
    for (auto& call : held_)
      call(view_);
    held_.clear();
    held_.shrink_to_fit();
    if (fileRange_) view_.SetProgressRange(ProgressBar::kFile, *fileRange_);
    if (filePos_) view_.SetProgressPos(ProgressBar::kFile, *filePos_);
    fileRange_.reset();
    filePos_.reset();
  }
  // With the lanes' mutex held.
  void MakeDirect() { direct_ = true; }
  void MarkDone() { done_ = true; }
  bool Done() const { return done_; }

  void AppendLog(std::string_view text, std::uint32_t colour) override {
    Pass([line = std::string(text), colour](JobView& v) { v.AppendLog(line, colour); });
  }
  void ClearLog() override {
    Pass([](JobView& v) { v.ClearLog(); });
  }
  int RowCount() override { return view_.RowCount(); }
  std::string RowText(int row) override { return view_.RowText(row); }
  int RowData(int row) override { return view_.RowData(row); }
  void SetRowData(int row, int data) override {
    Pass([row, data](JobView& v) { v.SetRowData(row, data); });
  }
  void SetRowImage(int row, int image) override {
    Pass([row, image](JobView& v) { v.SetRowImage(row, image); });
  }
  void ResetEstimate(ProgressBar bar) override {
    Pass([bar](JobView& v) { v.ResetEstimate(bar); });
  }
  void SetProgressRange(ProgressBar bar, int upper) override {
    if (bar == ProgressBar::kFile && HoldFileBar(fileRange_, upper)) return;
    Pass([bar, upper](JobView& v) { v.SetProgressRange(bar, upper); });
  }
  void SetProgressPos(ProgressBar bar, int pos) override {
    if (bar == ProgressBar::kFile && HoldFileBar(filePos_, pos)) return;
    Pass([bar, pos](JobView& v) { v.SetProgressPos(bar, pos); });
  }
  void ShowProgressArea(bool fileBar, bool totalBar) override {
    Pass([fileBar, totalBar](JobView& v) { v.ShowProgressArea(fileBar, totalBar); });
  }
  void EnableSelect(bool enable) override {
    Pass([enable](JobView& v) { v.EnableSelect(enable); });
  }
  void EnableRepair(bool enable) override {
    Pass([enable](JobView& v) { v.EnableRepair(enable); });
  }
  void EnableSaveControls(bool enable) override {
    Pass([enable](JobView& v) { v.EnableSaveControls(enable); });
  }
  void ShowStop(bool show) override {
    Pass([show](JobView& v) { v.ShowStop(show); });
  }
  void SetInstruction(std::string_view text, std::span<const TextRange> bold) override {
    Pass([line = std::string(text), ranges = std::vector<TextRange>(bold.begin(), bold.end())](
             JobView& v) { v.SetInstruction(line, ranges); });
  }
  void ShowPreview(std::string_view path, int mode) override {
    Pass([shown = std::string(path), mode](JobView& v) { v.ShowPreview(shown, mode); });
  }
  // A question is asked where it stands in the log: once every row before this one is through.
  int MessageBox(std::string_view text, std::string_view caption, unsigned style) override {
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return direct_; });
    }
    return view_.MessageBox(text, caption, style);
  }
  std::string DestinationText() override { return view_.DestinationText(); }
  bool ExtractMediaChecked() override { return view_.ExtractMediaChecked(); }
  void RowFinished(JobKind job, int row, RowResult result) override {
    Pass([job, row, result](JobView& v) { v.RowFinished(job, row, result); });
  }
  // A held report is a copy: the job's own goes out of scope before the row's turn comes.
  void RepairReported(int row, const RepairRowReport& report) override {
    Pass([row, report](JobView& v) { v.RepairReported(row, report); });
  }
  void SaveReported(int row, const SaveRowReport& report) override {
    Pass([row, report](JobView& v) { v.SaveReported(row, report); });
  }

 private:
  // Calls the view at once when the row is at the front (no other thread calls it then but for
  // queries), otherwise holds the call.
  void Pass(std::function<void(JobView&)> call) {
    {
      std::lock_guard lock(mutex_);
      if (!direct_) {
        held_.push_back(std::move(call));
        return;
      }
    }
    call(view_);
  }
  // A file bar's values from a row behind the front are stale by the time it gets there: only
  // the latest is kept. True when held.
  bool HoldFileBar(std::optional<int>& slot, int value) {
    std::lock_guard lock(mutex_);
    if (direct_) return false;
    slot = value;
    return true;
  }

  JobView& view_;
  std::mutex& mutex_;
  std::condition_variable& changed_;
  std::vector<std::function<void(JobView&)>> held_;
  std::optional<int> fileRange_, filePos_;
  bool direct_ = false;
  bool done_ = false;
};

RowLanes::RowLanes(JobView& view, int rowCount) : view_(view), rowCount_(rowCount) {
  for (int row = 0; row < rowCount_; ++row)
    logs_.push_back(std::make_unique<RowLog>(view_, mutex_, changed_));
  std::lock_guard lock(mutex_);
  Advance();
}

RowLanes::~RowLanes() = default;

int RowLanes::Run(unsigned lanes, const std::atomic<int>& running, const StopCounts& stopCounts,
                  const RowWork& work) {
  if (lanes <= 1 || rowCount_ <= 1) return RunInline(running, stopCounts, work);
  {
    std::vector<std::jthread> others;
    const unsigned count = std::min(lanes, static_cast<unsigned>(rowCount_));
    for (unsigned lane = 1; lane < count; ++lane)
      others.emplace_back([&] { RunLane(running, stopCounts, work); });
    RunLane(running, stopCounts, work);
  }
  return refused_ < 0 ? rowCount_ : refused_;
}

int RowLanes::RunInline(const std::atomic<int>& running, const StopCounts& stopCounts,
                        const RowWork& work) {
  for (int row = 0; row < rowCount_; ++row) {
    if (stopCounts(row) && running.load() == 0) return row;
    work(view_, row);
    Finish(row);
  }
  return rowCount_;
}

int RowLanes::NextRow(const std::atomic<int>& running, const StopCounts& stopCounts) {
  // The check and the hand-out go together: once one lane saw the flag down, no later row
  // starts on another, so the rows not run are exactly those from the refused one on.
  std::lock_guard lock(handOut_);
  if (refused_ >= 0 || next_ >= rowCount_) return -1;
  if (stopCounts(next_) && running.load() == 0) {
    refused_ = next_;
    return -1;
  }
  return next_++;
}

void RowLanes::RunLane(const std::atomic<int>& running, const StopCounts& stopCounts,
                       const RowWork& work) {
  for (int row = NextRow(running, stopCounts); row >= 0; row = NextRow(running, stopCounts)) {
    work(*logs_[static_cast<std::size_t>(row)], row);
    Finish(row);
  }
}

void RowLanes::Finish(int row) {
  std::lock_guard lock(mutex_);
  logs_[static_cast<std::size_t>(row)]->MarkDone();
  if (row == front_) Advance();
  changed_.notify_all();
}

void RowLanes::Advance() {
  while (front_ < rowCount_) {
    RowLog& log = *logs_[static_cast<std::size_t>(front_)];
    log.Replay();
    if (!log.Done()) {
      log.MakeDirect();
      break;
    }
    ++front_;
  }
  changed_.notify_all();
}

void RowLanes::WaitUntilDone(int row) {
  if (row < 0 || row >= rowCount_) return;
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return logs_[static_cast<std::size_t>(row)]->Done(); });
}

}  // namespace engine
