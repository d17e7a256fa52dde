// The preview box: a picture, or one of six hint texts telling the user what to do next.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

class QPainter;

class CPictureBox : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kHintCount = 6;
  // The hint texts by index, line feeds included.
  static QString HintText(int index);

  explicit CPictureBox(QWidget* parent = nullptr);

  // Stores the hint index and drops the current picture; loads the picture at path when the
  // path is not empty. A failed load keeps "a picture that failed": nothing is drawn for it.
  void SetImage(const QString& path, int hintIndex);
  // 0 top-left in natural size, 1 centred in natural size, 2 stretched over the whole box.
  void SetDrawMode(int mode);

  int DrawMode() const { return drawMode_; }
  int HintIndex() const { return hintIndex_; }
  bool HasImage() const { return hasImage_; }  // a picture was asked for
  bool ImageLoaded() const { return !image_.isNull(); }
  const QString& ImagePath() const { return imagePath_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void PaintHint(QPainter& painter) const;
  void PaintImage(QPainter& painter) const;

  QImage image_;
  QString imagePath_;
  bool hasImage_ = false;
  int drawMode_ = 1;
  int hintIndex_ = 0;
};
