#include "widgets/transparent_static.h"

CTesselTransparentStatic::CTesselTransparentStatic(QWidget* parent)
    : CTesselTransparentStatic(QString(), parent) {}

CTesselTransparentStatic::CTesselTransparentStatic(const QString& text, QWidget* parent)
    : QLabel(text, parent) {
  // No background of its own: whatever the parent paints under the label shows through.
  setAutoFillBackground(false);
  setAttribute(Qt::WA_NoSystemBackground);
  setWordWrap(false);
  setTextFormat(Qt::PlainText);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void CTesselTransparentStatic::SetText(const QString& text) {
  setText(text);
  // The parent repaints the label's area, so that no trace of the old text remains.
  if (QWidget* host = parentWidget()) host->update(geometry());
}
