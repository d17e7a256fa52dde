// One open HTML message box: the dialog, its buttons, check box, renderers and cached
// background, laid out in pixels by code.
#pragma once

#include <QBasicTimer>
#include <QDialog>
#include <QFont>
#include <QImage>
#include <QPixmap>
#include <array>
#include <utility>
#include <vector>

#include "widgets/html_drawer.h"
#include "widgets/html_message_box.h"

class QCheckBox;
class QLabel;
class QPushButton;

// The event a renderer sends when the hovered link changes.
inline constexpr int kRedrawRequest = 1000 + 100;

class CHtmlMessageBoxTemplate : public QDialog {
  Q_OBJECT

 public:
  explicit CHtmlMessageBoxTemplate(const HtmlMessageBoxParams& params, QWidget* parent);
  ~CHtmlMessageBoxTemplate() override;

  // The answer once the box has closed.
  int Result() const { return result_; }

  // What tests look at: the buttons in creation order, the computed sizes, the Esc rule.
  const std::vector<std::pair<int, QPushButton*>>& Buttons() const { return buttons_; }
  QPushButton* Button(int id) const;
  QCheckBox* CheckBox() const { return checkBox_; }
  bool EscapeAllowed() const { return escapeAllowed_; }
  bool CloseAllowed() const;
  QSize ButtonSize() const { return {buttonWidth_, buttonHeight_}; }
  int DefaultIndex() const { return defaultIndex_; }
  int MoreHeight() const { return moreHeight_; }
  bool Expanded() const { return expanded_; }
  const CHtmlDrawer& MessageDrawer() const { return drawers_[1]; }

  // One second of a countdown (the timer calls it; tests too).
  void Tick();
  // A command as a button, Esc or the close box gives it.
  void OnCommand(int id);

 public slots:
  void reject() override;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void Initialise();
  void Layout();
  void AddButton(int id);
  void CreateButtons();
  void PlaceControls();
  void CentreOverParent();
  void RenderBackground();
  void PaintArea(QPainter& painter, const QRect& band, const MessageBoxArea& area,
                 const QString& separatorText, bool separatorAtBottom);
  QString ButtonCaption(int id, const QString& fallback = QString()) const;
  QString CountdownCaption(int value) const;
  void SetCloseAllowed(bool allowed);
  void ToggleMore();
  void StoreAnswer(int answer) const;
  int HeaderTop() const { return 0; }
  int MessageTop() const { return headerHeight_; }
  int MessageBottom() const { return headerHeight_ + messageHeight_; }

  HtmlMessageBoxParams params_;
  std::vector<std::pair<int, QPushButton*>> buttons_;
  QStringList customCaptions_;
  QCheckBox* checkBox_ = nullptr;  // children of the box
  QLabel* checkLabel_ = nullptr;
  QImage icon_;
  int iconHandle_ = 0;
  QFont dialogFont_;
  QPixmap background_;
  std::array<CHtmlDrawer, 3> drawers_;  // header, message, more
  QString caption_;
  QString message_;
  QString header_;
  QString more_;
  QString buttonSeparator_;
  QString moreSeparator_;
  QString lessCaption_;
  QString moreCaption_;
  QString defaultCaption_;
  QString countdownFormat_;
  int headerHeight_ = 0;
  int messageHeight_ = 0;
  int bandHeight_ = 0;
  int moreHeight_ = 0;
  int buttonWidth_ = 0;
  int buttonHeight_ = 0;
  int defaultIndex_ = 0;
  int countdown_ = 0;
  bool escapeAllowed_ = false;
  bool closeAllowed_ = true;
  bool expanded_ = false;
  bool painted_ = false;
  int result_ = kIdCancel;
  QBasicTimer timer_;
};
