#include "widgets/draw_manager.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <set>

namespace {

QImage White(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  return image;
}

std::uint32_t At(const QImage& image, int x, int y) {
  return CDrawManager::FromQColor(image.pixelColor(x, y));
}

TEST(DrawManager, TenPixelGradientDrawsTenOfItsBands) {
  QImage image = White(3, 10);
  {
    QPainter painter(&image);
    CDrawManager draw;
    draw.FillEffect(painter, image.rect(), kEffectVGradient, 0x000000, 0, 0xFFFFFF);
  }
  std::set<std::uint32_t> colours;
  for (int row = 0; row < 10; ++row) {
    // Row r is painted by the band k with k * 10 / 64 == r and (k + 1) * 10 / 64 == r + 1.
    int k = 0;
    while (!((k * 10) / 64 == row && ((k + 1) * 10) / 64 == row + 1))
      ++k;
    const int grey = (255 * k) / 64;
    EXPECT_EQ(At(image, 1, row), CDrawManager::Rgb(grey, grey, grey)) << "row " << row;
    colours.insert(At(image, 1, row));
  }
  EXPECT_EQ(colours.size(), 10u);
  EXPECT_EQ(At(image, 1, 0), CDrawManager::Rgb(23, 23, 23));  // band 6
}

TEST(DrawManager, HalvesOfTheCentredGradients) {
  QImage image = White(128, 4);
  {
    QPainter painter(&image);
    CDrawManager draw;
    draw.FillEffect(painter, image.rect(), kEffectHCGradient, 0x000000, 0, 0xFFFFFF);
  }
  EXPECT_EQ(At(image, 0, 0), 0x000000u);
  EXPECT_EQ(At(image, 127, 0), CDrawManager::Rgb(3, 3, 3));  // band 63 of end -> start
  EXPECT_GT(image.pixelColor(63, 0).red(), 240);
  EXPECT_GT(image.pixelColor(64, 0).red(), 240);
}

TEST(DrawManager, VBumpWithEqualEndsShadesTowardsTheMiddleColour) {
  const std::uint32_t edge = 0xB3DFFD;
  const std::uint32_t middle = 0x84CBFB;
  QImage image = White(200, 6);
  {
    QPainter painter(&image);
    CDrawManager draw;
    draw.FillEffect(painter, image.rect(), kEffectVBump, edge, middle, edge, 0);
  }
  EXPECT_EQ(At(image, 0, 3), edge);
  EXPECT_EQ(At(image, 100, 3), middle);
  // Near both edges the colour is within a few steps of the edge colour.
  for (int x : {1, 198, 199}) {
    const QColor c = image.pixelColor(x, 3);
    EXPECT_NEAR(c.blue(), 179, 6) << x;
    EXPECT_NEAR(c.red(), 253, 2) << x;
  }
  // Every row is the same: no noise with granularity 0.
  for (int x = 0; x < 200; ++x)
    EXPECT_EQ(At(image, x, 0), At(image, x, 5)) << x;
}

TEST(DrawManager, PaletteRunsFromEndThroughMiddleToStart) {
  CPaletteDib dib;
  ASSERT_TRUE(dib.Create(4, 4));
  dib.CreateEffectPalette(0xFFFFFF, 0x808080, 0x000000);
  EXPECT_EQ(dib.PaletteEntry(0), 0x000000u);
  EXPECT_EQ(dib.PaletteEntry(64), 0x404040u);
  EXPECT_EQ(dib.PaletteEntry(128), CDrawManager::Rgb(128, 128, 128));  // (128 * 127 + 255) / 128
  EXPECT_EQ(dib.PaletteEntry(255), 0xFFFFFFu);
  EXPECT_FALSE(dib.Create(0, 5));
  EXPECT_TRUE(dib.IsEmpty());
}

TEST(DrawManager, ZeroWidthLinesAndBordersDrawNothing) {
  QImage image = White(20, 20);
  {
    QPainter painter(&image);
    CDrawManager draw;
    draw.DrawLine(painter, 0, 10, 19, 10, 0x000000, kPenSolid, 0);
    draw.DrawRectangle(painter, image.rect(), 0x000000, 0x000000, kPenSolid, 0);
    draw.DrawLine(painter, 0, 5, 19, 5, 0x0000FF, kPenDouble, -3);
  }
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x)
      ASSERT_EQ(At(image, x, y), 0xFFFFFFu) << x << "," << y;
}

