// The workspace's file list: one column "File Name", grid lines, full-row selection, cell tool
// tips, a tiled background picture and three state icons. Reports the clicked or
// keyboard-selected row (the private preview message) and the hovered cell's text.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QTreeWidget>
#include <memory>
#include <vector>

class CTesselListCtrl : public QTreeWidget {
  Q_OBJECT

 public:
  explicit CTesselListCtrl(QWidget* parent = nullptr);

  // Rows: text = package path, data = 1 repaired / 0 not, image = index into the state icons
  // (0 not repaired, 1 repaired, 2 listed).
  int RowCount() const;
  int AddRow(const QString& text, int image);  // appends, returns the new row's index
  void DeleteRow(int row);
  void DeleteAllRows();
  QString RowText(int row) const;
  int RowData(int row) const;
  void SetRowData(int row, int value);
  int RowImage(int row) const;
  void SetRowImage(int row, int image);
  std::vector<int> SelectedRows() const;  // ascending
  int SelectionMark() const;              // the current row, -1 when none

  // The state icons (three 20x20 images) and the tiled background picture.
  void SetStateIcons(const QPixmap& strip);
  void SetBackgroundPicture(const QPixmap& picture);

 signals:
  // The private preview message: a row was clicked, or a key went down or up in the list.
  void showItemPreview(int row);
  // The text of the hovered cell, when it is not empty (for status bar pane 0).
  void hoverText(const QString& text);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  QTreeWidgetItem* Row(int row) const;  // null when out of range
  void ApplyIcon(QTreeWidgetItem& item) const;
  void EmitPreviewOfSelectionMark();

  std::vector<QIcon> icons_;
};
