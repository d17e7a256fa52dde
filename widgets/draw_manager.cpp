#include "widgets/draw_manager.h"

#include <QPainter>
#include <QPen>
#include <algorithm>

namespace {

constexpr int kBands = 64;

int Channel(std::uint32_t colour, int index) {
  return static_cast<int>((colour >> (8 * index)) & 0xFF);
}

std::uint32_t FromChannels(int red, int green, int blue) {
  const auto clamp = [](int v) { return static_cast<std::uint32_t>(std::clamp(v, 0, 255)); };
  return clamp(red) | (clamp(green) << 8) | (clamp(blue) << 16);
}

std::uint32_t BandColour(std::uint32_t start, std::uint32_t end, int k) {
  int c[3];
  for (int i = 0; i < 3; ++i)
    c[i] = (Channel(start, i) * (kBands - k) + Channel(end, i) * k) / kBands;
  return FromChannels(c[0], c[1], c[2]);
}

// (value - 127)^3 / 16384: -125 ... 128, the shape of every bump.
int Cube(int value) {
  const long long d = value - 127;
  return static_cast<int>(d * d * d / 16384);
}

Qt::PenStyle QtPenStyle(int penType) {
  switch (penType) {
    case kPenDash:
      return Qt::DashLine;
    case kPenDot:
      return Qt::DotLine;
    case kPenDashDot:
      return Qt::DashDotLine;
    case kPenDashDotDot:
      return Qt::DashDotDotLine;
    default:
      return Qt::SolidLine;
  }
}

}  // namespace

CDrawManager::CDrawManager() : random_(12345u) {}

QColor CDrawManager::ToQColor(std::uint32_t colour) {
  return QColor(Channel(colour, 0), Channel(colour, 1), Channel(colour, 2));
}

std::uint32_t CDrawManager::FromQColor(const QColor& colour) {
  return FromChannels(colour.red(), colour.green(), colour.blue());
}

std::uint32_t CDrawManager::Rgb(int red, int green, int blue) {
  return FromChannels(red, green, blue);
}

std::uint32_t CDrawManager::Grey(std::uint32_t colour) {
  const int grey = static_cast<int>(0.299 * Channel(colour, 0) + 0.587 * Channel(colour, 1) +
                                    0.114 * Channel(colour, 2));
  return FromChannels(grey, grey, grey);
}

std::uint32_t CDrawManager::Invert(std::uint32_t colour) {
  return (colour ^ 0xFFFFFFu) & 0xFFFFFFu;
}

std::uint32_t CDrawManager::Darken(std::uint32_t colour, double factor) {
  if (factor >= 1.0) return colour;
  return FromChannels(static_cast<int>(Channel(colour, 0) * factor),
                      static_cast<int>(Channel(colour, 1) * factor),
                      static_cast<int>(Channel(colour, 2) * factor));
}

std::uint32_t CDrawManager::Lighten(std::uint32_t colour, double factor) {
  if (factor > 1.0) return colour;
  return FromChannels(std::min(255, static_cast<int>(Channel(colour, 0) * (1.0 + factor))),
                      std::min(255, static_cast<int>(Channel(colour, 1) * (1.0 + factor))),
                      std::min(255, static_cast<int>(Channel(colour, 2) * (1.0 + factor))));
}

std::uint32_t CDrawManager::Mix(std::uint32_t a, std::uint32_t b, double weightA, double weightB) {
  int c[3];
  for (int i = 0; i < 3; ++i)
    c[i] = static_cast<int>(weightB * Channel(b, i) + weightA * Channel(a, i));
  return FromChannels(c[0], c[1], c[2]);
}

int CDrawManager::Random() {
  return static_cast<int>(random_() % 32768u);
}

int CDrawManager::Noise(int granularity) {
  const int divisor = granularity == 0 ? 32767 : std::max(1, 32767 / (2 * granularity));
  return Random() / divisor - granularity;
}

void CDrawManager::DrawGradient(QPainter& painter, const QRect& rect, std::uint32_t start,
                                std::uint32_t end, bool horizontal) {
  const int size = horizontal ? rect.width() : rect.height();
  for (int k = 0; k < kBands; ++k) {
    const int from = (k * size) / kBands;
    const int to = ((k + 1) * size) / kBands;
    if (to <= from) continue;
    const QRect band = horizontal ? QRect(rect.left() + from, rect.top(), to - from, rect.height())
                                  : QRect(rect.left(), rect.top() + from, rect.width(), to - from);
    painter.fillRect(band, ToQColor(BandColour(start, end, k)));
  }
}

