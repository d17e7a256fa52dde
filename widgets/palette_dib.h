// An 8-bit palette image: 256 colours and one index per pixel. The draw manager computes its
// textured backgrounds in one and draws it pixel-exactly.
#pragma once

#include <QImage>
#include <cstdint>

class QPainter;

class CPaletteDib {
 public:
  // Makes a width x height image with all indexes 0 and a black palette; replaces any earlier
  // image. Returns false (and holds nothing) for an empty size.
  bool Create(int width, int height);
  bool IsEmpty() const { return image_.isNull(); }
  int Width() const { return image_.width(); }
  int Height() const { return image_.height(); }

  // The palette of the effects: end colour at index 0, middle at 128, start at 255, with linear
  // steps between (0x00BBGGRR colours).
  void CreateEffectPalette(std::uint32_t start, std::uint32_t middle, std::uint32_t end);
  std::uint32_t PaletteEntry(int index) const;

  // Index access; value is taken modulo 256, positions outside the image are ignored.
  void SetPixel(int x, int y, int value);
  int Pixel(int x, int y) const;

  void Draw(QPainter& painter, int x, int y) const;
  const QImage& Image() const { return image_; }

 private:
  QImage image_;
};
