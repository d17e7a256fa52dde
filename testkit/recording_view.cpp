#include "testkit/recording_view.h"

namespace testsupport {

using engine::ProgressBar;

namespace {
const char* BarName(ProgressBar bar) {
  return bar == ProgressBar::kFile ? "file" : "total";
}
}  // namespace

RecordingView::RecordingView(std::vector<std::string> rowTexts) {
  for (auto& text : rowTexts)
    rows.push_back(Row{std::move(text)});
}

void RecordingView::Record(std::string call) {
  std::lock_guard lock(mutex_);
  calls_.push_back(std::move(call));
}

void RecordingView::AppendLog(std::string_view text, std::uint32_t colour) {
  std::vector<std::function<void()>> fire;
  {
    std::lock_guard lock(mutex_);
    log_.push_back({std::string(text), colour});
    calls_.push_back("AppendLog(" + std::string(text) + ")");
    for (auto& [trigger, action] : triggers_) {
      if (action && text.find(trigger) != std::string_view::npos) {
        fire.push_back(std::move(action));
        action = nullptr;
      }
    }
  }
  for (auto& action : fire)
    action();
}

void RecordingView::ClearLog() {
  {
    std::lock_guard lock(mutex_);
    log_.clear();
  }
  Record("ClearLog()");
}

int RecordingView::RowCount() {
  return static_cast<int>(rows.size());
}
std::string RecordingView::RowText(int row) {
  return rows.at(static_cast<size_t>(row)).text;
}
int RecordingView::RowData(int row) {
  return rows.at(static_cast<size_t>(row)).data;
}

void RecordingView::SetRowData(int row, int data) {
  rows.at(static_cast<size_t>(row)).data = data;
  Record("SetRowData(" + std::to_string(row) + "," + std::to_string(data) + ")");
}

void RecordingView::SetRowImage(int row, int image) {
  rows.at(static_cast<size_t>(row)).image = image;
  Record("SetRowImage(" + std::to_string(row) + "," + std::to_string(image) + ")");
}

void RecordingView::ResetEstimate(ProgressBar bar) {
  Record(std::string("ResetEstimate(") + BarName(bar) + ")");
}

void RecordingView::SetProgressRange(ProgressBar bar, int upper) {
  barRange[bar] = upper;
  Record(std::string("SetProgressRange(") + BarName(bar) + "," + std::to_string(upper) + ")");
}

void RecordingView::SetProgressPos(ProgressBar bar, int pos) {
  barPos[bar] = pos;
  Record(std::string("SetProgressPos(") + BarName(bar) + "," + std::to_string(pos) + ")");
}

void RecordingView::ShowProgressArea(bool fileBar, bool totalBar) {
  fileBarShown = fileBar;
  totalBarShown = totalBar;
  Record("ShowProgressArea(" + std::to_string(fileBar) + "," + std::to_string(totalBar) + ")");
}

void RecordingView::EnableSelect(bool enable) {
  canSelect = enable;
  Record("EnableSelect(" + std::to_string(enable) + ")");
}

void RecordingView::EnableRepair(bool enable) {
  canRepair = enable;
  Record("EnableRepair(" + std::to_string(enable) + ")");
}

void RecordingView::EnableSaveControls(bool enable) {
  canSave = enable;
  Record("EnableSaveControls(" + std::to_string(enable) + ")");
}

void RecordingView::ShowStop(bool show) {
  stopShown = show;
  Record("ShowStop(" + std::to_string(show) + ")");
}

void RecordingView::SetInstruction(std::string_view text, std::span<const engine::TextRange> bold) {
  instruction = std::string(text);
  instructionBold.assign(bold.begin(), bold.end());
  Record("SetInstruction(" + instruction + ")");
}

void RecordingView::ShowPreview(std::string_view path, int mode) {
  previewPath = std::string(path);
  previewMode = mode;
  Record("ShowPreview(" + previewPath + "," + std::to_string(mode) + ")");
}

int RecordingView::MessageBox(std::string_view text, std::string_view caption, unsigned style) {
  int answer = engine::IsQuestion(style) ? engine::kIdYes : engine::kIdOk;
  {
    std::lock_guard lock(mutex_);
    messages_.push_back({std::string(text), std::string(caption), style});
    calls_.push_back("MessageBox(" + std::string(text) + ")");
    if (!answers_.empty()) {
      answer = answers_.front();
      answers_.pop_front();
    }
  }
  return answer;
}

std::string RecordingView::DestinationText() {
  return destination;
}
bool RecordingView::ExtractMediaChecked() {
  return extractMedia;
}

std::string RecordingView::LogText() const {
  std::lock_guard lock(mutex_);
  std::string all;
  for (const auto& line : log_)
    all += line.text;
  return all;
}

std::vector<LogLine> RecordingView::Log() const {
  std::lock_guard lock(mutex_);
  return log_;
}

std::vector<std::string> RecordingView::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::vector<RecordingView::Message> RecordingView::Messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

void RecordingView::QueueAnswer(int answer) {
  std::lock_guard lock(mutex_);
  answers_.push_back(answer);
}

void RecordingView::OnLogContaining(std::string trigger, std::function<void()> action) {
  std::lock_guard lock(mutex_);
  triggers_.emplace_back(std::move(trigger), std::move(action));
}

void RecordingView::RowFinished(engine::JobKind job, int row, engine::RowResult result) {
  std::lock_guard lock(mutex_);
  finished_.push_back({job, row, result});
}

std::vector<RecordingView::Finished> RecordingView::FinishedRows() const {
  std::lock_guard lock(mutex_);
  return finished_;
}

}  // namespace testsupport
