#include "app/about_dlg.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kAppTitle = QStringLiteral("Brenvik Viva Zadado");
constexpr int kMajorVersion = 1;
constexpr int kMinorVersion = 0;

QLabel* CenteredLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignHCenter);
  label->setObjectName(QStringLiteral("IDC_ABOUT_STATIC"));
  return label;
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent), background_(QStringLiteral(":/res/about_background.png")) {
  const QString version =
      QStringLiteral("%1 v%2.%3").arg(kAppTitle).arg(kMajorVersion).arg(kMinorVersion);
  setWindowTitle(QStringLiteral("About %1").arg(version));
  setModal(true);
  setFixedSize(background_.isNull() ? QSize(360, 334) : background_.size());

  auto* layout = new QVBoxLayout(this);
  layout->addSpacing(24);
  const QPixmap logo(QStringLiteral(":/res/logo.png"));
  if (!logo.isNull()) {
    auto* picture = new QLabel(this);
    picture->setPixmap(logo);
    picture->setAlignment(Qt::AlignHCenter);
    layout->addWidget(picture);
  }
  layout->addStretch(3);
  QLabel* versionLine = CenteredLabel(version, this);
  QFont bold(QStringLiteral("Arial"));
  bold.setPixelSize(16);
  bold.setBold(true);
  versionLine->setFont(bold);
  versionLine->setObjectName(QStringLiteral("IDC_ABOUT_VERSION"));
  layout->addWidget(versionLine);
  layout->addWidget(CenteredLabel(tr("Copyright (C) 2026 Brenvik. All rights reserved."), this));
  layout->addWidget(CenteredLabel(QStringLiteral("%1 Software.").arg(kAppTitle), this));
  layout->addStretch(4);

  auto* ok = new QPushButton(tr("OK"), this);
  ok->setObjectName(QStringLiteral("IDOK"));
  ok->setAutoDefault(false);
  ok->setFixedWidth(90);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(ok, 0, Qt::AlignHCenter);
}

void CAboutDlg::keyPressEvent(QKeyEvent* event) {
  // Neither key closes the box: only OK, the close box or Alt+F4 do.
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      event->accept();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void CAboutDlg::paintEvent(QPaintEvent* event) {
  if (background_.isNull()) {
    QDialog::paintEvent(event);
    return;
  }
  QPainter painter(this);
  painter.drawPixmap(0, 0, background_);
}
