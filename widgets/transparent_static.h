// A label without background that repaints its parent under it when its text changes.
#pragma once

#include <QLabel>

class CTesselTransparentStatic : public QLabel {
  Q_OBJECT

 public:
  explicit CTesselTransparentStatic(QWidget* parent = nullptr);
  explicit CTesselTransparentStatic(const QString& text, QWidget* parent = nullptr);

  void SetText(const QString& text);
};
