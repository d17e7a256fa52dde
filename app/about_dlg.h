// The about box: product name and version, the maker's notice, and an OK button. Enter and
// Escape do not close it.
#pragma once

#include <QDialog>
#include <QPixmap>

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap background_;
};