void CDrawManager::FillEffect(QPainter& painter, const QRect& rect, int effect, std::uint32_t start,
                              std::uint32_t middle, std::uint32_t end, int granularity) {
  if (rect.isEmpty() || effect == kEffectTransparent) return;
  const int g = std::clamp(granularity, 0, 255);
  const int halfW = rect.width() / 2;
  const int halfH = rect.height() / 2;
  const QRect left(rect.left(), rect.top(), halfW, rect.height());
  const QRect right(rect.left() + halfW, rect.top(), rect.width() - halfW, rect.height());
  const QRect top(rect.left(), rect.top(), rect.width(), halfH);
  const QRect bottom(rect.left(), rect.top() + halfH, rect.width(), rect.height() - halfH);
  switch (effect) {
    case kEffectHGradient:
      DrawGradient(painter, rect, start, end, true);
      return;
    case kEffectVGradient:
      DrawGradient(painter, rect, start, end, false);
      return;
    case kEffectHCGradient:
      DrawGradient(painter, left, start, end, true);
      DrawGradient(painter, right, end, start, true);
      return;
    case kEffectVCGradient:
      DrawGradient(painter, top, start, end, false);
      DrawGradient(painter, bottom, end, start, false);
      return;
    case kEffect3HGradient:
      DrawGradient(painter, left, start, middle, true);
      DrawGradient(painter, right, middle, end, true);
      return;
    case kEffect3VGradient:
      DrawGradient(painter, top, start, middle, false);
      DrawGradient(painter, bottom, middle, end, false);
      return;
    default:
      break;
  }
  if (effect < kEffectNoise || effect > kEffectMetal) {
    painter.fillRect(rect, ToQColor(start));
    return;
  }
  if (!dib_.Create(rect.width(), rect.height())) return;
  dib_.CreateEffectPalette(start, middle, end);
  FillPaletteEffect(painter, rect, effect, g);
}

void CDrawManager::FillPaletteEffect(QPainter& painter, const QRect& rect, int effect, int g) {
  const int w = rect.width();
  const int h = rect.height();
  const int o = 255 - 2 * g;
  const auto bump = [g](int a, int n) { return 128 + (Cube(a / n) * (128 - g)) / 128; };
  if (effect == kEffectHardBump) {
    ComputeHardBump(g);
  } else if (effect == kEffectMetal) {
    ComputeMetal(g);
  } else {
    for (int row = 0; row < h; ++row) {
      for (int column = 0; column < w; ++column) {
        int value = 0;
        switch (effect) {
          case kEffectNoise:
            value = 128;
            break;
          case kEffectDiagShade:
            value = g + (row * (o / 2)) / h + ((w - column) * (o / 2)) / w;
            break;
          case kEffectHShade:
            value = g + (row * o) / h;
            break;
          case kEffectVShade:
            value = g + ((w - column) * o) / w;
            break;
          case kEffectHBump:
            value = bump(row * 255, h);
            break;
          case kEffectVBump:
            value = bump((w - column) * 255, w);
            break;
          case kEffectSoftBump: {
            const int v = Cube(row * 255 / h);
            const int u = Cube((w - column) * 255 / w);
            value = std::max(g, 128 + ((v + u) * (128 - g)) / 128);
            if (value > 255 - g) value = 255 - g;
            break;
          }
          default:
            break;
        }
        dib_.SetPixel(column, row, value + Noise(g));
      }
    }
  }
  dib_.Draw(painter, rect.left(), rect.top());
}

// A row ramp with a shaded band along the left (light) and right (dark) edges.
void CDrawManager::ComputeHardBump(int g) {
  const int w = dib_.Width();
  const int h = dib_.Height();
  const int band = std::min(w / 6, 16);
  for (int row = 0; row < h; ++row) {
    const int ramp = 128 + Cube(row * 255 / h) * (64 - g) * 2 / 128;
    for (int column = 0; column < w; ++column) {
      int value = ramp + Noise(g);
      if (band > 0 && column < band) {
        const int t = band - column;
        value += (t * t * 96) / (band * band);
      } else if (band > 0 && column >= w - band) {
        const int t = column - (w - band) + 1;
        value -= (t * t * 96) / (band * band);
      }
      dib_.SetPixel(column, row, std::clamp(value, 0, 255));
    }
  }
}

