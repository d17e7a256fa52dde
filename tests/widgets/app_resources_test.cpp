// The artwork reaches a program that merely links the resource library.
#include <gtest/gtest.h>

#include <QImage>
#include <QString>

namespace {

struct Artwork {
  const char* name;
  int width;
  int height;
};

constexpr Artwork kArtwork[] = {
    {"header_left.png", 842, 72},
    {"header_fill.png", 100, 72},
    {"footer_fill.png", 820, 62},
    {"footer_left.png", 64, 62},
    {"list_background.png", 850, 300},
    {"list_states.png", 60, 20},
    {"logo.png", 250, 50},
    {"app_icon.png", 256, 256},
    {"splash.png", 460, 260},
    {"about_background.png", 360, 334},
    {"btn_select.png", 24, 24},
    {"btn_remove.png", 24, 24},
    {"btn_repair.png", 24, 24},
    {"btn_save.png", 24, 24},
    {"btn_stop.png", 24, 24},
    {"btn_exit.png", 24, 24},
    {"btn_browse.png", 24, 24},
    {"tb_select.png", 48, 48},
    {"tb_remove.png", 48, 48},
    {"tb_repair.png", 48, 48},
    {"tb_browse.png", 48, 48},
    {"tb_save.png", 48, 48},
    {"tb_help.png", 48, 48},
    {"tb_about.png", 48, 48},
};

TEST(AppResources, EveryPictureLoadsInItsAgreedSize) {
  for (const Artwork& art : kArtwork) {
    const QImage image(QStringLiteral(":/res/") + QString::fromLatin1(art.name));
    SCOPED_TRACE(art.name);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), art.width);
    EXPECT_EQ(image.height(), art.height);
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
