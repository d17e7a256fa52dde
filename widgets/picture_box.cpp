// Placeholder until the picture box lands.
#include "widgets/picture_box.h"
QString CPictureBox::HintText(int) { return {}; }
CPictureBox::CPictureBox(QWidget* parent) : QWidget(parent) {}
void CPictureBox::SetImage(const QString& path, int hintIndex) {
  imagePath_ = path;
  hintIndex_ = hintIndex;
}
void CPictureBox::SetDrawMode(int mode) { drawMode_ = mode; }
void CPictureBox::paintEvent(QPaintEvent*) {}