// Random diagonal streaks over index 0, then a ramp across rows and columns with some grain.
void CDrawManager::ComputeMetal(int g) {
  const int w = dib_.Width();
  const int h = dib_.Height();
  const int o = 255 - 2 * g;
  const int side = std::max(1, std::min(w, h));
  for (int streak = 0; streak < 200; ++streak) {
    const int x0 = Random() % w;
    const int y0 = Random() % h;
    const int length = Random() % side;
    const int index = Random() % 41;
    for (int i = 0; i < length; ++i)
      dib_.SetPixel(x0 + i, y0 + i, index);
  }
  const int ramp = std::max(0, (o - 40) / 2);
  for (int row = 0; row < h; ++row) {
    for (int column = 0; column < w; ++column) {
      const int value = dib_.Pixel(column, row) + (row * ramp) / h + (column * ramp) / w +
                        (g > 0 ? Random() % (g + 1) : 0);
      dib_.SetPixel(column, row, std::min(value, 255));
    }
  }
}

void CDrawManager::DrawLine(QPainter& painter, int x1, int y1, int x2, int y2, std::uint32_t colour,
                            int penType, int width) {
  if (width <= 0) return;
  QPen pen(ToQColor(colour), width, QtPenStyle(penType), Qt::FlatCap);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(pen);
  painter.drawLine(x1, y1, x2, y2);
  if (penType == kPenDouble) {
    const int gap = 2 * width;
    if (y1 == y2) {
      painter.drawLine(x1, y1 + gap, x2, y2 + gap);
    } else {
      painter.drawLine(x1 + gap, y1, x2 + gap, y2);
    }
  }
  painter.restore();
}

void CDrawManager::DrawRectangle(QPainter& painter, const QRect& rect, std::uint32_t light,
                                 std::uint32_t dark, int penType, int width) {
  if (width <= 0 || rect.isEmpty()) return;
  const int inset = width / 2;
  const auto frame = [&](const QRect& r) {
    const int l = r.left() + inset;
    const int t = r.top() + inset;
    const int rt = r.right() - inset;
    const int b = r.bottom() - inset;
    const int type = penType == kPenDouble ? kPenSolid : penType;
    DrawLine(painter, l, t, rt, t, light, type, width);
    DrawLine(painter, l, t, l, b, light, type, width);
    DrawLine(painter, rt, t, rt, b, dark, type, width);
    DrawLine(painter, l, b, rt, b, dark, type, width);
  };
  frame(rect);
  if (penType == kPenDouble) {
    const int gap = 2 * width;
    const QRect inner = rect.adjusted(gap, gap, -gap, -gap);
    if (!inner.isEmpty()) frame(inner);
  }
}

void CDrawManager::DrawImage(QPainter& painter, QPoint pos, QSize size, const QImage& image,
                             int style, std::uint32_t maskColour, std::uint32_t singleColour,
                             const ImageShadow& shadow) {
  if (image.isNull() || size.isEmpty()) return;
  QImage styled =
      (image.size() == size ? image
                            : image.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation))
          .convertToFormat(QImage::Format_ARGB32);
  lastImageHadAlpha_ = false;
  const QRgb key = ToQColor(maskColour).rgb() & 0xFFFFFFu;
  QImage shape(styled.size(), QImage::Format_ARGB32);
  shape.fill(Qt::transparent);
  for (int y = 0; y < styled.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(styled.scanLine(y));
    auto* shadowLine = reinterpret_cast<QRgb*>(shape.scanLine(y));
    for (int x = 0; x < styled.width(); ++x) {
      const QRgb pixel = line[x];
      if ((pixel & 0xFFFFFFu) == key) {
        line[x] = 0;
        continue;
      }
      const int alpha = qAlpha(pixel);
      if (alpha != 255) lastImageHadAlpha_ = true;
      std::uint32_t colour = FromQColor(QColor::fromRgb(pixel));
      if (style & kImageGrey) colour = Grey(colour);
      if (style & kImageDarker) colour = Darken(colour, 0.75);
      if (style & kImageLighter) colour = Lighten(colour, 0.25);
      if (style & kImageSingleColour) colour = singleColour;
      const QColor out = ToQColor(colour);
      line[x] = qRgba(out.red(), out.green(), out.blue(), alpha);
      shadowLine[x] = qRgba(0, 0, 0, alpha * std::clamp(shadow.darkness, 0, 100) / 100);
    }
  }
  if (style & (kImageShadow | kImageGradientShadow)) {
    const QPoint at = pos + QPoint(shadow.offsetX, shadow.offsetY);
    if (style & kImageGradientShadow) {
      // A soft edge: the shape again, one pixel further and fainter.
      painter.setOpacity(0.5);
      painter.drawImage(at + QPoint(1, 1), shape);
      painter.setOpacity(1.0);
    }
    painter.drawImage(at, shape);
  }
  painter.drawImage(pos, styled);
}
