#include "widgets/html_message_box_template.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStyle>
#include <QTimerEvent>
#include <algorithm>

#include "widgets/string_resources.h"

namespace {

// Layout constants in pixels.
constexpr int kIconPadding = 5;
constexpr int kTextMarginX = 14;
constexpr int kTextMarginY = 14;
constexpr int kCheckBoxX = 10;
constexpr int kCheckBoxSize = 13;
constexpr int kButtonGap = 11;
constexpr int kBandMargin = 11;
constexpr int kIconSize = 32;  // the system's icon width
constexpr int kMinButtonWidth = 80;
constexpr int kMinButtonHeight = 23;
constexpr int kCheckBoxKey = 0x01000000;

enum DrawerIndex { kHeader = 0, kMessage = 1, kMore = 2 };

QImage StandardIcon(unsigned style, const QString& userIcon) {
  QStyle::StandardPixmap which;
  switch (style & kMbIconMask) {
    case kMbIconHand:
      which = QStyle::SP_MessageBoxCritical;
      break;
    case kMbIconQuestion:
      which = QStyle::SP_MessageBoxQuestion;
      break;
    case kMbIconExclamation:
      which = QStyle::SP_MessageBoxWarning;
      break;
    case kMbIconAsterisk:
      which = QStyle::SP_MessageBoxInformation;
      break;
    case kMbUserIcon: {
      const QImage image(userIcon);
      return image.isNull() ? QImage()
                            : image.scaled(kIconSize, kIconSize, Qt::KeepAspectRatio,
                                           Qt::SmoothTransformation);
    }
    default:
      return {};
  }
  return QApplication::style()->standardIcon(which).pixmap(kIconSize, kIconSize).toImage();
}

int Scaled(int value, int numerator, int denominator) {
  return html_css::MulDiv(value, numerator, denominator);
}

QString SettingsGroup(const HtmlMessageBoxParams& params) {
  const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
  const QString base = program + QStringLiteral("/HtmlMessageBox");
  return params.registryCompany.isEmpty() ? base : params.registryCompany + u'/' + base;
}

}  // namespace

CHtmlMessageBoxTemplate::CHtmlMessageBoxTemplate(const HtmlMessageBoxParams& params,
                                                 QWidget* parent)
    : QDialog(parent), params_(params), dialogFont_(QApplication::font("QMessageBox")) {
  setObjectName(QStringLiteral("AppMessageBox"));
  setModal(true);
  setFont(dialogFont_);
  caption_ = ResolveText(params_.caption, params_.style);
  icon_ = StandardIcon(params_.style, params_.userIcon);
  if (!icon_.isNull()) iconHandle_ = CHtmlDrawer::RegisterImageHandle(icon_);
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText, Qt::black);
  setPalette(colours);
  setMouseTracking(true);
  Initialise();
}

CHtmlMessageBoxTemplate::~CHtmlMessageBoxTemplate() {
  if (iconHandle_ != 0) CHtmlDrawer::ReleaseImageHandle(iconHandle_);
}

QString CHtmlMessageBoxTemplate::ButtonCaption(int id, const QString& fallback) const {
  if (params_.customTexts != nullptr) {
    const auto found = params_.customTexts->find(id);
    if (found != params_.customTexts->end()) {
      const QString text = ResolveText(found->second, params_.style);
      if (!text.isEmpty()) return text;
    }
  }
  return fallback.isEmpty() ? BuiltInButtonCaption(id) : fallback;
}

QString CHtmlMessageBoxTemplate::CountdownCaption(int value) const {
  QString text = countdownFormat_;
  text.replace(QStringLiteral("%s"), caption_);
  text.replace(QStringLiteral("%d"), QString::number(value));
  return text;
}

