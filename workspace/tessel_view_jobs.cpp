// The repair and save jobs as the view runs them: preparation on the GUI thread, the work on
// one worker thread, and the Stop command.
#include <QCoreApplication>
#include <QPushButton>
#include <QThread>

#include "engine/job_texts.h"
#include "engine/media_lookup.h"
#include "engine/repair_job.h"
#include "engine/save_job.h"
#include "engine/working_folder.h"
#include "widgets/app_message_box.h"
#include "widgets/tessel_list_ctrl.h"
#include "workspace/job_thread.h"
#include "workspace/tessel_view.h"
#include "workspace/view_job_adapter.h"

void CTesselMSOfficeDotmProjView::FillJobParam() {
  m_JobParam.pView = adapter_.get();
  m_JobParam.pJobRunning = jobRunning_;
  m_JobParam.workingFolder = engine::GetWorkingFolder();
}

void CTesselMSOfficeDotmProjView::OnRepairFiles() {
  // Without its private folder nothing could be extracted: say why instead of failing every file.
  std::string refusal;
  if (engine::GetWorkingFolder(&refusal).empty()) {
    AppMessageBox(
        this,
        QStringLiteral("The private temporary folder of the program cannot be used:<br>") +
            EscapeMessageText(QString::fromStdString(refusal)),
        QStringLiteral("Brenvik Viva Zadado"), kMbIconInformation);
    return;
  }
  // A job that has just ended may still be winding down; the record is not shared with it.
  WaitForWorker();
  FillJobParam();
  m_bListRepaired = 1;
  engine::PrepareRepairJob(m_JobParam);
  StartWorker(&engine::RepairWorker);
}

void CTesselMSOfficeDotmProjView::OnSaveFiles() {
  engine::JobThreadParam param;
  param.pView = adapter_.get();
  param.pJobRunning = jobRunning_;
  param.workingFolder = engine::GetWorkingFolder();
  if (!engine::PrepareSaveJob(param)) return;  // a job runs: the user has been told
  WaitForWorker();
  m_JobParam = param;
  StartWorker(&engine::SaveWorker);
}

void CTesselMSOfficeDotmProjView::OnStopJob() {
  const int answer =
      AppMessageBox(this,
                    QString::fromUtf8(engine::kMsgConfirmStop.data(),
                                      static_cast<qsizetype>(engine::kMsgConfirmStop.size())),
                    QStringLiteral("Brenvik Viva Zadado"), kMbYesNo | kMbIconQuestion);
  if (answer != kIdYes) return;
  stopButton_->setEnabled(false);
  if (jobRunning_) jobRunning_->store(0);
}

int CTesselMSOfficeDotmProjView::OnShowItemPreview(int row) {
  const bool listed = row >= 0 && row < list_->RowCount();
  const std::string text = listed ? list_->RowText(row).toStdString() : std::string();
  const engine::PreviewChoice choice =
      engine::LookupPreview(engine::GetWorkingFolder(), text, listed ? row : -1);
  if (choice.show) ShowPreview(QString::fromStdString(choice.path), choice.mode);
  return choice.result;
}

void CTesselMSOfficeDotmProjView::StartWorker(int (*worker)(const engine::JobThreadParam*)) {
  const engine::JobThreadParam* param = &m_JobParam;
  worker_ = std::make_unique<CJobThread>(
      this, [worker, param] { worker(param); }, [this] { OnWorkerEnded(); });
}

void CTesselMSOfficeDotmProjView::OnWorkerEnded() {
  // Only the thread whose work has returned is joined here; WaitForWorker may have done it.
  if (worker_ && worker_->Finished()) {
    worker_->Join();
    worker_.reset();
    emit flagsChanged();
    emit jobFinished();
  }
}

bool CTesselMSOfficeDotmProjView::WorkerActive() const {
  return worker_ != nullptr;
}

void CTesselMSOfficeDotmProjView::WaitForWorker() {
  if (!worker_) return;
  // The worker may be waiting for an answer from this thread: keep serving its calls.
  while (!worker_->Finished()) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5);
    if (!worker_) return;  // its end was handled while events were served
    QThread::msleep(1);
  }
  // Serve the calls it queued last, then join it.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  OnWorkerEnded();
}
