// The jobs' view for the command line: the listed rows come from the arguments, the log goes
// to standard output, progress and messages to standard error.
#pragma once

#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/job_view.h"

namespace cli {

struct ConsoleStreams {
  std::FILE* out = stdout;
  std::FILE* err = stderr;
  bool colour = false;    // green and red log lines as ANSI colours (out is a terminal)
  bool progress = false;  // a single updating progress line on err (err is a terminal)
};

class ConsoleView : public engine::JobView {
 public:
  ConsoleView(std::vector<std::string> files, std::string destination, bool extractMedia,
              ConsoleStreams streams);

  void AppendLog(std::string_view text, std::uint32_t colour) override;
  void ClearLog() override {}
  int RowCount() override;
  std::string RowText(int row) override;
  int RowData(int row) override;
  void SetRowData(int row, int data) override;
  void SetRowImage(int row, int image) override;
  void ResetEstimate(engine::ProgressBar) override {}
  void SetProgressRange(engine::ProgressBar bar, int upper) override;
  void SetProgressPos(engine::ProgressBar bar, int pos) override;
  void ShowProgressArea(bool fileBar, bool totalBar) override;
  void EnableSelect(bool) override {}
  void EnableRepair(bool) override {}
  void EnableSaveControls(bool) override {}
  void ShowStop(bool) override {}
  void SetInstruction(std::string_view, std::span<const engine::TextRange>) override {}
  void ShowPreview(std::string_view, int) override {}
  int MessageBox(std::string_view text, std::string_view caption, unsigned style) override;
  std::string DestinationText() override { return destination_; }
  bool ExtractMediaChecked() override { return extractMedia_; }

  void RowFinished(engine::JobKind job, int row, engine::RowResult result) override;

  // The program's exit status from the rows' results (never from the log's text):
  // kExitAllSaved when every row was repaired and saved whole, kExitSomeFailed when any row was
  // not repaired or not saved, kExitSomeIncomplete when all were saved but some parts are cut
  // short, damaged or lost.
  int ExitStatus() const;

 private:
  struct Row {
    std::string text;
    int data = 0;
    std::optional<engine::RowResult> repaired;
    std::optional<engine::RowResult> saved;
  };
  struct Bar {
    int upper = 0, pos = 0;
  };

  void DrawProgress(bool force);
  void ClearProgressLine();

  mutable std::mutex mutex_;
  std::vector<Row> rows_;
  std::string destination_;
  bool extractMedia_;
  ConsoleStreams streams_;
  std::map<engine::ProgressBar, Bar> bars_;
  bool fileBarShown_ = false;
  bool totalBarShown_ = false;
  bool progressLineShown_ = false;
  std::chrono::steady_clock::time_point lastDraw_{};
};

// The message markup as plain text: "<br>" becomes a line break, other tags are dropped and
// the common entities are decoded.
std::string PlainTextFromMarkup(std::string_view markup);

}  // namespace cli
