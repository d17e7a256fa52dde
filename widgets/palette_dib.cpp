#include "widgets/palette_dib.h"

#include <QPainter>

#include "widgets/draw_manager.h"

bool CPaletteDib::Create(int width, int height) {
  image_ = QImage();
  if (width <= 0 || height <= 0) return false;
  image_ = QImage(width, height, QImage::Format_Indexed8);
  if (image_.isNull()) return false;
  image_.setColorTable(QList<QRgb>(256, qRgb(0, 0, 0)));
  image_.fill(0);
  return true;
}

void CPaletteDib::CreateEffectPalette(std::uint32_t start, std::uint32_t middle,
                                      std::uint32_t end) {
  if (image_.isNull()) return;
  const auto blend = [](std::uint32_t a, std::uint32_t b, int weightB, int total) {
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
      const int ca = static_cast<int>((a >> shift) & 0xFF);
      const int cb = static_cast<int>((b >> shift) & 0xFF);
      out |= static_cast<std::uint32_t>((ca * (total - weightB) + cb * weightB) / total) << shift;
    }
    return out;
  };
  QList<QRgb> table(256);
  for (int e = 0; e <= 128; ++e)
    table[e] = CDrawManager::ToQColor(blend(end, middle, e, 128)).rgb();
  for (int e = 1; e <= 128; ++e)
    table[127 + e] = CDrawManager::ToQColor(blend(middle, start, e, 128)).rgb();
  image_.setColorTable(table);
}

std::uint32_t CPaletteDib::PaletteEntry(int index) const {
  if (image_.isNull() || index < 0 || index > 255) return 0;
  return CDrawManager::FromQColor(QColor::fromRgb(image_.color(index)));
}

void CPaletteDib::SetPixel(int x, int y, int value) {
  if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return;
  image_.scanLine(y)[x] = static_cast<uchar>(((value % 256) + 256) % 256);
}

int CPaletteDib::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return 0;
  return image_.constScanLine(y)[x];
}

void CPaletteDib::Draw(QPainter& painter, int x, int y) const {
  if (!image_.isNull()) painter.drawImage(QPoint(x, y), image_);
}
