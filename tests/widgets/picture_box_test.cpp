#include "widgets/picture_box.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

namespace {

QRgb Rgb(const QImage& image, int x, int y) {
  return image.pixel(x, y) & 0xFFFFFFu;
}

// Pixel (x, y) of the pattern has red x and green y, so a drawn pixel names its source.
QRgb PatternAt(int x, int y) {
  return qRgb(x % 256, y % 256, 0x80) & 0xFFFFFFu;
}

QImage CoordinatePattern(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      image.setPixel(x, y, PatternAt(x, y));
  }
  return image;
}

class PictureBoxTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.isValid()); }

  QString SaveImage(const QImage& image, const QString& name) {
    const QString path = folder_.filePath(name);
    EXPECT_TRUE(image.save(path, "PNG"));
    return path;
  }

  QImage Paint(int width, int height) {
    box_.resize(width, height);
    return box_.grab().toImage().convertToFormat(QImage::Format_RGB32);
  }

  QRgb Face() const { return box_.palette().color(QPalette::Button).rgb() & 0xFFFFFFu; }

  // Counts pixels that are not the button face: in the whole image, or inside the hint's area.
  int Ink(const QImage& image, bool hintAreaOnly) const {
    const int edge = hintAreaOnly ? 1 : 0;
    int ink = 0;
    for (int y = hintAreaOnly ? 20 : 0; y < image.height() - edge; ++y) {
      for (int x = hintAreaOnly ? 10 : 0; x < image.width() - edge; ++x)
        ink += Rgb(image, x, y) != Face();
    }
    return ink;
  }

  QTemporaryDir folder_;
  CPictureBox box_;
};

TEST_F(PictureBoxTest, HintTextsByIndex) {
  const char* expected[] = {
      "No .dotm file(s) is available\n in the list",
      "Select .dotm file(s)\n to repair",
      "Please wait while .dotm file(s)\n are repairing....",
      "Select .dotm file(s)\n to see preview",
      "No image is present \n in the selected .dotm file(s)",
      "Selected .dotm file(s)\n is not repaired....",
  };
  for (int i = 0; i < CPictureBox::kHintCount; ++i) {
    EXPECT_EQ(CPictureBox::HintText(i), QString::fromLatin1(expected[i])) << i;
  }
  EXPECT_TRUE(CPictureBox::HintText(-1).isEmpty());
  EXPECT_TRUE(CPictureBox::HintText(6).isEmpty());
}

TEST_F(PictureBoxTest, StartsCentredAndDrawsTheHintOnlyForAKnownIndex) {
  EXPECT_EQ(box_.DrawMode(), 1);
  EXPECT_EQ(box_.HintIndex(), 0);
  for (int hint : {4, 6, -1}) {
    box_.SetImage(QString(), hint);
    EXPECT_FALSE(box_.HasImage());
    EXPECT_EQ(Ink(Paint(300, 120), true) > 0, hint == 4) << hint;
  }
}

TEST_F(PictureBoxTest, FailedLoadDrawsNeitherPictureNorHint) {
  QFile notAPicture(folder_.filePath(QStringLiteral("notes.png")));
  ASSERT_TRUE(notAPicture.open(QIODevice::WriteOnly));
  notAPicture.write("this is plain text, not a picture\n");
  notAPicture.close();
  for (const QString& path :
       {notAPicture.fileName(), folder_.filePath(QStringLiteral("gone.png"))}) {
    SCOPED_TRACE(path.toStdString());
    box_.SetImage(path, 4);
    EXPECT_TRUE(box_.HasImage());
    EXPECT_FALSE(box_.ImageLoaded());
    EXPECT_EQ(Ink(Paint(300, 120), false), 0);
  }
}

TEST_F(PictureBoxTest, LoadedFileIsNotHeldOpen) {
  const QString path = SaveImage(CoordinatePattern(30, 30), QStringLiteral("p.png"));
  box_.SetImage(path, 4);
  ASSERT_TRUE(box_.ImageLoaded());
  EXPECT_TRUE(QFile::remove(path));
  EXPECT_TRUE(box_.ImageLoaded());
}

// Mode 1 places the picture at (width / 2 - image width / 2, height / 2 - image height / 2),
// each half truncated, cutting a large picture on every side.
TEST_F(PictureBoxTest, CentredModeCutsLargePictureOnBothSides) {
  struct Case {
    int boxW, boxH, imageW, imageH;
  };
  for (const Case& c : {Case{100, 60, 200, 100}, Case{101, 61, 201, 101}, Case{120, 80, 21, 11}}) {
    SCOPED_TRACE(testing::Message()
                 << c.boxW << "x" << c.boxH << " " << c.imageW << "x" << c.imageH);
    box_.SetImage(SaveImage(CoordinatePattern(c.imageW, c.imageH), QStringLiteral("c.png")), 4);
    const QImage image = Paint(c.boxW, c.boxH);
    const int left = c.boxW / 2 - c.imageW / 2;
    const int top = c.boxH / 2 - c.imageH / 2;
    for (int y = 0; y < c.boxH; y += 7) {
      for (int x = 0; x < c.boxW; x += 5) {
        const int ix = x - left;
        const int iy = y - top;
        if (ix < 0 || iy < 0 || ix >= c.imageW || iy >= c.imageH) continue;
        ASSERT_EQ(Rgb(image, x, y), PatternAt(ix, iy)) << x << "," << y;
      }
    }
    if (left > 0) {
      EXPECT_EQ(Rgb(image, left - 1, top), Face());
    }
  }
}

TEST_F(PictureBoxTest, TopLeftModeDrawsAtTheOrigin) {
  box_.SetDrawMode(0);
  box_.SetImage(SaveImage(CoordinatePattern(200, 100), QStringLiteral("t.png")), 4);
  const QImage image = Paint(100, 60);
  EXPECT_EQ(Rgb(image, 0, 0), PatternAt(0, 0));
  EXPECT_EQ(Rgb(image, 99, 59), PatternAt(99, 59));
}

TEST_F(PictureBoxTest, StretchedModeCoversTheWholeBox) {
  QImage quarters(40, 40, QImage::Format_RGB32);
  quarters.fill(Qt::red);
  QPainter(&quarters).fillRect(20, 20, 20, 20, QColor(0, 0, 255));
  box_.SetDrawMode(2);
  box_.SetImage(SaveImage(quarters, QStringLiteral("q.png")), 4);
  const QImage image = Paint(300, 100);
  EXPECT_EQ(Rgb(image, 0, 0), 0xFF0000u);
  EXPECT_EQ(Rgb(image, 100, 30), 0xFF0000u);
  EXPECT_EQ(Rgb(image, 200, 70), 0x0000FFu);
  EXPECT_EQ(Rgb(image, 299, 99), 0x0000FFu);
}

}  // namespace
