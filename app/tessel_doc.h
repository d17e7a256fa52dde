// The document: the program keeps no documents; it only names the window.
#pragma once

#include <QString>

class CTesselMSOfficeDotmProjDoc {
 public:
  static QString DocumentName() { return QStringLiteral("Brenvik Viva Zadado"); }
  static QString WindowTitle() { return QStringLiteral("v1.0"); }
  // "Brenvik Viva Zadado - v1.0"
  static QString FrameCaption() { return DocumentName() + QStringLiteral(" - ") + WindowTitle(); }
};
