// The start-up picture: a borderless, shaped, topmost tool window (no task-bar entry) that
// shows a picture, optionally with a text over it, for a fixed time, fading in and out, and
// then destroys itself. Create it on the heap: it deletes itself once its window is gone (or
// with its parent, whichever comes first).
#pragma once

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QTimer>
#include <QWidget>
#include <vector>

class QPropertyAnimation;

class CSplashWindow : public QWidget {
  Q_OBJECT

 public:
  // Style bits.
  static constexpr unsigned SPLASH_FADE_IN = 0x01;   // appear with a 500 ms blend
  static constexpr unsigned SPLASH_FADE_OUT = 0x02;  // disappear with a 200 ms blend
  static constexpr unsigned SPLASH_SHADOW = 0x04;    // a drop shadow where the platform has one
  static constexpr unsigned SPLASH_CENTER_SCREEN = 0x08;  // centred on the screen's work area
  static constexpr unsigned SPLASH_CENTER_PARENT = 0x10;  // centred on the parent window
  static constexpr unsigned SPLASH_HIDE_ON_CLICK = 0x20;  // a click or key hides it at once
  static constexpr unsigned kDefaultStyle =
      SPLASH_FADE_IN | SPLASH_FADE_OUT | SPLASH_SHADOW | SPLASH_CENTER_SCREEN;
  static constexpr int kFadeInMs = 500;
  static constexpr int kFadeOutMs = 200;
  static constexpr int kDefaultHideDelayMs = 2000;
  // Magenta: pixels of this colour are not part of the window.
  static constexpr QRgb kTransparentColour = 0xFF00FF;

  CSplashWindow();
  ~CSplashWindow() override;

  // Makes the (hidden) window owned by parent: empty text, hide delay 2000 ms, the default
  // style. True when the window exists.
  bool Create(QWidget* parent);
  // Loads the picture (a resource path such as ":/res/splash.png"), takes its size, places the
  // window as the style says and shapes it by the transparent colour. False when the picture
  // cannot be loaded: the window keeps size 0 and shows nothing, but still goes away by time.
  bool SetBitmap(const QString& path);
  bool SetBitmap(const QImage& picture);
  // Shows the window at its place, without activating it, fading in with SPLASH_FADE_IN, and
  // starts the hide delay.
  void Show();
  // Hides the window (fading out with SPLASH_FADE_OUT) and then destroys it.
  void HideAndDestroy();

  void SetStyle(unsigned style) { style_ = style; }
  unsigned Style() const { return style_; }
  // 0: never by time.
  void SetHideDelay(int milliseconds) { hideDelayMs_ = milliseconds; }
  int HideDelay() const { return hideDelayMs_; }
  void SetText(const QString& text, const QColor& colour = Qt::black);
  void SetTextRect(const QRect& rect) { textRect_ = rect; }
  // Qt alignment and text flags; by default centred both ways with word wrapping.
  void SetTextFormat(int flags) { textFlags_ = flags; }
  QString Text() const { return text_; }
  QRect TextRect() const { return textRect_; }
  QRegion Shape() const { return shape_; }
  QPoint Place() const { return place_; }
  bool Hiding() const { return hiding_; }

  // The runs of pixels of picture that differ from transparent, row by row from the bottom row
  // up, each a one-pixel-high rectangle; and their union.
  static std::vector<QRect> OpaqueRuns(const QImage& picture, QRgb transparent);
  static QRegion RegionFromImage(const QImage& picture, QRgb transparent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void PlaceWindow();
  void ApplyShape();
  void Fade(qreal from, qreal to, int milliseconds);

  QPointer<QWidget> parent_;
  QImage picture_;
  QRegion shape_;
  QString text_;
  QColor textColour_ = Qt::black;
  QRect textRect_;
  int textFlags_ = Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextWordWrap;
  unsigned style_ = 0;
  int hideDelayMs_ = kDefaultHideDelayMs;
  QPoint place_;
  bool hiding_ = false;
  QTimer hideTimer_;
  QPointer<QPropertyAnimation> fade_;
};
