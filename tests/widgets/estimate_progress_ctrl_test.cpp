#include "widgets/estimate_progress_ctrl.h"

#include <gtest/gtest.h>

#include <QImage>

namespace {

const QDateTime kStart(QDate(2026, 3, 14), QTime(9, 30, 0));

QRgb Rgb(const QImage& image, int x, int y) {
  return image.pixel(x, y) & 0xFFFFFFu;
}

// A bar of a fixed size with a clock the test moves by hand.
class EstimateProgressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bar_.resize(600, 24);
    bar_.setRange(0, 100);
    bar_.SetClock([this] { return now_; });
  }

  QImage Paint() { return bar_.grab().toImage().convertToFormat(QImage::Format_RGB32); }

  // Sets the value, paints (the first paint above 0 takes the start), and paints again later.
  QImage RunFor(int value, int seconds) {
    bar_.setValue(value);
    Paint();
    now_ = now_.addSecs(seconds);
    return Paint();
  }

  QRgb Highlight() const { return bar_.palette().color(QPalette::Highlight).rgb() & 0xFFFFFFu; }
  QRgb ButtonFace() const { return bar_.palette().color(QPalette::Button).rgb() & 0xFFFFFFu; }

  CEstimateProgressCtrl bar_;
  QDateTime now_ = kStart;
};

QString ExpectedText(const char* percent, const QDateTime& completion) {
  return QString::fromLatin1(percent) + QStringLiteral(" complete. Estimated completion: ") +
         CEstimateProgressCtrl::TimeOfDayText(completion.time());
}

TEST_F(EstimateProgressTest, HalfWayAfterTenMinutesEndsTenMinutesFromNowUntilReset) {
  RunFor(50, 600);
  EXPECT_EQ(bar_.EstimatedCompletion(), now_.addSecs(600));
  EXPECT_EQ(bar_.GetProgressText(), ExpectedText("50.00%", now_.addSecs(600)));

  bar_.ResetEstimate();
  EXPECT_TRUE(bar_.GetProgressText().isEmpty());
  bar_.setValue(50);
  Paint();  // new start: no time has elapsed in this run
  EXPECT_EQ(bar_.EstimatedCompletion(), now_);
}

TEST_F(EstimateProgressTest, FullBarFillsTheWidthAndEndsNow) {
  const QImage image = RunFor(100, 300);
  EXPECT_EQ(bar_.EstimatedCompletion(), now_);
  EXPECT_TRUE(bar_.GetProgressText().startsWith(QStringLiteral("100.00% complete.")));
  for (int x : {0, 1, 598, 599}) {
    EXPECT_EQ(Rgb(image, x, 0), Highlight()) << x;
  }
}

TEST_F(EstimateProgressTest, ShowsTheTimeOfDayOnlyAcrossMidnight) {
  now_ = QDateTime(QDate(2026, 1, 1), QTime(23, 55, 0));
  RunFor(50, 600);
  const QString text = bar_.GetProgressText();
  EXPECT_EQ(text, ExpectedText("50.00%", QDateTime(QDate(2026, 1, 2), QTime(0, 15, 0))));
  EXPECT_FALSE(text.contains(QStringLiteral("2026")));
  EXPECT_FALSE(text.contains(QStringLiteral("UTC")));
  EXPECT_EQ(CEstimateProgressCtrl::TimeOfDayText(QTime(0, 15, 0)).count(u':'), 2);
}

TEST_F(EstimateProgressTest, TextIsEmptyUntilTheFirstEstimateThenKeepsIt) {
  bar_.setValue(0);
  Paint();
  EXPECT_TRUE(bar_.GetProgressText().isEmpty());
  RunFor(25, 60);
  const QDateTime estimate = bar_.EstimatedCompletion();
  EXPECT_EQ(estimate, kStart.addSecs(240));
  bar_.setValue(0);
  now_ = kStart.addSecs(3600);
  Paint();
  EXPECT_EQ(bar_.EstimatedCompletion(), estimate);
  EXPECT_EQ(bar_.GetProgressText(), ExpectedText("0.00%", estimate));
}

TEST_F(EstimateProgressTest, EmptyOrResetRangeDrawsNoProgress) {
  bar_.reset();  // Qt's position below the range
  EXPECT_NO_FATAL_FAILURE(Paint());
  EXPECT_EQ(bar_.Fraction(), 0.0);
  bar_.setRange(0, 0);
  const QImage image = Paint();
  EXPECT_EQ(bar_.Fraction(), 0.0);
  EXPECT_TRUE(bar_.GetProgressText().isEmpty());
  EXPECT_EQ(Rgb(image, 0, 0), ButtonFace());
}

TEST_F(EstimateProgressTest, TextIsXoredOverBothPartsOfTheBar) {
  const QImage image = RunFor(50, 30);
  ASSERT_FALSE(bar_.GetProgressText().isEmpty());

  const QRgb overUnfilled = ButtonFace() ^ (~Highlight() & 0xFFFFFFu);
  int whiteOverFilled = 0;
  int textOverUnfilled = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb pixel = Rgb(image, x, y);
      if (x < 300) {
        ASSERT_TRUE(pixel == Highlight() || pixel == 0xFFFFFFu) << x << "," << y;
        whiteOverFilled += pixel == 0xFFFFFFu;
      } else {
        ASSERT_TRUE(pixel == ButtonFace() || pixel == overUnfilled) << x << "," << y;
        textOverUnfilled += pixel == overUnfilled;
      }
    }
  }
  EXPECT_GT(whiteOverFilled, 0);
  EXPECT_GT(textOverUnfilled, 0);
  EXPECT_EQ(Rgb(image, 2, 1), Highlight());
  EXPECT_EQ(Rgb(image, 597, 1), ButtonFace());
}

}  // namespace