void CHtmlMessageBoxTemplate::Initialise() {
  countdown_ = params_.disableTime > 0 ? params_.disableTime : 0;
  if (params_.timeout > 0) countdown_ = params_.timeout;
  for (CHtmlDrawer& drawer : drawers_)
    drawer.SetRedrawTarget(this, kRedrawRequest);

  message_ = ResolveText(params_.messageText, params_.style);
  if (params_.style & kMbRight) message_ = QStringLiteral("<right>%1</right>").arg(message_);
  if (iconHandle_ != 0) {
    message_ = QStringLiteral(
                   "<table cellpadding=%1><tr><td width=%2><icon handle=0x%3></td><td>%4</td></tr>"
                   "</table>")
                   .arg(kIconPadding)
                   .arg(kIconSize)
                   .arg(iconHandle_, 0, 16)
                   .arg(message_);
  }
  countdownFormat_ = ButtonCaption(static_cast<int>(0x80000000u));
  Layout();

  const bool disableAllMode = params_.disableTime > 0 && params_.disableAll != 0;
  if (disableAllMode) {
    setWindowTitle(CountdownCaption(countdown_));
    SetCloseAllowed(false);
  } else {
    setWindowTitle(caption_);
    bool allowed = escapeAllowed_;
    const bool defaultIsCancel =
        defaultIndex_ < static_cast<int>(buttons_.size()) &&
        buttons_[static_cast<std::size_t>(defaultIndex_)].first == kIdCancel;
    if (params_.disableTime > 0 && defaultIsCancel) allowed = false;
    SetCloseAllowed(allowed);
  }
  CentreOverParent();
  PlaceControls();
  if (params_.style & kMbTopmost) setWindowFlag(Qt::WindowStaysOnTopHint, true);
  if (countdown_ != 0) timer_.start(1000, this);
}

void CHtmlMessageBoxTemplate::SetCloseAllowed(bool allowed) {
  closeAllowed_ = allowed;
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (allowed) flags |= Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint;
  if (params_.style & kMbTopmost) flags |= Qt::WindowStaysOnTopHint;
  const bool visible = isVisible();
  setWindowFlags(flags);
  if (visible) show();
}

bool CHtmlMessageBoxTemplate::CloseAllowed() const {
  return closeAllowed_;
}

void CHtmlMessageBoxTemplate::Layout() {
  // Laid out once per box, at its construction: there are no children yet.
  const QFontMetrics metrics(dialogFont_);
  int width = 0;
  int height = 0;

  headerHeight_ = 0;
  if (params_.headerHeight > 0) {
    headerHeight_ = params_.headerHeight;
    header_ = ResolveText(params_.headerText, params_.style);
    if (!header_.isEmpty()) {
      const QSize size = drawers_[kHeader].Measure(*this, header_);
      width = std::max(width, size.width() + 2 * kTextMarginX);
      headerHeight_ = std::max(headerHeight_, size.height() + 2 * kTextMarginY);
    }
    const QString separator = ResolveText(params_.headerArea.separatorText, params_.style);
    if (params_.headerArea.separatorStyle != 0)
      width = std::max(width, metrics.horizontalAdvance(separator) + 2 * kIconPadding);
    height += headerHeight_;
  }

  messageHeight_ = 0;
  if (!message_.isEmpty()) {
    const QSize size = drawers_[kMessage].Measure(*this, message_);
    messageHeight_ = size.height() + 2 * kTextMarginY;
    width = std::max(width, size.width() + 2 * kTextMarginX);
    height += messageHeight_;
  }

  moreHeight_ = 0;
  more_ = ResolveText(params_.moreText, params_.style);
  if (!more_.isEmpty()) {
    const QSize size = drawers_[kMore].Measure(*this, more_);
    moreHeight_ = size.height() + 2 * kTextMarginY;
    width = std::max(width, size.width() + 2 * kTextMarginX);
    moreSeparator_ = ResolveText(params_.moreArea.separatorText, params_.style);
  }

  bandHeight_ = kBandMargin;
  if (params_.buttonArea.effect >= 0 || params_.buttonArea.separatorStyle != 0) {
    bandHeight_ = 2 * kBandMargin;
    buttonSeparator_ = ResolveText(params_.buttonArea.separatorText, params_.style);
    if (params_.buttonArea.separatorStyle != 0)
      width = std::max(width, metrics.horizontalAdvance(buttonSeparator_) + 2 * kIconPadding);
  }

  if (params_.style & MBX_CHECKBOX) {
    bandHeight_ += kBandMargin + kCheckBoxSize;
    QString label = ResolveText(params_.checkBoxText, params_.style);
    label = ButtonCaption(kCheckBoxKey, label);
    width = std::max(width, metrics.horizontalAdvance(label) + 2 * kCheckBoxX + 20);
    checkBox_ = new QCheckBox(this);
    checkBox_->setObjectName(QStringLiteral("HtmlMessageBoxCheck"));
    checkBox_->setFixedSize(kCheckBoxSize + 4, kCheckBoxSize + 4);
    checkBox_->setChecked((params_.style & MBX_CHECKBOX_CHECKED) != 0);
    checkLabel_ = new QLabel(label, this);
    checkLabel_->setObjectName(QStringLiteral("HtmlMessageBoxCheckLabel"));
    checkLabel_->setFont(dialogFont_);
    checkLabel_->resize(metrics.horizontalAdvance(label) + 2,
                        std::max(kCheckBoxSize, metrics.height()));
    checkLabel_->setBuddy(checkBox_);
  }

  CreateButtons();
  const int n = static_cast<int>(buttons_.size());
  buttonWidth_ = std::max(buttonWidth_, kMinButtonWidth);
  buttonHeight_ = std::max(buttonHeight_, kMinButtonHeight);
  if (n > 0) width = std::max(width, kButtonGap + n * (kButtonGap + buttonWidth_));
  bandHeight_ += buttonHeight_;
  height += bandHeight_;
  setFixedSize(width, height);
}

