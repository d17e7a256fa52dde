#include "workspace/view_job_adapter.h"

#include <QMetaObject>
#include <QThread>
#include <string>
#include <vector>

#include "widgets/app_message_box.h"
#include "widgets/estimate_progress_ctrl.h"
#include "widgets/tessel_list_ctrl.h"
#include "workspace/tessel_view.h"

// The jobs speak the message box's numbers.
static_assert(engine::kMbIconInformation == kMbNotice);
static_assert(engine::kMbYesNoQuestion == kMbConfirmation);
static_assert(engine::kIdOk == kIdOk && engine::kIdYes == kIdYes && engine::kIdNo == kIdNo);

namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::size_t BarIndex(engine::ProgressBar bar) {
  return bar == engine::ProgressBar::kFile ? 0 : 1;
}

}  // namespace

CViewJobAdapter::CViewJobAdapter(CTesselMSOfficeDotmProjView* view) : view_(view) {}

bool CViewJobAdapter::OnGuiThread() const {
  return QThread::currentThread() == view_->thread();
}

template <class Call>
void CViewJobAdapter::Post(Call call) {
  if (OnGuiThread()) {
    call();
    return;
  }
  QMetaObject::invokeMethod(view_, std::move(call), Qt::QueuedConnection);
}

template <class Result, class Call>
Result CViewJobAdapter::Ask(Call call, Result whenClosing) {
  if (OnGuiThread()) return call();
  if (closing_.load()) return whenClosing;
  Result result = whenClosing;
  // The queue keeps the order: everything posted before this question is served first.
  QMetaObject::invokeMethod(
      view_,
      [this, &call, &result] {
        if (!closing_.load()) result = call();
      },
      Qt::BlockingQueuedConnection);
  return result;
}

void CViewJobAdapter::AppendLog(std::string_view text, std::uint32_t colour) {
  Post([view = view_, line = FromUtf8(text), colour] { view->AppendLog(line, colour); });
}

void CViewJobAdapter::ClearLog() {
  Post([view = view_] { view->SetLogText(QString()); });
}

int CViewJobAdapter::RowCount() {
  return Ask([view = view_] { return view->List()->RowCount(); }, 0);
}

std::string CViewJobAdapter::RowText(int row) {
  return Ask(
      [view = view_, row] {
        if (row < 0 || row >= view->List()->RowCount()) return std::string();
        return view->List()->RowText(row).toStdString();
      },
      std::string());
}

int CViewJobAdapter::RowData(int row) {
  return Ask(
      [view = view_, row] {
        if (row < 0 || row >= view->List()->RowCount()) return 0;
        return view->List()->RowData(row);
      },
      0);
}

void CViewJobAdapter::SetRowData(int row, int data) {
  Post([view = view_, row, data] {
    if (row >= 0 && row < view->List()->RowCount()) view->List()->SetRowData(row, data);
  });
}

void CViewJobAdapter::SetRowImage(int row, int image) {
  Post([view = view_, row, image] {
    if (row >= 0 && row < view->List()->RowCount()) view->List()->SetRowImage(row, image);
  });
}

void CViewJobAdapter::ResetEstimate(engine::ProgressBar bar) {
  lastPos_[BarIndex(bar)] = -1;
  Post([view = view_, bar] { view->ProgressBar(bar)->ResetEstimate(); });
}

void CViewJobAdapter::SetProgressRange(engine::ProgressBar bar, int upper) {
  lastPos_[BarIndex(bar)] = -1;
  Post([view = view_, bar, upper] { view->ProgressBar(bar)->setRange(0, std::max(0, upper)); });
}

void CViewJobAdapter::SetProgressPos(engine::ProgressBar bar, int pos) {
  // The file loop reports every part; a repeated position would only cost a queued call.
  int& last = lastPos_[BarIndex(bar)];
  if (!OnGuiThread() && pos == last) return;
  last = pos;
  Post([view = view_, bar, pos] { view->ProgressBar(bar)->setValue(pos); });
}

void CViewJobAdapter::ShowProgressArea(bool fileBar, bool totalBar) {
  Post([view = view_, fileBar, totalBar] { view->ShowProgressArea(fileBar, totalBar); });
}

void CViewJobAdapter::EnableSelect(bool enable) {
  Post([view = view_, enable] { view->EnableSelect(enable); });
}

void CViewJobAdapter::EnableRepair(bool enable) {
  Post([view = view_, enable] { view->EnableRepair(enable); });
}

void CViewJobAdapter::EnableSaveControls(bool enable) {
  Post([view = view_, enable] { view->EnableSaveControls(enable); });
}

void CViewJobAdapter::ShowStop(bool show) {
  Post([view = view_, show] { view->ShowStop(show); });
}

void CViewJobAdapter::SetInstruction(std::string_view text,
                                     std::span<const engine::TextRange> bold) {
  Post([view = view_, line = FromUtf8(text),
        ranges = std::vector<engine::TextRange>(bold.begin(), bold.end())] {
    view->SetInstruction(line, ranges);
  });
}

void CViewJobAdapter::ShowPreview(std::string_view path, int mode) {
  Post([view = view_, picture = FromUtf8(path), mode] { view->ShowPreview(picture, mode); });
}

int CViewJobAdapter::MessageBox(std::string_view text, std::string_view caption, unsigned style) {
  return Ask([view = view_, message = FromUtf8(text), title = FromUtf8(caption),
              style] { return AppMessageBox(view, message, title, style); },
             UnaskedAnswer(style));
}

std::string CViewJobAdapter::DestinationText() {
  return Ask([view = view_] { return view->DestinationText().toStdString(); }, std::string());
}

bool CViewJobAdapter::ExtractMediaChecked() {
  return Ask([view = view_] { return view->ExtractMediaChecked(); }, false);
}
