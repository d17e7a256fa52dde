// Placeholder until the transparent label lands.
#include "widgets/transparent_static.h"
CTesselTransparentStatic::CTesselTransparentStatic(QWidget* parent) : QLabel(parent) {}
CTesselTransparentStatic::CTesselTransparentStatic(const QString& text, QWidget* parent)
    : QLabel(text, parent) {}
void CTesselTransparentStatic::SetText(const QString& text) { setText(text); }
