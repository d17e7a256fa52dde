// A JobView that records every call, for the engine's tests.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "engine/job_view.h"

namespace testsupport {

struct LogLine {
  std::string text;
  std::uint32_t colour;
  bool operator==(const LogLine&) const = default;
};
// Log lines in test failures: the text and its colour, not the bytes of the object.
inline void PrintTo(const LogLine& line, std::ostream* out) {
  *out << '"' << line.text << "\" colour " << line.colour;
}

struct Row {
  std::string text;
  int data = 0;
  int image = engine::kRowListed;
};

class RecordingView : public engine::JobView {
 public:
  explicit RecordingView(std::vector<std::string> rowTexts = {});

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
  void RowFinished(engine::JobKind job, int row, engine::RowResult result) override;

  // The whole log as one text, and as lines with colours.
  std::string LogText() const;
  std::vector<LogLine> Log() const;
  // Every call in order, as short readable strings ("ShowPreview(,2)", "EnableSelect(1)", ...).
  std::vector<std::string> Calls() const;

  struct Message {
    std::string text, caption;
    unsigned style;
  };
  std::vector<Message> Messages() const;

  // The rows' results as the jobs reported them, in order (kept apart from Calls()).
  struct Finished {
    engine::JobKind job;
    int row;
    engine::RowResult result;
    bool operator==(const Finished&) const = default;
  };
  std::vector<Finished> FinishedRows() const;

  // Answers for the next message boxes, in order; kIdOk (or kIdYes for yes/no) when empty.
  void QueueAnswer(int answer);
  // Runs action (once) when the log receives a line containing trigger: tests use it to press
  // Stop at a chosen moment.
  void OnLogContaining(std::string trigger, std::function<void()> action);

  std::vector<Row> rows;
  std::string destination;
  bool extractMedia = true;
  bool canSelect = false, canRepair = false, canSave = false, stopShown = false;
  bool fileBarShown = false, totalBarShown = false;
  std::map<engine::ProgressBar, int> barRange, barPos;
  std::string instruction;
  std::vector<engine::TextRange> instructionBold;
  std::string previewPath;
  int previewMode = -1;

 private:
  void Record(std::string call);

  mutable std::mutex mutex_;
  std::vector<LogLine> log_;
  std::vector<std::string> calls_;
  std::vector<Message> messages_;
  std::vector<Finished> finished_;
  std::deque<int> answers_;
  std::vector<std::pair<std::string, std::function<void()>>> triggers_;
};

}  // namespace testsupport
