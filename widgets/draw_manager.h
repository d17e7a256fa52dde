// Drawing primitives of the message box and the markup renderer: background fills by effect
// number (gradients and textured palette effects), lines and borders in pen styles, colour
// arithmetic on 0x00BBGGRR values, and images drawn grey, darker, lighter, in one colour or
// with a shadow.
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <cstdint>
#include <random>

#include "widgets/palette_dib.h"

class QPainter;

// Background effects; any number not listed (and kEffectSolid) fills with the start colour.
enum DrawEffect : int {
  kEffectTransparent = -1,
  kEffectSolid = 0,
  kEffectHGradient = 1,
  kEffectVGradient = 2,
  kEffectHCGradient = 3,
  kEffectVCGradient = 4,
  kEffect3HGradient = 5,
  kEffect3VGradient = 6,
  kEffectNoise = 7,
  kEffectDiagShade = 8,
  kEffectHShade = 9,
  kEffectVShade = 10,
  kEffectHBump = 11,
  kEffectVBump = 12,
  kEffectSoftBump = 13,
  kEffectHardBump = 14,
  kEffectMetal = 15,
};

// Pen types of lines and borders; any other value is solid.
enum PenType : int {
  kPenSolid = 1,
  kPenDash = 2,
  kPenDot = 3,
  kPenDashDot = 4,
  kPenDashDotDot = 5,
  kPenDouble = 6,
};

// Image style bits.
inline constexpr int kImageGrey = 0x1;
inline constexpr int kImageDarker = 0x2;
inline constexpr int kImageLighter = 0x4;
inline constexpr int kImageSingleColour = 0x8;
inline constexpr int kImageShadow = 0x100;
inline constexpr int kImageGradientShadow = 0x200;

struct ImageShadow {
  int offsetX = 4;
  int offsetY = 4;
  int darkness = 50;  // percent of black at the shadow's core
};

class CDrawManager {
 public:
  CDrawManager();

  // Fills rect with effect. granularity (0-255) is the noise of the palette effects.
  void FillEffect(QPainter& painter, const QRect& rect, int effect, std::uint32_t start,
                  std::uint32_t middle, std::uint32_t end, int granularity = 0);
  // 64 solid bands from start to end, left to right or top to bottom.
  void DrawGradient(QPainter& painter, const QRect& rect, std::uint32_t start, std::uint32_t end,
                    bool horizontal);
  // Nothing for a width of 0 or less. A double line adds a second one 2 x width away (below a
  // horizontal line, to the right of others).
  void DrawLine(QPainter& painter, int x1, int y1, int x2, int y2, std::uint32_t colour,
                int penType, int width);
  // Left and top edges light, right and bottom dark, each inset by width / 2.
  void DrawRectangle(QPainter& painter, const QRect& rect, std::uint32_t light, std::uint32_t dark,
                     int penType, int width);
  // image stretched to size at pos; pixels of maskColour stay transparent; style bits above.
  void DrawImage(QPainter& painter, QPoint pos, QSize size, const QImage& image, int style,
                 std::uint32_t maskColour = 0xFF00FF, std::uint32_t singleColour = 0x808080,
                 const ImageShadow& shadow = {});
  bool LastImageHadAlpha() const { return lastImageHadAlpha_; }

  // The palette image of the last palette effect (for tests and the renderer).
  const CPaletteDib& PaletteImage() const { return dib_; }

  static std::uint32_t Grey(std::uint32_t colour);
  static std::uint32_t Invert(std::uint32_t colour);
  static std::uint32_t Darken(std::uint32_t colour, double factor);
  static std::uint32_t Lighten(std::uint32_t colour, double factor);
  static std::uint32_t Mix(std::uint32_t a, std::uint32_t b, double weightA, double weightB);

  static QColor ToQColor(std::uint32_t colour);
  static std::uint32_t FromQColor(const QColor& colour);
  static std::uint32_t Rgb(int red, int green, int blue);

 private:
  void FillPaletteEffect(QPainter& painter, const QRect& rect, int effect, int granularity);
  void ComputeHardBump(int granularity);
  void ComputeMetal(int granularity);
  int Random();  // 0-32767
  int Noise(int granularity);

  CPaletteDib dib_;
  std::minstd_rand random_;
  bool lastImageHadAlpha_ = false;
};
