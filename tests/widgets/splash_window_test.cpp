// The splash window: its shape from the picture's colour key, its place, and how it goes away
// (by time, by a click, or never by time).
#include "widgets/splash_window.h"

#include <gtest/gtest.h>

#include <QPointer>
#include <QScreen>
#include <QTest>
#include <cstring>
#include <vector>

namespace {

constexpr QRgb kMagenta = 0xFFFF00FF;
constexpr QRgb kBlue = 0xFF2B579A;

// A picture drawn from rows of characters: '#' opaque, '.' magenta.
QImage Picture(const std::vector<const char*>& rows) {
  QImage image(int(std::strlen(rows[0])), int(rows.size()), QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x)
      image.setPixel(x, y, rows[std::size_t(y)][x] == '#' ? kBlue : kMagenta);
  }
  return image;
}

TEST(SplashRegion, RunsAreCollectedFromTheBottomRowUp) {
  const QImage picture = Picture({
      "..##..",
      "#.#..#",
      "######",
  });
  const std::vector<QRect> runs = CSplashWindow::OpaqueRuns(picture, 0xFF00FF);
  const std::vector<QRect> expected{QRect(0, 2, 6, 1), QRect(0, 1, 1, 1), QRect(2, 1, 1, 1),
                                    QRect(5, 1, 1, 1), QRect(2, 0, 2, 1)};
  EXPECT_EQ(runs, expected);
  const QRegion region = CSplashWindow::RegionFromImage(picture, 0xFF00FF);
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      EXPECT_EQ(region.contains(QPoint(x, y)), picture.pixel(x, y) == kBlue) << x << "," << y;
    }
  }
}

TEST(SplashRegion, AllMagentaGivesAnEmptyRegion) {
  EXPECT_TRUE(CSplashWindow::RegionFromImage(Picture({"...", "..."}), 0xFF00FF).isEmpty());
  EXPECT_EQ(CSplashWindow::RegionFromImage(Picture({"###"}), 0xFF00FF), QRegion(0, 0, 3, 1));
}

TEST(SplashRegion, TheArtworkHasRoundCornersAndAWholeBody) {
  const QImage splash(QStringLiteral(":/res/splash.png"));
  ASSERT_EQ(splash.size(), QSize(460, 260));
  const QRegion region = CSplashWindow::RegionFromImage(splash, 0xFF00FF);
  EXPECT_FALSE(region.contains(QPoint(0, 0)));
  EXPECT_FALSE(region.contains(QPoint(459, 259)));
  EXPECT_TRUE(region.contains(QPoint(230, 130)));
  EXPECT_TRUE(region.contains(QPoint(230, 0)));
  EXPECT_TRUE(region.contains(QPoint(0, 130)));
  // No key-coloured fringe inside the shape.
  for (const QRect& run : region) {
    for (int x = run.left(); x <= run.right(); ++x) {
      const QRgb pixel = splash.pixel(x, run.top());
      const bool pinkish = qRed(pixel) > 200 && qBlue(pixel) > 200 && qGreen(pixel) < 120;
      ASSERT_FALSE(pinkish) << x << "," << run.top();
    }
  }
}

TEST(SplashWindow, CreateGivesATopmostToolWindowCentredOnTheScreen) {
  QWidget frame;
  QPointer<CSplashWindow> splash = new CSplashWindow;
  ASSERT_TRUE(splash->Create(&frame));
  EXPECT_EQ(splash->Style(), 0x0Fu);
  EXPECT_EQ(splash->HideDelay(), 2000);
  EXPECT_TRUE(splash->Text().isEmpty());
  EXPECT_TRUE(splash->isWindow());
  EXPECT_EQ(splash->windowType(), Qt::SplashScreen);  // a tool window with no task-bar entry
  EXPECT_TRUE(splash->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(splash->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(splash->testAttribute(Qt::WA_ShowWithoutActivating));
  ASSERT_TRUE(splash->SetBitmap(QStringLiteral(":/res/splash.png")));
  EXPECT_EQ(splash->size(), QSize(460, 260));
  EXPECT_EQ(splash->TextRect(), QRect(0, 0, 460, 260));
  const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(splash->geometry().center(), work.center());
  EXPECT_EQ(splash->mask(), splash->Shape());
  EXPECT_FALSE(splash->isVisible());  // created hidden
  delete splash;
}

TEST(SplashWindow, CentresOnItsParentWhenAskedTo) {
  QWidget frame;
  frame.setGeometry(100, 100, 800, 600);
  auto* splash = new CSplashWindow;
  splash->Create(&frame);
  splash->SetStyle(CSplashWindow::SPLASH_CENTER_PARENT);
  splash->SetBitmap(Picture({"####", "####"}));
  EXPECT_EQ(splash->geometry().center(), frame.frameGeometry().center());
  delete splash;
}

TEST(SplashWindow, FadesInAndIsGoneAfterItsDelay) {
  QWidget frame;
  QPointer<CSplashWindow> splash = new CSplashWindow;
  splash->Create(&frame);
  splash->SetBitmap(QStringLiteral(":/res/splash.png"));
  splash->SetHideDelay(700);
  splash->Show();
  EXPECT_TRUE(splash->isVisible());
  EXPECT_LT(splash->windowOpacity(), 0.5);  // starts transparent
  EXPECT_TRUE(QTest::qWaitFor([&] { return splash && splash->windowOpacity() > 0.99; }, 650));
  EXPECT_TRUE(splash);
  EXPECT_TRUE(QTest::qWaitFor([&] { return splash.isNull(); }, 2000));  // faded out, deleted
}

TEST(SplashWindow, AClickHidesItOnlyWithHideOnClick) {
  for (bool hideOnClick : {false, true}) {
    QWidget frame;
    QPointer<CSplashWindow> splash = new CSplashWindow;
    splash->Create(&frame);
    splash->SetBitmap(Picture({"####", "####"}));
    splash->SetHideDelay(0);  // never by time
    if (hideOnClick) {
      splash->SetStyle(splash->Style() | CSplashWindow::SPLASH_HIDE_ON_CLICK);
    }
    splash->Show();
    QTest::mousePress(splash.data(), Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
    QTest::qWait(400);
    EXPECT_EQ(splash.isNull(), hideOnClick) << hideOnClick;
    if (splash) {
      QTest::keyClick(splash.data(), Qt::Key_Space);
      QTest::qWait(50);
      EXPECT_TRUE(splash);  // keys do nothing either
      EXPECT_TRUE(splash->isVisible());
    }
  }
}

TEST(SplashWindow, AMissingPictureShowsNothingButStillGoesAway) {
  QWidget frame;
  QPointer<CSplashWindow> splash = new CSplashWindow;
  splash->Create(&frame);
  EXPECT_FALSE(splash->SetBitmap(QStringLiteral(":/res/no-such-picture.png")));
  splash->SetHideDelay(50);
  splash->Show();
  EXPECT_EQ(splash->size(), QSize(0, 0));
  EXPECT_FALSE(splash->isVisible());
  EXPECT_TRUE(QTest::qWaitFor([&] { return splash.isNull(); }, 1000));
}

TEST(SplashWindow, GoesWithItsParent) {
  auto* frame = new QWidget;
  QPointer<CSplashWindow> splash = new CSplashWindow;
  splash->Create(frame);
  splash->SetBitmap(Picture({"#"}));
  splash->Show();
  delete frame;
  EXPECT_TRUE(splash.isNull());
}

}  // namespace
