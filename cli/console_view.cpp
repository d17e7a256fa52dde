#include "cli/console_view.h"

#include <array>
#include <utility>

#include "cli/cli_options.h"
#include "engine/job_texts.h"

namespace cli {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

std::string WithUnixLineEnds(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    result += text[i];
  }
  return result;
}

const char* AnsiColour(std::uint32_t colour) {
  if (colour == engine::kLogGreen) return "\033[32m";
  if (colour == engine::kLogRed) return "\033[31m";
  return nullptr;
}

int Percent(int pos, int upper) {
  return upper > 0 ? static_cast<int>(100LL * pos / upper) : 0;
}

}  // namespace

std::string PlainTextFromMarkup(std::string_view markup) {
  static constexpr std::array<std::pair<std::string_view, char>, 5> kEntities{
      {{"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&#39;", '\''}}};
  std::string text;
  std::size_t i = 0;
  while (i < markup.size()) {
    if (markup[i] == '<') {
      const std::size_t close = markup.find('>', i);
      if (close == std::string_view::npos) break;  // an unclosed tag ends the text
      const std::string_view tag = markup.substr(i, close - i + 1);
      if (tag == "<br>" || tag == "<br/>" || tag == "<br />") text += '\n';
      i = close + 1;
      continue;
    }
    bool decoded = false;
    for (const auto& [entity, character] : kEntities) {
      if (markup.substr(i).starts_with(entity)) {
        text += character;
        i += entity.size();
        decoded = true;
        break;
      }
    }
    if (!decoded) text += markup[i++];
  }
  return text;
}

ConsoleView::ConsoleView(std::vector<std::string> files, std::string destination, bool extractMedia,
                         ConsoleStreams streams)
    : destination_(std::move(destination)), extractMedia_(extractMedia), streams_(streams) {
  for (auto& file : files)
    rows_.push_back(Row{std::move(file)});
}

void ConsoleView::AppendLog(std::string_view text, std::uint32_t colour) {
  std::lock_guard lock(mutex_);
  ClearProgressLine();
  const std::string line = WithUnixLineEnds(text);
  const char* ansi = streams_.colour ? AnsiColour(colour) : nullptr;
  if (ansi != nullptr) {
    // The colour ends before the line break, so that nothing else on the terminal takes it.
    const std::size_t body = line.find_last_not_of('\n') + 1;
    std::fprintf(streams_.out, "%s%.*s\033[0m%s", ansi, static_cast<int>(body), line.c_str(),
                 line.c_str() + body);
  } else {
    std::fputs(line.c_str(), streams_.out);
  }
  std::fflush(streams_.out);
  DrawProgress(true);
}

void ConsoleView::RowFinished(engine::JobKind job, int row, engine::RowResult result) {
  std::lock_guard lock(mutex_);
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return;
  Row& entry = rows_[static_cast<std::size_t>(row)];
  (job == engine::JobKind::kRepair ? entry.repaired : entry.saved) = result;
}

int ConsoleView::ExitStatus() const {
  std::lock_guard lock(mutex_);
  bool incomplete = false;
  for (const auto& row : rows_) {
    for (const auto& result : {row.repaired, row.saved}) {
      // A row that a job never reached was not saved either.
      if (!result || *result == engine::RowResult::kFailed) return kExitSomeFailed;
      if (*result == engine::RowResult::kIncomplete) incomplete = true;
    }
  }
  return incomplete ? kExitSomeIncomplete : kExitAllSaved;
}

int ConsoleView::RowCount() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(rows_.size());
}

std::string ConsoleView::RowText(int row) {
  std::lock_guard lock(mutex_);
  return rows_.at(static_cast<std::size_t>(row)).text;
}

int ConsoleView::RowData(int row) {
  std::lock_guard lock(mutex_);
  return rows_.at(static_cast<std::size_t>(row)).data;
}

void ConsoleView::SetRowData(int row, int data) {
  std::lock_guard lock(mutex_);
  rows_.at(static_cast<std::size_t>(row)).data = data;
}

void ConsoleView::SetRowImage(int, int) {}

void ConsoleView::SetProgressRange(engine::ProgressBar bar, int upper) {
  std::lock_guard lock(mutex_);
  bars_[bar].upper = upper;
  DrawProgress(false);
}

void ConsoleView::SetProgressPos(engine::ProgressBar bar, int pos) {
  std::lock_guard lock(mutex_);
  bars_[bar].pos = pos;
  DrawProgress(false);
}

void ConsoleView::ShowProgressArea(bool fileBar, bool totalBar) {
  std::lock_guard lock(mutex_);
  fileBarShown_ = fileBar;
  totalBarShown_ = totalBar;
  if (fileBar || totalBar) {
    DrawProgress(true);
  } else {
    ClearProgressLine();
  }
}

int ConsoleView::MessageBox(std::string_view text, std::string_view, unsigned style) {
  std::lock_guard lock(mutex_);
  ClearProgressLine();
  std::fprintf(streams_.err, "%s\n", PlainTextFromMarkup(text).c_str());
  std::fflush(streams_.err);
  // Nobody can answer a question here; no question asked by the jobs may proceed unanswered.
  return engine::UnaskedAnswer(style);
}

void ConsoleView::DrawProgress(bool force) {
  if (!streams_.progress || !(fileBarShown_ || totalBarShown_)) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && now - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = now;
  const Bar file = bars_[engine::ProgressBar::kFile];
  const Bar total = bars_[engine::ProgressBar::kTotal];
  std::fputs("\r\033[K", streams_.err);
  if (fileBarShown_)
    std::fprintf(streams_.err, "File progress: %3d%%  ", Percent(file.pos, file.upper));
  if (totalBarShown_)
    std::fprintf(streams_.err, "Total files progress: %d/%d", total.pos, total.upper);
  std::fflush(streams_.err);
  progressLineShown_ = true;
}

void ConsoleView::ClearProgressLine() {
  if (!progressLineShown_) return;
  std::fputs("\r\033[K", streams_.err);
  std::fflush(streams_.err);
  progressLineShown_ = false;
}

}  // namespace cli