void CHtmlMessageBoxTemplate::AddButton(int id) {
  auto* button = new QPushButton(this);
  button->setObjectName(QStringLiteral("HtmlMessageBoxButton%1").arg(id));
  button->setProperty("answerId", id);
  button->setFont(dialogFont_);
  button->setAutoDefault(false);
  connect(button, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
  buttons_.emplace_back(id, button);
}

void CHtmlMessageBoxTemplate::CreateButtons() {
  const unsigned style = params_.style;
  escapeAllowed_ =
      (style & kMbButtonSetMask) == 0 && ResolveText(params_.customButtons, style).isEmpty();
  QString custom = ResolveText(params_.customButtons, style);
  custom.remove(u'\r');
  if (!custom.isEmpty()) {
    for (const QString& line : custom.split(u'\n')) {
      if (line.isEmpty()) continue;
      if (customCaptions_.size() >= 4) break;
      customCaptions_ << line;
      AddButton(kIdCustom1 + static_cast<int>(customCaptions_.size()) - 1);
    }
  }
  if (customCaptions_.isEmpty()) {
    const bool yesToAll = (style & MBX_YES_TO_ALL) != 0;
    const bool noToAll = (style & MBX_NO_TO_ALL) != 0;
    const auto yesNo = [&] {
      AddButton(kIdYes);
      if (yesToAll) AddButton(kIdYesToAll);
      AddButton(kIdNo);
      if (noToAll) AddButton(kIdNoToAll);
    };
    switch (style & kMbButtonSetMask) {
      case kMbOk:
        AddButton(kIdOk);
        break;
      case kMbOkCancel:
        AddButton(kIdOk);
        AddButton(kIdCancel);
        escapeAllowed_ = true;
        break;
      case kMbAbortRetryIgnore:
        AddButton(kIdAbort);
        AddButton(kIdRetry);
        AddButton(kIdIgnore);
        break;
      case kMbYesNoCancel:
        yesNo();
        AddButton(kIdCancel);
        escapeAllowed_ = true;
        break;
      case kMbYesNo:
        yesNo();
        break;
      case kMbRetryCancel:
        AddButton(kIdRetry);
        AddButton(kIdCancel);
        escapeAllowed_ = true;
        break;
      case kMbCancelTryContinue:
        AddButton(kIdCancel);
        AddButton(kIdTryAgain);
        AddButton(kIdContinue);
        escapeAllowed_ = true;
        break;
      case kMbContinueAbort:
        AddButton(kIdContinue);
        AddButton(kIdAbort);
        break;
      case kMbSkipSkipAllCancel:
        AddButton(kIdSkip);
        AddButton(kIdSkipAll);
        AddButton(kIdCancel);
        escapeAllowed_ = true;
        break;
      case kMbIgnoreIgnoreAllCancel:
        AddButton(kIdIgnore);
        AddButton(kIdIgnoreAll);
        AddButton(kIdCancel);
        escapeAllowed_ = true;
        break;
      default:
        break;
    }
  }
  if (style & kMbHelp) AddButton(kIdHelp);
  if (params_.reportMessage != 0 && params_.owner != nullptr) AddButton(kIdReport);
  if (!more_.isEmpty()) {
    AddButton(kIdMore);
    lessCaption_ = ButtonCaption(kIdLess);
    moreCaption_ = ButtonCaption(kIdMore);
  }

  defaultIndex_ = static_cast<int>((style & kMbDefButtonMask) >> 8);
  if (defaultIndex_ >= static_cast<int>(buttons_.size())) defaultIndex_ = 0;

  const QFontMetrics metrics(dialogFont_);
  const bool disableAllMode = params_.disableTime > 0 && params_.disableAll != 0;
  buttonWidth_ = 0;
  buttonHeight_ = 0;
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    auto& [id, button] = buttons_[i];
    QString caption;
    QSize size;
    if (id == kIdMore) {
      caption = moreCaption_;
      const QSize less = metrics.size(Qt::TextSingleLine, lessCaption_);
      const QSize more = metrics.size(Qt::TextSingleLine, moreCaption_);
      size = QSize(std::max(less.width(), more.width()), std::max(less.height(), more.height()));
    } else {
      caption = id >= kIdCustom1 && id < kIdCustom1 + 4 ? customCaptions_[id - kIdCustom1]
                                                        : ButtonCaption(id);
      size = metrics.size(Qt::TextSingleLine, caption);
    }
    buttonWidth_ = std::max(buttonWidth_, Scaled(size.width(), 80, 45));
    buttonHeight_ = std::max(buttonHeight_, Scaled(size.height(), 23, 13));
    const bool isDefault = static_cast<int>(i) == defaultIndex_;
    if (id != kIdHelp && disableAllMode) {
      button->setEnabled(false);
      if (isDefault) defaultCaption_ = caption;
    } else if (isDefault && id != kIdHelp) {
      defaultCaption_ = caption;
      if (params_.disableTime <= 0) button->setDefault(true);
      if (countdown_ != 0) {
        caption = QStringLiteral("%1 = %2").arg(caption).arg(countdown_);
        if (params_.disableTime > 0) button->setEnabled(false);
      }
    } else if (isDefault) {  // Help as the default button
      button->setDefault(true);
      defaultCaption_ = caption;
      if (params_.timeout > 0 || (params_.disableTime > 0 && params_.disableAll == 0))
        caption = QStringLiteral("%1 = %2").arg(caption).arg(countdown_);
    }
    button->setText(caption);
    if (isDefault) button->setFocus();
  }
}

