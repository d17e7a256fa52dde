#include "widgets/hyperlink_label.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMouseEvent>

namespace {

CHyperlinkLabel::Services& ServicesRef() {
  static CHyperlinkLabel::Services services;
  return services;
}

bool DesktopOpen(const QUrl& url) {
  if (ServicesRef().openUrl) return ServicesRef().openUrl(url);
  return QDesktopServices::openUrl(url);
}

// The second try: the web-page handler's command with the target after it.
int WebPageHandlerOpen(const QString& target) {
  const CHyperlinkLabel::Services& services = ServicesRef();
  const hyperlink::HandlerCommand handler =
      services.webPageHandler ? services.webPageHandler() : hyperlink::WebPageHandlerCommand();
  if (handler.command.trimmed().isEmpty()) return hyperlink::kNoAssociation;
  const QStringList arguments =
      hyperlink::HandlerArguments(handler.command, handler.placeholders, target);
  return services.run ? services.run(arguments) : hyperlink::RunDetached(arguments);
}

void ShowError(QWidget* owner, const QString& text) {
  if (ServicesRef().showError) {
    ServicesRef().showError(owner, text);
    return;
  }
  QMessageBox::warning(owner, QGuiApplication::applicationDisplayName(), text);
}

}  // namespace

CHyperlinkLabel::CHyperlinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setTextFormat(Qt::PlainText);
  // Left and top, so that fitting the size keeps the top-left corner where it was placed.
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setAutoFillBackground(false);
  setAttribute(Qt::WA_NoSystemBackground);
  setCursor(Qt::PointingHandCursor);
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
  hoverTimer_.setInterval(kHoverCheckMs);
  connect(&hoverTimer_, &QTimer::timeout, this, &CHyperlinkLabel::CheckHover);
  TakeFonts();
  SetURL(QString());
}

void CHyperlinkLabel::SetURL(const QString& target) {
  target_ = target;
  if (text().isEmpty()) setText(target_);
  setToolTip(URL());
  setAccessibleDescription(URL());
  FitSize();
  ApplyLook();
}

QString CHyperlinkLabel::URL() const {
  return target_.isEmpty() ? text() : target_;
}

void CHyperlinkLabel::SetAutoSize(bool autoSize) {
  autoSize_ = autoSize;
  FitSize();
}

void CHyperlinkLabel::ShowUnderlined() {
  SetOwnFont(underlinedFont_);
}

QColor CHyperlinkLabel::TextColour() const {
  if (hovering_) return kHoverColour;
  return visited_ ? kVisitedColour : kLinkColour;
}

void CHyperlinkLabel::ApplyLook() {
  QPalette colours = palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    colours.setColor(group, QPalette::WindowText, TextColour());
  }
  setPalette(colours);
  update();
}

void CHyperlinkLabel::mouseMoveEvent(QMouseEvent* event) {
  if (!hovering_) StartHover();
  QLabel::mouseMoveEvent(event);
}

void CHyperlinkLabel::enterEvent(QEnterEvent* event) {
  if (!hovering_) StartHover();
  QLabel::enterEvent(event);
}

void CHyperlinkLabel::leaveEvent(QEvent* event) {
  if (hovering_) EndHover();
  QLabel::leaveEvent(event);
}

void CHyperlinkLabel::StartHover() {
  hovering_ = true;
  SetOwnFont(underlinedFont_);
  ApplyLook();
  // A leave can be missed (a window moved over the label): the timer checks the cursor too.
  hoverTimer_.start();
}

void CHyperlinkLabel::EndHover() {
  hovering_ = false;
  hoverTimer_.stop();
  SetOwnFont(normalFont_);
  ApplyLook();
  // The label draws without a background: the parent repaints what lies under the old text.
  if (QWidget* host = parentWidget()) host->update(geometry().adjusted(0, 0, 0, 10));
}

void CHyperlinkLabel::CheckHover() {
  if (!rect().contains(mapFromGlobal(QCursor::pos()))) EndHover();
  if (QWidget* host = parentWidget()) host->update();
}

void CHyperlinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) return;
  hovering_ = false;
  OpenTarget();
}

int CHyperlinkLabel::OpenTarget() {
  const QString target = URL();
  int result = hyperlink::kOpened;
  if (!DesktopOpen(QUrl::fromUserInput(target))) result = WebPageHandlerOpen(target);
  visited_ = visited_ || result > 32;
  ApplyLook();
  if (result <= 32) {
    QApplication::beep();
    ShowError(this, hyperlink::ErrorMessage(result));
  }
  return result;
}

void CHyperlinkLabel::SetServices(Services services) {
  ServicesRef() = std::move(services);
}

void CHyperlinkLabel::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  // A font given from outside becomes the normal face; switching faces here is no such change.
  if (event->type() == QEvent::FontChange && !settingFont_) {
    TakeFonts();
    FitSize();
  }
}

void CHyperlinkLabel::TakeFonts() {
  normalFont_ = font();
  normalFont_.setUnderline(false);
  underlinedFont_ = normalFont_;
  underlinedFont_.setUnderline(true);
}

void CHyperlinkLabel::SetOwnFont(const QFont& face) {
  settingFont_ = true;
  setFont(face);
  settingFont_ = false;
}

void CHyperlinkLabel::FitSize() {
  if (!autoSize_) return;
  const QFontMetrics metrics(underlinedFont_);
  const QMargins margins = contentsMargins();
  const QSize wanted(metrics.horizontalAdvance(text()) + margins.left() + margins.right() + 1,
                     metrics.height() + margins.top() + margins.bottom());
  QRect frame = geometry();
  const Qt::Alignment align = alignment();
  if (align & Qt::AlignHCenter) {
    frame.setLeft(frame.center().x() - wanted.width() / 2);
  } else if (align & Qt::AlignRight) {
    frame.setLeft(frame.right() + 1 - wanted.width());
  }
  if (align & Qt::AlignVCenter) frame.setTop(frame.center().y() - wanted.height() / 2);
  frame.setSize(wanted);
  setGeometry(frame);
}
