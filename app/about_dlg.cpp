#include "app/about_dlg.h"

#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <algorithm>

#include "widgets/hyperlink_label.h"
#include "widgets/transparent_static.h"

namespace {

const QString kAppTitle = QStringLiteral("Brenvik Viva Zadado");
constexpr int kMajorVersion = 1;
constexpr int kMinorVersion = 0;

const QString kLetters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");

// Rounds a * b / c to the nearest integer, halves away from zero, as the platform's MulDiv.
int MulDiv(int a, int b, int c) {
  const long long product = static_cast<long long>(a) * b;
  const long long half = c / 2;
  return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

bool IsEnterOrEscape(const QEvent* event) {
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) {
    return false;
  }
  const int key = static_cast<const QKeyEvent*>(event)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      background_(QStringLiteral(":/res/about_background.png")) {
  setObjectName(QStringLiteral("IDD_ABOUTBOX"));
  setFont(DialogFont());
  baseUnits_ = DialogBaseUnits(font());
  const QString version =
      QStringLiteral("%1 v%2.%3").arg(kAppTitle).arg(kMajorVersion).arg(kMinorVersion);
  setWindowTitle(QStringLiteral("About %1").arg(version));
  setModal(true);
  setFixedSize(Place(0, 0, kWidthDlu, kHeightDlu).size());
  CreateItems();
  CreateLinks();
}

QString CAboutDlg::WebSiteAddress() {
  return QStringLiteral("www.brenvik.example");
}
QString CAboutDlg::WebSiteTarget() {
  return QStringLiteral("https://www.brenvik.example/");
}
QString CAboutDlg::SupportAddress() {
  return QStringLiteral("support@brenvik.example");
}
QString CAboutDlg::SalesAddress() {
  return QStringLiteral("sales@brenvik.example");
}
QString CAboutDlg::NoticeLine() {
  return QStringLiteral("Copyright (C) 2026 Brenvik. All rights reserved.");
}

QFont CAboutDlg::DialogFont() {
  QFont face(QStringLiteral("MS Shell Dlg 2"));
  QFont::insertSubstitutions(QStringLiteral("MS Shell Dlg 2"),
                             {QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"),
                              QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
  face.setPixelSize(11);
  return face;
}

QSize CAboutDlg::DialogBaseUnits(const QFont& face) {
  const QFontMetrics metrics(face);
  const int average = (metrics.horizontalAdvance(kLetters) / 26 + 1) / 2;
  return QSize(average, metrics.height());
}

QRect CAboutDlg::MapDialogRect(const QRect& dialogUnits, const QSize& baseUnits) {
  const int left = MulDiv(dialogUnits.left(), baseUnits.width(), 4);
  const int top = MulDiv(dialogUnits.top(), baseUnits.height(), 8);
  const int right = MulDiv(dialogUnits.left() + dialogUnits.width(), baseUnits.width(), 4);
  const int bottom = MulDiv(dialogUnits.top() + dialogUnits.height(), baseUnits.height(), 8);
  return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

QRect CAboutDlg::Place(int x, int y, int width, int height) const {
  return MapDialogRect(QRect(x, y, width, height), baseUnits_);
}

void CAboutDlg::CreateItems() {
  auto* versionLine = new CTesselTransparentStatic(this);
  versionLine->setObjectName(QStringLiteral("IDC_ABOUT_VERSION"));
  versionLine->SetText(
      QStringLiteral("%1 v%2.%3").arg(kAppTitle).arg(kMajorVersion).arg(kMinorVersion));
  QFont bold(QStringLiteral("Arial"));
  bold.setPixelSize(16);
  bold.setWeight(QFont::Bold);
  versionLine->setFont(bold);
  // The item's 10 units are a little short for the bold face: it gets its font's height.
  QRect versionRect = Place(46, 77, 175, 10);
  versionRect.setHeight(std::max(versionRect.height(), QFontMetrics(bold).height()));
  versionLine->setGeometry(versionRect);

  auto* notice = new CTesselTransparentStatic(NoticeLine(), this);
  notice->setObjectName(QStringLiteral("IDC_ABOUT_NOTICE"));
  notice->setGeometry(Place(61, 92, 169, 8));

  auto* product = new CTesselTransparentStatic(QStringLiteral("%1 Software.").arg(kAppTitle), this);
  product->setObjectName(QStringLiteral("IDC_ABOUT_PRODUCT"));
  product->setGeometry(Place(56, 106, 147, 8));

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("IDOK"));
  ok->setIcon(QIcon(QStringLiteral(":/res/btn_ok.png")));
  ok->setIconSize(QSize(16, 16));
  ok->setAutoDefault(false);
  ok->setDefault(false);
  ok->setGeometry(Place(95, 184, 50, 14));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  ok->installEventFilter(this);
}

void CAboutDlg::CreateLinks() {
  struct Link {
    const char* id;
    QString text;
    QString target;
    QRect rect;
  };
  const Link links[] = {
      {"IDC_ABOUT_WEBSITE", WebSiteAddress(), WebSiteTarget(), Place(70, 118, 93, 8)},
      {"IDC_ABOUT_SUPPORT_MAIL", SupportAddress(), QStringLiteral("mailto:") + SupportAddress(),
       Place(70, 131, 84, 8)},
      {"IDC_ABOUT_SALES_MAIL", SalesAddress(), QStringLiteral("mailto:") + SalesAddress(),
       Place(70, 144, 76, 8)},
  };
  for (const Link& link : links) {
    auto* label = new CHyperlinkLabel(link.text, this);
    label->setObjectName(QLatin1String(link.id));
    label->setGeometry(link.rect);
    label->SetURL(link.target);
    label->ShowUnderlined();
  }
}

void CAboutDlg::keyPressEvent(QKeyEvent* event) {
  // Neither key closes the box: only OK, the close box or Alt+F4 do.
  if (IsEnterOrEscape(event)) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

bool CAboutDlg::eventFilter(QObject* watched, QEvent* event) {
  // Enter on the focused OK button does nothing either.
  if (IsEnterOrEscape(event) && event->type() == QEvent::KeyPress) {
    event->accept();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void CAboutDlg::paintEvent(QPaintEvent* event) {
  if (background_.isNull()) {
    QDialog::paintEvent(event);
    return;
  }
  QPainter painter(this);
  painter.drawPixmap(0, 0, background_);
}
