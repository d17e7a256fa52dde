// The artwork reaches a program that merely links the resource library.
#include <gtest/gtest.h>

#include <QImage>
#include <QSize>
#include <QString>
#include <vector>

namespace {

struct ArtworkOfOneSize {
  QSize size;
  std::vector<const char*> names;
};

TEST(AppResources, EveryPictureLoadsInItsAgreedSize) {
  const ArtworkOfOneSize kArtwork[] = {
      {QSize(842, 72), {"header_left.png"}},
      {QSize(100, 72), {"header_fill.png"}},
      {QSize(820, 62), {"footer_fill.png"}},
      {QSize(64, 62), {"footer_left.png"}},
      {QSize(850, 300), {"list_background.png"}},
      {QSize(60, 20), {"list_states.png"}},
      {QSize(250, 50), {"logo.png"}},
      {QSize(256, 256), {"app_icon.png"}},
      {QSize(460, 260), {"splash.png"}},
      {QSize(360, 334), {"about_background.png"}},
      {QSize(16, 16), {"btn_ok.png"}},
      {QSize(24, 24),
       {"btn_select.png", "btn_remove.png", "btn_repair.png", "btn_save.png", "btn_stop.png",
        "btn_exit.png", "btn_browse.png"}},
      {QSize(48, 48),
       {"tb_select.png", "tb_remove.png", "tb_repair.png", "tb_browse.png", "tb_save.png",
        "tb_help.png", "tb_about.png"}},
  };
  for (const ArtworkOfOneSize& size : kArtwork) {
    for (const char* name : size.names) {
      SCOPED_TRACE(name);
      const QImage image(QStringLiteral(":/res/") + QString::fromLatin1(name));
      ASSERT_FALSE(image.isNull());
      EXPECT_EQ(image.size(), size.size);
    }
  }
}

TEST(AppResources, SplashKeepsTheKeyColourOutsideTheCard) {
  const QImage splash(QStringLiteral(":/res/splash.png"));
  ASSERT_FALSE(splash.isNull());
  // Corners are the key colour exactly; the middle of the card is not.
  EXPECT_EQ(splash.pixel(0, 0) & 0xFFFFFFu, 0xFF00FFu);
  EXPECT_EQ(splash.pixel(459, 259) & 0xFFFFFFu, 0xFF00FFu);
  EXPECT_NE(splash.pixel(230, 130) & 0xFFFFFFu, 0xFF00FFu);
}

}  // namespace
