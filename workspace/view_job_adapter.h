// The workspace as the jobs see it: every call of a worker reaches the view on the GUI thread,
// in the order it was made. Calls that return something block the worker until the GUI thread
// has answered. Called on the GUI thread itself, each call goes straight to the view.
#pragma once

#include <array>
#include <atomic>

#include "engine/job_view.h"

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

 private:
  bool OnGuiThread() const;
  template <class Call>
  void Post(Call call);
  template <class Result, class Call>
  Result Ask(Call call, Result whenClosing);

  CTesselMSOfficeDotmProjView* view_;
  std::atomic<bool> closing_{false};
  // The last position sent per bar (worker side): repeated positions are not sent again.
  std::array<int, 2> lastPos_{-1, -1};
};