void CHtmlMessageBoxTemplate::PlaceControls() {
  const int right = width();
  const int bottom = height() - (expanded_ ? moreHeight_ : 0);
  const bool checkBox = (params_.style & MBX_CHECKBOX) != 0;
  const bool below = checkBox && (params_.style & MBX_CHECKBOX_BELOW_BUTTONS) != 0;
  int top = bottom - kBandMargin - buttonHeight_;
  if (below) top -= kBandMargin + kCheckBoxSize;
  const int n = static_cast<int>(buttons_.size());
  const int rowWidth = n * (kButtonGap + buttonWidth_) - kButtonGap;
  int x = (right - rowWidth) / 2;
  if (params_.buttonAlign == 0) x = kButtonGap;
  if (params_.buttonAlign == 1) x = right - kButtonGap - rowWidth;
  for (auto& [id, button] : buttons_) {
    button->setGeometry(x + 10, top, buttonWidth_ - 10, buttonHeight_ - 6);
    x += buttonWidth_ + 1;
  }
  if (checkBox && checkBox_ != nullptr) {
    const int y =
        below ? bottom - kBandMargin : bottom - kBandMargin - (buttonHeight_ + kBandMargin);
    checkBox_->move(kCheckBoxX - 2, y - kCheckBoxSize - 2);
    const int labelTop = y - kCheckBoxSize + (kCheckBoxSize - checkLabel_->height()) / 2;
    checkLabel_->move(kCheckBoxX + kCheckBoxSize + 6, labelTop);
  }
}

void CHtmlMessageBoxTemplate::CentreOverParent() {
  QRect over;
  if (parentWidget() != nullptr) {
    over = parentWidget()->window()->frameGeometry();
  } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
    over = screen->availableGeometry();
  }
  if (over.isEmpty()) return;
  move(over.left() + (over.width() - width()) / 2, over.top() + (over.height() - height()) / 2);
}

QPushButton* CHtmlMessageBoxTemplate::Button(int id) const {
  for (const auto& [buttonId, button] : buttons_) {
    if (buttonId == id) return button;
  }
  return nullptr;
}

void CHtmlMessageBoxTemplate::reject() {
  OnCommand(kIdCancel);
}

void CHtmlMessageBoxTemplate::StoreAnswer(int answer) const {
  if (params_.registryPrefix.isEmpty()) return;
  QSettings settings(QStringLiteral("BrenvikDotmRepair"), QStringLiteral("HtmlMessageBox"));
  settings.beginGroup(SettingsGroup(params_));
  settings.setValue(params_.registryPrefix + QString::number(params_.messageId), answer);
}

