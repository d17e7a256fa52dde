// The about box: the background picture, the product name with its version, the maker's notice,
// the product line, three links (web site, support mail, sales mail) and an OK button with its
// picture. Its items are laid out in dialog units, converted to pixels from the dialog font's
// character size as the platform converts them. Enter and Escape do not close it.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <QRect>

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  // Dialog size in dialog units.
  static constexpr int kWidthDlu = 234;
  static constexpr int kHeightDlu = 201;

  explicit CAboutDlg(QWidget* parent = nullptr);

  // The addresses of the links. They are placeholders on a reserved domain until the maker
  // gives real ones.
  static QString WebSiteAddress();
  static QString WebSiteTarget();
  static QString SupportAddress();
  static QString SalesAddress();
  static QString NoticeLine();

  // The font the box's dialog units are measured in: "MS Shell Dlg" at 8 points (11 pixels at
  // 96 dots per inch), or the face that stands in for it.
  static QFont DialogFont();
  // The character size of font in pixels as the platform's dialog base units: the average width
  // of the 52 letters A-Z and a-z, rounded, and the font's height.
  static QSize DialogBaseUnits(const QFont& font);
  // A rectangle in dialog units converted to pixels with base units (x scaled by width / 4,
  // y by height / 8, each rounded to the nearest).
  static QRect MapDialogRect(const QRect& dialogUnits, const QSize& baseUnits);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void CreateItems();
  void CreateLinks();
  QRect Place(int x, int y, int width, int height) const;

  QPixmap background_;
  QSize baseUnits_;
};
