#include "widgets/estimate_progress_ctrl.h"

#include <QImage>
#include <QLocale>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

constexpr double kMsecsPerDay = 24.0 * 60.0 * 60.0 * 1000.0;

QDateTime SystemClockInWholeSeconds() {
  QDateTime now = QDateTime::currentDateTime();
  now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
  return now;
}

// Drops the time-zone fields ("t") of a locale time format, with the blanks before them;
// quoted literal text is kept as it is.
QString WithoutTimeZone(const QString& format) {
  QString out;
  bool quoted = false;
  for (QChar c : format) {
    if (c == u'\'') quoted = !quoted;
    if (!quoted && c == u't') {
      while (out.endsWith(u' '))
        out.chop(1);
      continue;
    }
    out += c;
  }
  return out.trimmed();
}

}  // namespace

CEstimateProgressCtrl::CEstimateProgressCtrl(QWidget* parent)
    : QProgressBar(parent), clock_(SystemClockInWholeSeconds) {
  setTextVisible(false);
}

void CEstimateProgressCtrl::ResetEstimate() {
  estimated_ = QDateTime();
  start_ = QDateTime();
  noEstimateYet_ = true;
  fraction_ = 0.0;
}

QString CEstimateProgressCtrl::TimeOfDayText(const QTime& time) {
  const QLocale locale = QLocale::system();
  QString format = WithoutTimeZone(locale.timeFormat(QLocale::LongFormat));
  if (format.isEmpty()) format = QStringLiteral("HH:mm:ss");
  return locale.toString(time, format);
}

QString CEstimateProgressCtrl::GetProgressText() const {
  if (noEstimateYet_ || !estimated_.isValid()) return {};
  return QString::asprintf("%.2f%% complete. Estimated completion: %s", fraction_ * 100.0,
                           qUtf8Printable(TimeOfDayText(estimated_.time())));
}

void CEstimateProgressCtrl::SetClock(std::function<QDateTime()> clock) {
  clock_ = clock ? std::move(clock) : std::function<QDateTime()>(SystemClockInWholeSeconds);
}

double CEstimateProgressCtrl::CurrentFraction() const {
  // The lower bound of the range is not used. A position below 0 (Qt's "reset" value) or an
  // empty range counts as no progress rather than as a negative or infinite share.
  if (maximum() <= 0 || value() <= 0) return 0.0;
  return std::min(1.0, static_cast<double>(value()) / maximum());
}

void CEstimateProgressCtrl::UpdateEstimate() {
  const QDateTime now = clock_();
  if (!now.isValid()) return;
  if (!start_.isValid()) start_ = now;
  const double elapsedMsecs = static_cast<double>(start_.msecsTo(now));
  const double totalMsecs = elapsedMsecs / fraction_;
  estimated_ = start_.addMSecs(std::llround(totalMsecs));
  remainingDays_ = (totalMsecs - elapsedMsecs) / kMsecsPerDay;
  noEstimateYet_ = false;
}

void CEstimateProgressCtrl::paintEvent(QPaintEvent*) {
  fraction_ = CurrentFraction();
  if (fraction_ > 0.0) UpdateEstimate();

  QPainter painter(this);
  const QRect area = rect();
  painter.fillRect(area, palette().color(QPalette::Button));
  const int filledWidth = static_cast<int>(area.width() * fraction_);
  if (filledWidth > 0) {
    painter.fillRect(QRect(area.left(), area.top(), filledWidth, area.height()),
                     palette().color(QPalette::Highlight));
  }
  PaintXorText(painter);
}

// The text goes onto a black image in the inverse of the highlight colour; XOR-ing that image
// onto the bar leaves the bar untouched where the image is black, shows the text white over the
// filled part and in (button face ^ inverse highlight) over the rest. Glyphs are drawn without
// anti-aliasing, since XOR turns blended edge pixels into stray colours.
void CEstimateProgressCtrl::PaintXorText(QPainter& painter) const {
  const QString text = GetProgressText();
  if (text.isEmpty() || width() <= 0 || height() <= 0) return;
  const qreal ratio = devicePixelRatioF();
  QImage overlay(size() * ratio, QImage::Format_RGB32);
  overlay.setDevicePixelRatio(ratio);
  overlay.fill(Qt::black);
  {
    QPainter textPainter(&overlay);
    QFont crisp = font();
    crisp.setStyleStrategy(QFont::NoAntialias);
    textPainter.setFont(crisp);
    const QRgb inverse = ~palette().color(QPalette::Highlight).rgb() & 0xFFFFFFu;
    textPainter.setPen(QColor::fromRgb(inverse));
    textPainter.drawText(QRect(QPoint(0, 0), size()), Qt::AlignCenter | Qt::TextSingleLine, text);
  }
  painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  painter.drawImage(QPoint(0, 0), overlay);
}