void CHtmlMessageBoxTemplate::OnCommand(int id) {
  if (id == 0) return;
  if (id == kIdCancel && !escapeAllowed_) return;
  if (id == kIdHelp) return;  // no help service for message boxes here: the box stays open
  if (id == kIdReport) {
    if (params_.owner != nullptr) {
      QEvent report(static_cast<QEvent::Type>(params_.reportMessage));
      QCoreApplication::sendEvent(params_.owner, &report);
    }
    return;
  }
  if (id == kIdLess || id == kIdMore) {
    ToggleMore();
    return;
  }
  timer_.stop();
  int answer = id;
  if (checkBox_ != nullptr && checkBox_->isChecked()) {
    if (params_.style & MBX_CHECKBOX_CHECKED) answer |= static_cast<int>(MBX_CHECKBOX_CHECKED);
    StoreAnswer(answer);
  }
  result_ = answer;
  done(answer);
}

void CHtmlMessageBoxTemplate::ToggleMore() {
  QPushButton* button = Button(kIdMore);
  expanded_ = !expanded_;
  if (button != nullptr) button->setText(expanded_ ? lessCaption_ : moreCaption_);
  const QPoint corner = pos();
  setFixedSize(width(), height() + (expanded_ ? moreHeight_ : -moreHeight_));
  move(corner);
  PlaceControls();
  update();
}

void CHtmlMessageBoxTemplate::Tick() {
  if (countdown_ == 0) return;
  --countdown_;
  const bool disableMode = params_.disableTime > 0;
  const bool disableAllMode = disableMode && params_.disableAll != 0;
  QPushButton* byDefault = defaultIndex_ < static_cast<int>(buttons_.size())
                               ? buttons_[static_cast<std::size_t>(defaultIndex_)].second
                               : nullptr;
  if (countdown_ > 0) {
    if (disableAllMode) {
      setWindowTitle(CountdownCaption(countdown_));
    } else if (byDefault != nullptr) {
      byDefault->setText(QStringLiteral("%1 = %2").arg(defaultCaption_).arg(countdown_));
    }
    return;
  }
  timer_.stop();
  if (disableMode) {
    if (escapeAllowed_) SetCloseAllowed(true);
    if (disableAllMode) {
      setWindowTitle(caption_);
      for (auto& [id, button] : buttons_)
        button->setEnabled(true);
    } else if (byDefault != nullptr) {
      byDefault->setText(defaultCaption_);
    }
    if (byDefault != nullptr) {
      byDefault->setEnabled(true);
      byDefault->setDefault(true);
    }
    return;
  }
  if (byDefault != nullptr) {
    byDefault->setText(defaultCaption_);
    OnCommand(buttons_[static_cast<std::size_t>(defaultIndex_)].first);
  }
}

void CHtmlMessageBoxTemplate::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (params_.style & kMbSetForeground) {
    raise();
    activateWindow();
  }
}

void CHtmlMessageBoxTemplate::timerEvent(QTimerEvent* event) {
  if (event->timerId() == timer_.timerId()) {
    Tick();
    return;
  }
  QDialog::timerEvent(event);
}

bool CHtmlMessageBoxTemplate::event(QEvent* event) {
  if (event->type() == static_cast<QEvent::Type>(kRedrawRequest)) {
    update(QRect(0, 0, width(), MessageBottom()));
    if (expanded_) update(QRect(0, height() - moreHeight_, width(), moreHeight_));
    return true;
  }
  return QDialog::event(event);
}