TEST(DrawManager, DoubleLineAndBorderEdges) {
  QImage image = White(20, 20);
  {
    QPainter painter(&image);
    CDrawManager draw;
    draw.DrawLine(painter, 0, 2, 19, 2, 0x0000FF, kPenDouble, 1);
    draw.DrawRectangle(painter, QRect(5, 8, 10, 10), 0x00FF00, 0xFF0000, kPenSolid, 1);
  }
  EXPECT_EQ(At(image, 10, 2), 0x0000FFu);
  EXPECT_EQ(At(image, 10, 4), 0x0000FFu);  // 2 x width below
  EXPECT_EQ(At(image, 10, 3), 0xFFFFFFu);
  EXPECT_EQ(At(image, 5, 12), 0x00FF00u);   // left: light
  EXPECT_EQ(At(image, 14, 12), 0xFF0000u);  // right: dark
}

TEST(DrawManager, ColourHelpers) {
  EXPECT_EQ(CDrawManager::Grey(CDrawManager::Rgb(255, 0, 0)), CDrawManager::Rgb(76, 76, 76));
  EXPECT_EQ(CDrawManager::Invert(0x123456), 0xEDCBA9u);
  EXPECT_EQ(CDrawManager::Darken(CDrawManager::Rgb(200, 100, 40), 0.5),
            CDrawManager::Rgb(100, 50, 20));
  EXPECT_EQ(CDrawManager::Darken(0x123456, 1.5), 0x123456u);
  EXPECT_EQ(CDrawManager::Lighten(CDrawManager::Rgb(200, 100, 40), 0.25),
            CDrawManager::Rgb(250, 125, 50));
  EXPECT_EQ(CDrawManager::Lighten(CDrawManager::Rgb(250, 0, 0), 0.5), CDrawManager::Rgb(255, 0, 0));
  EXPECT_EQ(CDrawManager::Mix(0x000000, 0xFFFFFF, 0.5, 0.5), CDrawManager::Rgb(127, 127, 127));
}

TEST(DrawManager, ImagesThroughTheirMaskAndStyles) {
  QImage source(2, 1, QImage::Format_RGB32);
  source.setPixelColor(0, 0, QColor(255, 0, 255));  // the mask colour
  source.setPixelColor(1, 0, QColor(200, 100, 40));
  struct Case {
    int style;
    QColor expected;
  };
  const Case cases[] = {{0, QColor(200, 100, 40)},
                        {kImageGrey, QColor(123, 123, 123)},
                        {kImageDarker, QColor(150, 75, 30)},
                        {kImageSingleColour, QColor(128, 128, 128)}};
  for (const Case& c : cases) {
    QImage image = White(2, 1);
    {
      QPainter painter(&image);
      CDrawManager draw;
      draw.DrawImage(painter, QPoint(0, 0), QSize(2, 1), source, c.style);
    }
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::white)) << c.style;
    EXPECT_EQ(image.pixelColor(1, 0), c.expected) << c.style;
  }
}

TEST(DrawManager, EveryPaletteEffectFillsItsRectangle) {
  for (int effect = kEffectNoise; effect <= kEffectMetal; ++effect) {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(QColor(1, 2, 3));
    {
      QPainter painter(&image);
      CDrawManager draw;
      draw.FillEffect(painter, QRect(5, 5, 30, 20), effect, 0xFFFFFF, 0x808080, 0x000000, 10);
    }
    EXPECT_EQ(image.pixelColor(4, 4), QColor(1, 2, 3)) << effect;
    EXPECT_EQ(image.pixelColor(35, 25), QColor(1, 2, 3)) << effect;
    int untouched = 0;
    for (int y = 5; y < 25; ++y)
      for (int x = 5; x < 35; ++x)
        untouched += image.pixelColor(x, y) == QColor(1, 2, 3);
    EXPECT_EQ(untouched, 0) << effect;
  }
}

}  // namespace
