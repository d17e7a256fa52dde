// Measures and draws the message markup: a small HTML subset with a few tags of its own and a
// subset of CSS. It also keeps the areas of the links it drew, so that its host can show a hand
// over them and follow them on a click.
#pragma once

#include <QFont>
#include <QImage>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>
#include <vector>

#include "widgets/draw_manager.h"
#include "widgets/html_css.h"
#include "widgets/html_style.h"

class QObject;
class QPainter;
class QPaintDevice;

class CHtmlDrawer {
 public:
  CHtmlDrawer();

  // Lays text out (no height limit) and returns its size plus 1 in each direction; with a
  // maximum width the width is cut to it first. Keeps the text for Draw.
  QSize Measure(const QPaintDevice& device, const QString& text);
  // Draws the text of the last Measure into rect; records the link areas.
  void Draw(QPainter& painter, const QRect& rect);

  // True when point is over a link with a target (the host shows the hand cursor). Notifies the
  // redraw target when the hovered link changes.
  bool OnSetCursor(QPoint point);
  // Follows the link under point: hyperlinks open through the desktop, message links go to the
  // link callback.
  void OnLButtonDown(QPoint point);

  // target receives an event of type eventType when the hovered link changes.
  void SetRedrawTarget(QObject* target, int eventType);
  void SetLinkCallback(std::function<void(const QString& target)> callback);
  // Replaces the style sheet; a null text restores the default one.
  void SetStyleSheet(const QString& text);
  void SetMaxWidth(int pixels) { maxWidth_ = pixels < 0 ? 0 : pixels; }
  void SetNewlineMode(bool on) { newlineMode_ = on; }
  void SetTabWidth(int pixels) { tabWidth_ = pixels > 0 ? pixels : 32; }
  void SetColorMode(bool on, std::uint32_t fixedColour);
  void SetImageList(std::vector<QImage> images) { imageList_ = std::move(images); }
  void SetShadow(const ImageShadow& shadow) { shadow_ = shadow; }

  const std::vector<LinkArea>& LinkAreas() const { return links_; }
  int HoveredLink() const { return hovered_; }
  const QString& Text() const { return text_; }

  // The text after entities, carriage returns and line feeds are dealt with.
  static QString PrepareText(const QString& text, bool newlineMode);
  // The text a reader sees: text runs in order, line breaks as "\n", tags left out.
  static QString VisibleText(const QString& markup);
  // An image the markup names by handle (the icon tag's handle attribute).
  static int RegisterImageHandle(const QImage& image);
  static void ReleaseImageHandle(int handle);

  // A link target as a URL: one with a scheme as it is, anything else as a local path.
  static QUrl LinkTargetUrl(const QString& target);

 private:
  void RunLayout(const QPaintDevice& device, int availableWidth, QPainter* painter,
                 const QRect& rect);

  CDrawManager draw_;
  html_css::StyleSheet styleSheet_;
  QString text_;
  std::vector<LinkArea> links_;
  int hovered_ = -2;
  int maxWidth_ = 0;
  bool newlineMode_ = true;
  int tabWidth_ = 32;
  bool colourMode_ = true;
  std::uint32_t fixedColour_ = 0x808080;
  std::vector<QImage> imageList_;
  ImageShadow shadow_;
  QPointer<QObject> redrawTarget_;
  int redrawEvent_ = 0;
  std::function<void(const QString&)> linkCallback_;
  QSize measured_;
};
