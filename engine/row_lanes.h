// Runs the rows of one job on several threads, while the view still sees each row's calls
// together and in row order, exactly as one thread going through the rows one by one makes them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/job_view.h"

namespace engine {

class RowLanes {
 public:
  // The work on one row, which reaches the view only through rowView.
  using RowWork = std::function<void(JobView& rowView, int row)>;
  // True when the stop flag counts before the row starts (the save job heeds it only before a
  // repaired row).
  using StopCounts = std::function<bool(int row)>;

  // With lanes above 1, view must take calls from several threads at once: the rows' queries
  // (RowText, RowData, ...) come from the lanes directly.
  RowLanes(JobView& view, int rowCount);
  ~RowLanes();
  RowLanes(const RowLanes&) = delete;
  RowLanes& operator=(const RowLanes&) = delete;

  // Runs work over the rows in order of their index on up to lanes threads; one lane runs on
  // the calling thread with the view itself. A row is started only while running is 1 or
  // stopCounts says the flag does not count for it; the first row refused is returned (the
  // rows from it on are not run), rowCount when every row ran. Returns when every started row
  // has finished and all of them have reached the view.
  //
  // Each row's calls reach the view when every row before it has finished: until then they
  // are held, the file bar's range and position kept only as the latest values. A row's
  // MessageBox waits for that moment, so a question is asked in its place in the log.
  int Run(unsigned lanes, const std::atomic<int>& running, const StopCounts& stopCounts,
          const RowWork& work);

  // Blocks until the work on row has finished. Only for rows before the caller's own, which
  // were started earlier and never wait for a later one.
  void WaitUntilDone(int row);

 private:
  class RowLog;

  int RunInline(const std::atomic<int>& running, const StopCounts& stopCounts, const RowWork& work);
  // The next row to start, or -1 when none is left or the stop flag refused it.
  int NextRow(const std::atomic<int>& running, const StopCounts& stopCounts);
  void RunLane(const std::atomic<int>& running, const StopCounts& stopCounts, const RowWork& work);
  // Marks row finished; when it is the front row, hands every finished row behind it to the
  // view and lets the next unfinished one talk to the view directly.
  void Finish(int row);
  void Advance();  // with mutex_ held

  JobView& view_;
  int rowCount_;
  std::vector<std::unique_ptr<RowLog>> logs_;

  std::mutex handOut_;
  int next_ = 0;
  int refused_ = -1;

  std::mutex mutex_;  // the logs and front_
  std::condition_variable changed_;
  int front_ = 0;  // the first row whose calls have not all reached the view
};

}  // namespace engine
