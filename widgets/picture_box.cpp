#include "widgets/picture_box.h"

#include <QPainter>
#include <array>

namespace {

constexpr std::array<const char*, CPictureBox::kHintCount> kHints = {
    "No .dotm file(s) is available\n in the list",
    "Select .dotm file(s)\n to repair",
    "Please wait while .dotm file(s)\n are repairing....",
    "Select .dotm file(s)\n to see preview",
    "No image is present \n in the selected .dotm file(s)",
    "Selected .dotm file(s)\n is not repaired....",
};

constexpr QPoint kHintOrigin(10, 20);

}  // namespace

QString CPictureBox::HintText(int index) {
  if (index < 0 || index >= kHintCount) return {};
  return QString::fromLatin1(kHints[static_cast<std::size_t>(index)]);
}

CPictureBox::CPictureBox(QWidget* parent) : QWidget(parent) {}

void CPictureBox::SetImage(const QString& path, int hintIndex) {
  hintIndex_ = hintIndex;
  image_ = QImage();
  imagePath_ = path;
  hasImage_ = !path.isEmpty();
  // QImage reads the whole file and closes it, so the package folder can be deleted while the
  // picture is on screen. A file that is not a picture leaves image_ null: "a picture that
  // failed", for which nothing is drawn.
  if (hasImage_) image_.load(path);
  update();
}

void CPictureBox::SetDrawMode(int mode) {
  drawMode_ = mode;
  update();
}

void CPictureBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Button));
  if (!hasImage_) {
    PaintHint(painter);
    return;
  }
  if (!image_.isNull()) PaintImage(painter);
}

void CPictureBox::PaintHint(QPainter& painter) const {
  const QString hint = HintText(hintIndex_);
  if (hint.isEmpty()) return;
  // A quiet frame tells the user where the picture will appear.
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  painter.setPen(palette().color(QPalette::WindowText));
  painter.setFont(font());
  const QRect textArea(kHintOrigin, QPoint(qMax(width(), kHintOrigin.x() + 1) - 1,
                                           qMax(height(), kHintOrigin.y() + 1) - 1));
  painter.drawText(textArea, Qt::AlignLeft | Qt::AlignTop, hint);
}

void CPictureBox::PaintImage(QPainter& painter) const {
  switch (drawMode_) {
    case 0:
      painter.drawImage(QPoint(0, 0), image_);
      break;
    case 2:
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.drawImage(rect(), image_);
      break;
    default: {
      // Each half truncated on its own, so an image larger than the box is cut on both sides.
      const int x = width() / 2 - image_.width() / 2;
      const int y = height() / 2 - image_.height() / 2;
      painter.drawImage(QPoint(x, y), image_);
      break;
    }
  }
}
