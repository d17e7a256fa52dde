// The view's layout at every size, its background, and the mouse-over texts.
#include <QAbstractButton>
#include <QCheckBox>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <algorithm>

#include "widgets/estimate_progress_ctrl.h"
#include "widgets/picture_box.h"
#include "widgets/prompt_edit.h"
#include "widgets/tessel_list_ctrl.h"
#include "workspace/instruction_line.h"
#include "workspace/log_panel.h"
#include "workspace/tessel_view.h"

namespace {

constexpr QColor kBackgroundColour(253, 225, 185);
constexpr int kHeaderHeight = 72;
constexpr int kFooterTop = 60;      // the footer starts this far above the bottom
constexpr int kFillEndMargin = 50;  // the warm fill ends this far above the bottom
constexpr int kMaxHoverChars = 260;

}  // namespace

// "File preview:" in its bold face is wider and taller than the 90 by 16 pixels it was drawn
// for (the colon and the descender of "p" were cut): the label takes its text's size, keeping
// its left edge and ending just above the preview.
QRect CTesselMSOfficeDotmProjView::PreviewLabelRect(int width) const {
  const QFontMetrics metrics(previewLabel_->font());
  const int textWidth = std::max(90, metrics.horizontalAdvance(previewLabel_->text()) + 2);
  const int textHeight = std::max(16, metrics.height());
  constexpr int kBottom = 111;  // two pixels above the preview
  return QRect(width - 210, kBottom - textHeight, textWidth, textHeight);
}

void CTesselMSOfficeDotmProjView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayOut();
}

void CTesselMSOfficeDotmProjView::LayOut() {
  const int w = width();
  const int h = height();
  const int m = h / 2 + 25;
  selectButton_->setGeometry(10, 80, 100, 28);
  removeButton_->setGeometry(115, 80, 100, 28);
  repairButton_->setGeometry(220, 80, 100, 28);
  previewLabel_->setGeometry(PreviewLabelRect(w));
  list_->setGeometry(10, 113, w - 230, m - 113);
  UpdateListBackground(w, h);
  preview_->setGeometry(w - 210, 113, 200, m - 113);
  locationLabel_->setGeometry(10, m + 5, 290, 26);
  pathBox_->setGeometry(305, m + 7, w - 585, 22);
  browseButton_->setGeometry(w - 275, m + 5, 50, 26);
  saveButton_->setGeometry(w - 220, m + 5, 70, 26);
  extractMedia_->setGeometry(w - 145, m + 5, 135, 26);
  stopButton_->setGeometry(w - 130, h - 40, 60, 30);
  exitButton_->setGeometry(w - 65, h - 40, 55, 30);
  instruction_->setGeometry(75, h - 50, 310, 45);
  LayOutBand(w, h, m + 36);
}

// The log panel and the progress area share the band below the destination row: a repair
// shows both bars, a save only the total bar.
void CTesselMSOfficeDotmProjView::LayOutBand(int w, int h, int top) {
  const bool fileShown = !fileProgressLabel_->isHidden();
  const bool totalShown = !totalProgressLabel_->isHidden();
  if (fileShown) {
    const int bottom = h - 105;
    log_->setGeometry(10, top, w - 20, bottom - top);
    fileProgressLabel_->setGeometry(10, bottom + 5, 150, 18);
    fileProgress_->setGeometry(165, bottom + 5, w - 175, 13);
    totalProgressLabel_->setGeometry(10, bottom + 28, 150, 18);
    totalProgress_->setGeometry(165, bottom + 28, w - 175, 13);
  } else if (totalShown) {
    const int bottom = h - 90;
    log_->setGeometry(10, top, w - 20, bottom - top);
    totalProgressLabel_->setGeometry(10, bottom + 5, 150, 18);
    totalProgress_->setGeometry(165, bottom + 5, w - 175, 13);
  } else {
    log_->setGeometry(10, top, w - 20, h - 70 - top);
  }
}

void CTesselMSOfficeDotmProjView::UpdateListBackground(int w, int h) {
  const int pictureWidth = w - 230;
  const int pictureHeight = h / 2 + 25 - 98;
  if (listBackground_.isNull() || pictureWidth <= 0 || pictureHeight <= 0) return;
  list_->SetBackgroundPicture(listBackground_.scaled(
      pictureWidth, pictureHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
  list_->viewport()->update();
}

void CTesselMSOfficeDotmProjView::paintEvent(QPaintEvent*) {
  // QWidget painting is double-buffered already: this is drawn off screen and copied at once.
  QPainter painter(this);
  const int r = width();
  const int bottom = height();
  painter.fillRect(rect(), kBackgroundColour);
  if (!headerLeft_.isNull()) painter.drawPixmap(0, 0, headerLeft_);
  if (!headerFill_.isNull() && r - 100 > 173) {
    painter.drawPixmap(QRect(400, 0, r - 400, headerFill_.height()), headerFill_);
  }
  painter.fillRect(QRect(QPoint(0, kHeaderHeight), QPoint(r - 1, bottom - kFillEndMargin - 1)),
                   kBackgroundColour);
  if (!footerFill_.isNull()) {
    painter.drawPixmap(QRect(0, bottom - kFooterTop, r, footerFill_.height()), footerFill_);
  }
  if (!footerLeft_.isNull()) painter.drawPixmap(0, bottom - kFooterTop, footerLeft_);
}

// Mouse-over texts: every child reports its text to the status bar; the background empties it.
void CTesselMSOfficeDotmProjView::WatchMouseMoves() {
  for (QWidget* child : findChildren<QWidget*>()) {
    // Without tracking, Qt drops button-less moves before any filter sees them.
    child->setMouseTracking(true);
    child->installEventFilter(this);
  }
}

// Moves that reach the view itself are over its background, or were passed up by a control
// that does not take them (labels, disabled buttons): the control under the cursor decides.
void CTesselMSOfficeDotmProjView::mouseMoveEvent(QMouseEvent* event) {
  QObject* control = DirectChild(childAt(event->position().toPoint()));
  if (!control) {
    emit statusText(QString());
  } else if (control != list_) {
    emit statusText(HoverTextOf(control));
  }
  QWidget::mouseMoveEvent(event);
}

bool CTesselMSOfficeDotmProjView::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
    // The file list reports its hovered cell itself.
    QObject* control = DirectChild(watched);
    if (control && control != list_) emit statusText(HoverTextOf(control));
  }
  return QWidget::eventFilter(watched, event);
}

QObject* CTesselMSOfficeDotmProjView::DirectChild(QObject* descendant) const {
  QObject* control = descendant;
  while (control && control->parent() != this)
    control = control->parent();
  return control;
}

QString CTesselMSOfficeDotmProjView::HoverTextOf(QObject* control) const {
  QString text;
  if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    text = button->text();
  } else if (auto* label = qobject_cast<QLabel*>(control)) {
    text = label->text();
  } else if (control == pathBox_) {
    text = pathBox_->Text();
  } else if (control == log_) {
    text = log_->LeadingText(kMaxHoverChars);
  } else if (control == instruction_) {
    text = instruction_->toPlainText();
  }
  return text.left(kMaxHoverChars);
}
