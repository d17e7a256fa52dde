#include "widgets/splash_window.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScreen>
#include <QWindow>
#include <algorithm>

namespace {

// Never the focus window: keys typed into the frame or the open dialog under it must reach
// them, not vanish into the picture.
constexpr Qt::WindowFlags kWindowFlags = Qt::SplashScreen | Qt::FramelessWindowHint |
                                         Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus;

bool IsTransparent(QRgb pixel, QRgb transparent) {
  return qAlpha(pixel) == 0 || (pixel & 0xFFFFFFu) == (transparent & 0xFFFFFFu);
}

}  // namespace

CSplashWindow::CSplashWindow() : QWidget(nullptr, kWindowFlags) {
  // A splash takes no focus from the window being built under it.
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_DeleteOnClose);
  setFocusPolicy(Qt::NoFocus);
  resize(0, 0);
  hideTimer_.setSingleShot(true);
  connect(&hideTimer_, &QTimer::timeout, this, &CSplashWindow::HideAndDestroy);
}

CSplashWindow::~CSplashWindow() = default;

bool CSplashWindow::Create(QWidget* parent) {
  parent_ = parent;
  // Owned by the parent: it goes with it, and the window system keeps it above it.
  if (parent) setParent(parent, kWindowFlags);
  setObjectName(QStringLiteral("SplashWindowClass"));
  text_.clear();
  hideDelayMs_ = kDefaultHideDelayMs;
  style_ = kDefaultStyle;
  // The shadow bit asks for a platform shadow; Qt offers none for a shaped window, so the
  // window goes without (as a window class without a shadow would). The native window is made
  // when it is first shown.
  return true;
}

bool CSplashWindow::SetBitmap(const QString& path) {
  return SetBitmap(QImage(path));
}

bool CSplashWindow::SetBitmap(const QImage& picture) {
  if (picture.isNull()) return false;
  picture_ = picture.convertToFormat(QImage::Format_ARGB32);
  textRect_ = QRect(QPoint(0, 0), picture_.size());
  PlaceWindow();
  shape_ = RegionFromImage(picture_, kTransparentColour);
  // An empty mask would mean "no mask" to Qt: a picture without any opaque pixel is shown as
  // nothing at all instead.
  ApplyShape();
  return true;
}

void CSplashWindow::ApplyShape() {
  if (shape_.isEmpty()) {
    setMask(QRegion(-1, -1, 1, 1));
  } else {
    setMask(shape_);
  }
  // A mask set before the native window exists is not always carried over to it.
  if (QWindow* native = windowHandle()) native->setMask(mask());
}

void CSplashWindow::PlaceWindow() {
  const QSize size = picture_.size();
  if (style_ & SPLASH_CENTER_SCREEN) {
    const QScreen* screen =
        parent_ && parent_->screen() ? parent_->screen() : QGuiApplication::primaryScreen();
    const QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 0, 0);
    place_ = QPoint(work.x() + (work.width() - size.width()) / 2,
                    work.y() + (work.height() - size.height()) / 2);
  } else if ((style_ & SPLASH_CENTER_PARENT) && parent_) {
    const QRect frame = parent_->frameGeometry();
    place_ = QPoint(frame.x() + (frame.width() - size.width()) / 2,
                    frame.y() + (frame.height() - size.height()) / 2);
  }
  setGeometry(QRect(place_, size));
}

void CSplashWindow::Show() {
  setGeometry(QRect(place_, picture_.size()));
  if (!picture_.isNull()) {
    if (style_ & SPLASH_FADE_IN) setWindowOpacity(0.0);
    show();
    ApplyShape();
    if (style_ & SPLASH_FADE_IN) Fade(0.0, 1.0, kFadeInMs);
  }
  if (hideDelayMs_ > 0) hideTimer_.start(hideDelayMs_);
}

void CSplashWindow::HideAndDestroy() {
  if (hiding_) return;
  hiding_ = true;
  hideTimer_.stop();
  if (fade_) fade_->stop();
  if (isVisible() && (style_ & SPLASH_FADE_OUT)) {
    Fade(windowOpacity(), 0.0, kFadeOutMs);
    connect(fade_, &QPropertyAnimation::finished, this, &QWidget::close);
    return;
  }
  close();
  // A window never shown gets no close event to delete it on.
  if (!isVisible()) deleteLater();
}

void CSplashWindow::Fade(qreal from, qreal to, int milliseconds) {
  auto* animation = new QPropertyAnimation(this, "windowOpacity", this);
  animation->setDuration(milliseconds);
  animation->setStartValue(from);
  animation->setEndValue(to);
  // X11 does not flush intermediate opacities on its own: repaint on every step.
  connect(animation, &QPropertyAnimation::valueChanged, this, [this] { update(); });
  fade_ = animation;
  animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void CSplashWindow::SetText(const QString& text, const QColor& colour) {
  text_ = text;
  textColour_ = colour;
  update();
}

void CSplashWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, picture_);
  if (text_.isEmpty()) return;
  painter.setFont(font());
  painter.setPen(textColour_);
  painter.drawText(textRect_, textFlags_, text_);
}

void CSplashWindow::mousePressEvent(QMouseEvent* event) {
  if (style_ & SPLASH_HIDE_ON_CLICK) {
    event->accept();
    HideAndDestroy();
    return;
  }
  QWidget::mousePressEvent(event);
}

void CSplashWindow::keyPressEvent(QKeyEvent* event) {
  if (style_ & SPLASH_HIDE_ON_CLICK) {
    event->accept();
    HideAndDestroy();
    return;
  }
  QWidget::keyPressEvent(event);
}

std::vector<QRect> CSplashWindow::OpaqueRuns(const QImage& picture, QRgb transparent) {
  const QImage pixels = picture.convertToFormat(QImage::Format_ARGB32);
  std::vector<QRect> runs;
  runs.reserve(40);
  for (int y = pixels.height() - 1; y >= 0; --y) {
    const auto* row = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
    int x = 0;
    while (x < pixels.width()) {
      while (x < pixels.width() && IsTransparent(row[x], transparent))
        ++x;
      const int start = x;
      while (x < pixels.width() && !IsTransparent(row[x], transparent))
        ++x;
      if (x > start) runs.emplace_back(start, y, x - start, 1);
    }
  }
  return runs;
}

QRegion CSplashWindow::RegionFromImage(const QImage& picture, QRgb transparent) {
  std::vector<QRect> runs = OpaqueRuns(picture, transparent);
  // The region is built from rectangles in reading order (top to bottom, left to right), as
  // QRegion::setRects requires; the runs were collected from the bottom row up.
  std::sort(runs.begin(), runs.end(), [](const QRect& a, const QRect& b) {
    return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x();
  });
  QRegion region;
  region.setRects(runs.data(), static_cast<int>(runs.size()));
  return region;
}