void CHtmlMessageBoxTemplate::PaintArea(QPainter& painter, const QRect& band,
                                        const MessageBoxArea& area, const QString& separatorText,
                                        bool separatorAtBottom) {
  CDrawManager draw;
  if (area.effect >= 0) {
    draw.FillEffect(painter, band, area.effect, area.start, area.middle, area.end, 0);
  }
  if (area.separatorStyle == 0) return;
  const int y = separatorAtBottom ? band.bottom() : band.top();
  const QFontMetrics metrics(dialogFont_);
  int textLeft = band.left();
  int textRight = band.left();
  if (!separatorText.isEmpty()) {
    const int textWidth = metrics.horizontalAdvance(separatorText);
    textLeft = band.left() + kIconPadding;
    if (area.separatorAlign == 1) textLeft = band.right() - kIconPadding - textWidth;
    if (area.separatorAlign == 2) textLeft = band.left() + (band.width() - textWidth) / 2;
    textRight = textLeft + textWidth;
    painter.setFont(dialogFont_);
    const int baseline = y + (metrics.ascent() - metrics.descent()) / 2;
    painter.setPen(Qt::white);  // embossed, as disabled text
    painter.drawText(textLeft + 1, baseline + 1, separatorText);
    painter.setPen(QColor(128, 128, 128));
    painter.drawText(textLeft, baseline, separatorText);
  }
  const auto segment = [&](int from, int to) {
    if (to <= from) return;
    if (area.separatorStyle == 1) {
      painter.setPen(QColor(160, 160, 160));
      painter.drawLine(from, y, to, y);
      painter.setPen(Qt::white);
      painter.drawLine(from, y + 1, to, y + 1);
    } else {
      painter.setPen(area.separatorStyle == 2 ? Qt::black : Qt::white);
      painter.drawLine(from, y, to, y);
    }
  };
  if (separatorText.isEmpty()) {
    segment(band.left(), band.right());
  } else {
    segment(band.left(), textLeft - kIconPadding);
    segment(textRight + kIconPadding, band.right());
  }
}

void CHtmlMessageBoxTemplate::RenderBackground() {
  const int fullHeight = height() + (expanded_ ? 0 : moreHeight_);
  background_ = QPixmap(width(), fullHeight);
  background_.fill(palette().color(QPalette::Button));
  QPainter painter(&background_);
  const QRect whole(0, 0, width(), fullHeight);
  const MessageBoxArea& message = params_.messageArea;
  CDrawManager draw;
  if (message.effect >= 0) {
    draw.FillEffect(painter, whole, message.effect, message.start, message.middle, message.end, 0);
  }
  if (headerHeight_ > 0) {
    PaintArea(painter, QRect(0, 0, width(), headerHeight_), params_.headerArea,
              ResolveText(params_.headerArea.separatorText, params_.style), true);
  }
  const int bandTop = MessageBottom();
  PaintArea(painter, QRect(0, bandTop, width(), bandHeight_), params_.buttonArea, buttonSeparator_,
            false);
  if (moreHeight_ > 0) {
    PaintArea(painter, QRect(0, bandTop + bandHeight_, width(), moreHeight_), params_.moreArea,
              moreSeparator_, false);
  }
}

void CHtmlMessageBoxTemplate::paintEvent(QPaintEvent*) {
  if (background_.isNull() || background_.width() != width()) RenderBackground();
  QPainter painter(this);
  painter.drawPixmap(0, 0, background_);
  const int right = width();
  if (headerHeight_ > 0 && !header_.isEmpty()) {
    drawers_[kHeader].Draw(painter,
                           QRect(QPoint(kTextMarginX, kTextMarginY),
                                 QPoint(right - kTextMarginX, headerHeight_ - kTextMarginY)));
  }
  if (messageHeight_ > 0) {
    drawers_[kMessage].Draw(
        painter, QRect(QPoint(kTextMarginX, MessageTop() + kTextMarginY),
                       QPoint(right - kTextMarginX - 1, MessageBottom() - kTextMarginY - 1)));
  }
  if (expanded_ && moreHeight_ > 0) {
    drawers_[kMore].Draw(painter, QRect(QPoint(kTextMarginX, height() - moreHeight_ + kTextMarginY),
                                        QPoint(right - kTextMarginX - 1, height() - 1)));
  }
  painter.end();
  if (!painted_) {
    painted_ = true;
    NotifyMessageBoxPainted(this);
  }
}

void CHtmlMessageBoxTemplate::mouseMoveEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  bool overLink = false;
  for (int i = 0; i < 3; ++i) {
    if (i == kHeader && headerHeight_ == 0) continue;
    if (i == kMore && !expanded_) continue;
    if (drawers_[static_cast<std::size_t>(i)].OnSetCursor(point)) overLink = true;
  }
  if (overLink) {
    setCursor(Qt::PointingHandCursor);
  } else {
    unsetCursor();
  }
  QDialog::mouseMoveEvent(event);
}

void CHtmlMessageBoxTemplate::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    const QPoint point = event->position().toPoint();
    for (int i = 0; i < 3; ++i) {
      if (i == kMore && !expanded_) continue;
      drawers_[static_cast<std::size_t>(i)].OnLButtonDown(point);
    }
  }
  QDialog::mousePressEvent(event);
}
