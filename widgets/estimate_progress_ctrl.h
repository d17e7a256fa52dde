// A progress bar that paints itself: the filled bar and, centred over it and drawn by XOR,
// "%.2f%% complete. Estimated completion: %s" with the clock time at which the work ends if it
// goes on at the rate seen so far.
#pragma once

#include <QDateTime>
#include <QProgressBar>
#include <QTime>
#include <functional>

class CEstimateProgressCtrl : public QProgressBar {
  Q_OBJECT

 public:
  explicit CEstimateProgressCtrl(QWidget* parent = nullptr);

  // Forgets the start and the estimate, so that the next run measures its own elapsed time.
  void ResetEstimate();
  // The text drawn over the bar: empty until the first estimate.
  virtual QString GetProgressText() const;

  // Tests give the bar a clock of their own (whole seconds, local time).
  void SetClock(std::function<QDateTime()> clock);

  // The estimate as last computed (invalid until the first one) and the share of the work done.
  QDateTime EstimatedCompletion() const { return estimated_; }
  double Fraction() const { return fraction_; }
  // The time of day in the system locale's long time format, without the time zone.
  static QString TimeOfDayText(const QTime& time);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  double CurrentFraction() const;
  void UpdateEstimate();
  void PaintXorText(QPainter& painter) const;

  std::function<QDateTime()> clock_;
  QDateTime start_;      // invalid until the first repaint with a position above 0
  QDateTime estimated_;  // invalid until the first estimate
  double remainingDays_ = 0.0;
  bool noEstimateYet_ = true;
  double fraction_ = 0.0;
};
