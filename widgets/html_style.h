// The style records of the markup renderer: the style in force at a point of the text, and the
// area of a link as drawn.
#pragma once

#include <QRect>
#include <QString>
#include <cstdint>

struct HtmlStyle {
  QString family;  // the tag family that opened this style
  int size = 16;   // font height in pixels
  int weight = 400;
  bool italic = false;
  bool underline = false;
  bool strikeout = false;
  bool overline = false;
  QString face = QStringLiteral("Verdana");
  std::uint32_t textColour = 0x000000;  // 0x00BBGGRR
  std::uint32_t backColour = 0xFFFFFF;
  std::uint32_t borderLight = 0x000000;
  std::uint32_t borderDark = 0x000000;
  std::uint32_t backMiddle = 0xFFFFFF;
  std::uint32_t backEnd = 0xFFFFFF;
  int backMode = 1;     // 1 transparent, 2 opaque
  int backEffect = -1;  // draw-manager effect, -1 none
  QString backImage;
  int hAlign = 0;       // 0 left, 1 centre, 2 right, 3 justify
  int vAlign = 3;       // 0 top, 1 middle, 2 bottom, 3 baseline
  int borderStyle = 0;  // 0 none, 1 solid, 2 dashed, 3 dotted, 6 double
  int borderWidth = 0;
  int width = 0;
  int height = 0;
  int textTransform = 0;  // 0 none, 1 upper, 2 lower, 3 capitalise
  int margin = 2;         // inner cell padding
  int padding = 0;        // spacing between cells
  int linkKind = 0;       // 0 none, 1 hyperlink (href), 2 message link (msg)
  QString linkTarget;
};

struct LinkArea {
  QRect rect;
  int kind = 0;
  int index = 0;  // the number of the a tag in the text, from 1
  QString target;
};
