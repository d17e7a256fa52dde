// Placeholder until the progress bar lands.
#include "widgets/estimate_progress_ctrl.h"
CEstimateProgressCtrl::CEstimateProgressCtrl(QWidget* parent) : QProgressBar(parent) {}
void CEstimateProgressCtrl::ResetEstimate() {}
QString CEstimateProgressCtrl::GetProgressText() const { return {}; }
void CEstimateProgressCtrl::SetClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }
void CEstimateProgressCtrl::paintEvent(QPaintEvent* event) { QProgressBar::paintEvent(event); }
void CEstimateProgressCtrl::UpdateEstimate() {}
