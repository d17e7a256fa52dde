// The modal dialog behind AppMessageBox: rich text beside a standard icon over a warm vertical
// gradient, with the button set of a message-box style.
#pragma once

#include <QDialog>

class QAbstractButton;
class QDialogButtonBox;
class QUrl;

class CMessageBoxDialog : public QDialog {
  Q_OBJECT

 public:
  // richText is already converted from message markup.
  CMessageBoxDialog(QWidget* owner, const QString& richText, const QString& caption,
                    unsigned style);

  // The answer: the id of the pressed button, or kIdCancel when the box closed without one.
  int Answer() const { return answer_; }

  // A link target as a URL: one with a scheme as it is, anything else as a local path.
  static QUrl LinkTargetUrl(const QString& target);
  static void OpenLinkTarget(const QString& target);

 public slots:
  void reject() override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void AddButtons(QDialogButtonBox& box, unsigned style);
  void OnButton(QAbstractButton* button);

  int answer_;
  bool escapeAllowed_ = true;
};
