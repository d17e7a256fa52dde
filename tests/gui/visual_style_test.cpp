// The progress bars of every visual style: the XOR text reads on the filled and on the empty
// part, measured on the painted pixels.
#include "app/visual_style.h"

#include <QImage>
#include <QProgressBar>
#include <cmath>
#include <map>

#include "app/command_ids.h"
#include "tests/gui/gui_test_support.h"
#include "widgets/estimate_progress_ctrl.h"

namespace {

double Linear(int channel) {
  const double c = channel / 255.0;
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(QRgb rgb) {
  return 0.2126 * Linear(qRed(rgb)) + 0.7152 * Linear(qGreen(rgb)) + 0.0722 * Linear(qBlue(rgb));
}

double Contrast(QRgb a, QRgb b) {
  const double la = Luminance(a);
  const double lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Per part of the bar (filled or empty): the background (the most frequent colour) and the
// lowest contrast of any other colour there, i.e. of the text.
struct Part {
  int textPixels = 0;
  double worst = 100.0;
};

Part Measure(const QImage& image, int from, int to) {
  std::map<QRgb, int> counts;
  for (int y = 0; y < image.height(); ++y)
    for (int x = from; x < to; ++x)
      ++counts[image.pixel(x, y) & 0xFFFFFFu];
  QRgb background = 0;
  int most = 0;
  for (const auto& [colour, count] : counts) {
    if (count > most) {
      most = count;
      background = colour;
    }
  }
  Part part;
  for (const auto& [colour, count] : counts) {
    if (colour == background) continue;
    part.textPixels += count;
    part.worst = std::min(part.worst, Contrast(colour, background));
  }
  return part;
}

}  // namespace

class VisualStyleTest : public QObject {
  Q_OBJECT

 private slots:
  void progressTextReadsOnBothPartsInEveryStyle() {
    for (int look = app_ids::kLookDefault; look <= app_ids::kLookOffice2007Aqua; ++look) {
      ApplyVisualStyle(look);
      CEstimateProgressCtrl bar;
      bar.SetClock([] { return QDateTime(QDate(2026, 12, 9), QTime(10, 0, 0)); });
      bar.resize(700, 24);
      bar.setRange(0, 100);
      bar.setValue(50);
      const QImage shot = bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
      QVERIFY(!bar.GetProgressText().isEmpty());
      const Part filled = Measure(shot, 0, 350);
      const Part empty = Measure(shot, 350, 700);
      const QByteArray where = QByteArray::number(look);
      QVERIFY2(filled.textPixels > 50 && empty.textPixels > 50, where.constData());
      QVERIFY2(filled.worst >= 4.5,
               (where + " filled part: " + QByteArray::number(filled.worst)).constData());
      QVERIFY2(empty.worst >= 4.5,
               (where + " empty part: " + QByteArray::number(empty.worst)).constData());
    }
  }
};

BRENVIK_GUI_TEST_MAIN(VisualStyleTest)
#include "visual_style_test.moc"
