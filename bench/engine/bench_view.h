// Views for the engine benchmarks: a job view that shows nothing, and one whose file list holds
// one package.
#pragma once

#include <string>
#include <utility>

#include "engine/job_view.h"

namespace enginebench {

class NullView : public engine::JobView {
 public:
  void AppendLog(std::string_view, std::uint32_t) override {}
  void ClearLog() override {}
  int RowCount() override { return 0; }
  std::string RowText(int) override { return {}; }
  int RowData(int) override { return 0; }
  void SetRowData(int, int) override {}
  void SetRowImage(int, int) override {}
  void ResetEstimate(engine::ProgressBar) override {}
  void SetProgressRange(engine::ProgressBar, int) override {}
  void SetProgressPos(engine::ProgressBar, int) override {}
  void ShowProgressArea(bool, bool) override {}
  void EnableSelect(bool) override {}
  void EnableRepair(bool) override {}
  void EnableSaveControls(bool) override {}
  void ShowStop(bool) override {}
  void SetInstruction(std::string_view, std::span<const engine::TextRange>) override {}
  void ShowPreview(std::string_view, int) override {}
  int MessageBox(std::string_view, std::string_view, unsigned) override { return engine::kIdOk; }
  std::string DestinationText() override { return {}; }
  bool ExtractMediaChecked() override { return false; }
};

// The file list of the repair job: one package.
class OneRowView : public NullView {
 public:
  explicit OneRowView(std::string package) : package_(std::move(package)) {}
  int RowCount() override { return 1; }
  std::string RowText(int) override { return package_; }

 private:
  std::string package_;
};

}  // namespace enginebench
