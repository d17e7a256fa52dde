#include "widgets/message_box_dialog.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>
#include <cmath>
#include <vector>

#include "widgets/app_message_box.h"

namespace {

constexpr unsigned kButtonSetMask = 0x0F;
constexpr unsigned kIconMask = 0xF0;
constexpr unsigned kMbOkCancel = 0x01;
constexpr unsigned kMbAbortRetryIgnore = 0x02;
constexpr unsigned kMbYesNoCancel = 0x03;
constexpr unsigned kMbRetryCancel = 0x05;
constexpr int kIdAbort = 3;
constexpr int kIdRetry = 4;
constexpr int kIdIgnore = 5;
constexpr int kIconSide = 32;
constexpr int kMargin = 18;
constexpr int kMaxTextWidth = 520;

const QColor kGradientEdge(253, 223, 179);
const QColor kGradientMiddle(251, 203, 132);

struct ButtonChoice {
  QDialogButtonBox::StandardButton button;
  int id;
};

std::vector<ButtonChoice> ButtonsOf(unsigned style) {
  switch (style & kButtonSetMask) {
    case kMbOkCancel:
      return {{QDialogButtonBox::Ok, kIdOk}, {QDialogButtonBox::Cancel, kIdCancel}};
    case kMbAbortRetryIgnore:
      return {{QDialogButtonBox::Abort, kIdAbort},
              {QDialogButtonBox::Retry, kIdRetry},
              {QDialogButtonBox::Ignore, kIdIgnore}};
    case kMbYesNoCancel:
      return {{QDialogButtonBox::Yes, kIdYes},
              {QDialogButtonBox::No, kIdNo},
              {QDialogButtonBox::Cancel, kIdCancel}};
    case kMbYesNo:
      return {{QDialogButtonBox::Yes, kIdYes}, {QDialogButtonBox::No, kIdNo}};
    case kMbRetryCancel:
      return {{QDialogButtonBox::Retry, kIdRetry}, {QDialogButtonBox::Cancel, kIdCancel}};
    default:
      return {{QDialogButtonBox::Ok, kIdOk}};
  }
}

// Boxes without a way out (Yes/No, Abort/Retry/Ignore) ignore Esc and the close button.
bool AllowsEscape(unsigned style) {
  const unsigned set = style & kButtonSetMask;
  return set != kMbYesNo && set != kMbAbortRetryIgnore;
}

QStyle::StandardPixmap IconOf(unsigned style) {
  switch (style & kIconMask) {
    case 0x10:
      return QStyle::SP_MessageBoxCritical;
    case 0x20:
      return QStyle::SP_MessageBoxQuestion;
    case 0x30:
      return QStyle::SP_MessageBoxWarning;
    case 0x40:
      return QStyle::SP_MessageBoxInformation;
    default:
      return QStyle::SP_CustomBase;  // no icon
  }
}

// Short messages stay on their lines; long ones wrap at a comfortable reading width instead of
// the narrow width a wrapping label would pick for itself.
void FitTextWidth(QLabel& label, const QString& richText) {
  QTextDocument layout;
  layout.setDefaultFont(label.font());
  layout.setHtml(richText);
  const int natural = static_cast<int>(std::ceil(layout.idealWidth()));
  if (natural <= kMaxTextWidth) return;
  label.setWordWrap(true);
  label.setFixedWidth(kMaxTextWidth);
}

}  // namespace

CMessageBoxDialog::CMessageBoxDialog(QWidget* owner, const QString& richText,
                                     const QString& caption, unsigned style)
    : QDialog(owner), answer_(kIdCancel), escapeAllowed_(AllowsEscape(style)) {
  setWindowTitle(caption);
  setModal(true);
  setObjectName(QStringLiteral("AppMessageBox"));
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText, Qt::black);
  setPalette(colours);

  auto* message = new QLabel(richText, this);
  message->setObjectName(QStringLiteral("AppMessageBoxText"));
  message->setTextFormat(Qt::RichText);
  message->setTextInteractionFlags(Qt::TextBrowserInteraction);
  message->setOpenExternalLinks(false);
  FitTextWidth(*message, richText);
  connect(message, &QLabel::linkActivated, this, &CMessageBoxDialog::OpenLinkTarget);

  auto* row = new QHBoxLayout;
  row->setSpacing(kMargin);
  const QStyle::StandardPixmap icon = IconOf(style);
  if (icon != QStyle::SP_CustomBase) {
    auto* iconLabel = new QLabel(this);
    iconLabel->setPixmap(this->style()->standardIcon(icon).pixmap(kIconSide, kIconSide));
    iconLabel->setAlignment(Qt::AlignTop);
    row->addWidget(iconLabel, 0, Qt::AlignTop);
  }
  row->addWidget(message, 1);

  auto* buttons = new QDialogButtonBox(this);
  buttons->setCenterButtons(true);
  AddButtons(*buttons, style);
  connect(buttons, &QDialogButtonBox::clicked, this, &CMessageBoxDialog::OnButton);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(kMargin + 4, kMargin, kMargin + 4, kMargin - 4);
  column->setSpacing(kMargin);
  column->addLayout(row);
  column->addWidget(buttons);
  column->setSizeConstraint(QLayout::SetFixedSize);
}

void CMessageBoxDialog::AddButtons(QDialogButtonBox& box, unsigned style) {
  bool first = true;
  for (const ButtonChoice& choice : ButtonsOf(style)) {
    QPushButton* button = box.addButton(choice.button);
    button->setProperty("answerId", choice.id);
    button->setDefault(first);
    if (first) button->setFocus();
    first = false;
  }
}

void CMessageBoxDialog::OnButton(QAbstractButton* button) {
  answer_ = button->property("answerId").toInt();
  done(answer_);
}

void CMessageBoxDialog::reject() {
  if (!escapeAllowed_) return;
  answer_ = kIdCancel;
  QDialog::reject();
}

QUrl CMessageBoxDialog::LinkTargetUrl(const QString& target) {
  const QUrl asUrl(target, QUrl::StrictMode);
  // A one-letter "scheme" is the drive letter of a local path.
  const bool hasScheme = asUrl.isValid() && asUrl.scheme().size() > 1;
  return hasScheme ? asUrl : QUrl::fromLocalFile(target);
}

void CMessageBoxDialog::OpenLinkTarget(const QString& target) {
  QDesktopServices::openUrl(LinkTargetUrl(target));
}

void CMessageBoxDialog::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QLinearGradient shade(0, 0, 0, height());
  shade.setColorAt(0.0, kGradientEdge);
  shade.setColorAt(0.5, kGradientMiddle);
  shade.setColorAt(1.0, kGradientEdge);
  painter.fillRect(rect(), shade);
}
