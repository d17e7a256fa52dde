// Rows worked on at once still reach the view one row after the other, in row order.
#include "engine/row_lanes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "testkit/recording_view.h"

namespace {

using engine::RowLanes;
using testsupport::RecordingView;

std::vector<std::string> RowTexts(int count) {
  std::vector<std::string> texts;
  for (int row = 0; row < count; ++row)
    texts.push_back("row" + std::to_string(row));
  return texts;
}

bool Always(int) {
  return true;
}

// Three lines per row, the earlier rows the slower ones: every row finishes out of order.
void SlowFirstRows(engine::JobView& view, int row, int rowCount) {
  for (int line = 0; line < 3; ++line) {
    view.AppendLog("row" + std::to_string(row) + " line" + std::to_string(line) + "\r\n", 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(2 * (rowCount - row)));
  }
  view.RowFinished(engine::JobKind::kRepair, row, engine::RowResult::kWhole);
}

std::string ExpectedLog(int rows) {
  std::string log;
  for (int row = 0; row < rows; ++row) {
    for (int line = 0; line < 3; ++line)
      log += "row" + std::to_string(row) + " line" + std::to_string(line) + "\r\n";
  }
  return log;
}

TEST(RowLanes, EachRowsCallsArriveTogetherAndInRowOrder) {
  constexpr int kRows = 9;
  for (const unsigned lanes : {1u, 2u, 4u, 16u}) {
    SCOPED_TRACE(lanes);
    RecordingView view(RowTexts(kRows));
    std::atomic<int> running{1};
    RowLanes rowLanes(view, kRows);
    const int stoppedAt =
        rowLanes.Run(lanes, running, Always,
                     [](engine::JobView& rowView, int row) { SlowFirstRows(rowView, row, kRows); });
    EXPECT_EQ(stoppedAt, kRows);
    EXPECT_EQ(view.LogText(), ExpectedLog(kRows));
    const auto finished = view.FinishedRows();
    ASSERT_EQ(finished.size(), static_cast<std::size_t>(kRows));
    for (int row = 0; row < kRows; ++row)
      EXPECT_EQ(finished[static_cast<std::size_t>(row)].row, row);
  }
}

// A question waits until the rows before it are in the log, and is answered in its place.
TEST(RowLanes, QuestionComesAfterTheRowsBeforeIt) {
  constexpr int kRows = 4;
  RecordingView view(RowTexts(kRows));
  std::atomic<int> running{1};
  RowLanes rowLanes(view, kRows);
  rowLanes.Run(4, running, Always, [&view](engine::JobView& rowView, int row) {
    if (row == 3) {
      rowView.MessageBox("question", "caption", engine::kMbYesNoQuestion);
      // The message was shown only after every earlier row reached the log.
      EXPECT_EQ(view.LogText(), ExpectedLog(3));
    }
    SlowFirstRows(rowView, row, kRows);
  });
  EXPECT_EQ(view.LogText(), ExpectedLog(kRows));
  ASSERT_EQ(view.Messages().size(), 1u);
}

// Once a lane finds the stop flag down, no later row starts on any lane: the rows not run are
// exactly those from the returned one on, and every row before it ran whole.
TEST(RowLanes, StopLeavesTheRowsFromOnePointOnUnstarted) {
  constexpr int kRows = 12;
  RecordingView view(RowTexts(kRows));
  std::atomic<int> running{1};
  std::vector<std::atomic<int>> started(kRows);
  RowLanes rowLanes(view, kRows);
  const int stoppedAt = rowLanes.Run(3, running, Always, [&](engine::JobView& rowView, int row) {
    started[static_cast<std::size_t>(row)] = 1;
    if (row == 4) running = 0;
    SlowFirstRows(rowView, row, kRows);
  });
  EXPECT_GT(stoppedAt, 4);
  EXPECT_LT(stoppedAt, kRows);
  for (int row = 0; row < kRows; ++row)
    EXPECT_EQ(started[static_cast<std::size_t>(row)].load(), row < stoppedAt ? 1 : 0) << row;
  EXPECT_EQ(view.LogText(), ExpectedLog(stoppedAt));
}

// The save job heeds the flag only before some rows: the others still run after a stop.
TEST(RowLanes, StopCountsOnlyWhereTheJobSaysSo) {
  constexpr int kRows = 6;
  RecordingView view(RowTexts(kRows));
  std::atomic<int> running{0};
  RowLanes rowLanes(view, kRows);
  const int stoppedAt = rowLanes.Run(
      2, running, [](int row) { return row == 3; },
      [](engine::JobView& rowView, int row) { SlowFirstRows(rowView, row, kRows); });
  EXPECT_EQ(stoppedAt, 3);
  EXPECT_EQ(view.LogText(), ExpectedLog(3));
}

// A row may wait for an earlier one to finish (two rows that write the same file).
TEST(RowLanes, WaitUntilDoneWaitsForTheEarlierRow) {
  constexpr int kRows = 2;
  RecordingView view(RowTexts(kRows));
  std::atomic<int> running{1};
  std::atomic<bool> firstDone{false};
  bool firstDoneSeen = false;
  RowLanes rowLanes(view, kRows);
  rowLanes.Run(2, running, Always, [&](engine::JobView& rowView, int row) {
    if (row == 1) {
      rowLanes.WaitUntilDone(0);
      firstDoneSeen = firstDone.load();
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      firstDone = true;
    }
    rowView.AppendLog("row" + std::to_string(row) + "\r\n", 0);
  });
  EXPECT_TRUE(firstDoneSeen);
  EXPECT_EQ(view.LogText(), "row0\r\nrow1\r\n");
}

}  // namespace
