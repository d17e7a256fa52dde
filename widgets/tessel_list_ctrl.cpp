// Placeholder until the list control lands.
#include "widgets/tessel_list_ctrl.h"
CTesselListCtrl::CTesselListCtrl(QWidget* parent) : QTreeWidget(parent) {}
int CTesselListCtrl::RowCount() const { return topLevelItemCount(); }
int CTesselListCtrl::AddRow(const QString& text, int) {
  addTopLevelItem(new QTreeWidgetItem(QStringList{text}));
  return RowCount() - 1;
}
void CTesselListCtrl::DeleteRow(int row) { delete takeTopLevelItem(row); }
void CTesselListCtrl::DeleteAllRows() { clear(); }
QString CTesselListCtrl::RowText(int row) const { return topLevelItem(row)->text(0); }
int CTesselListCtrl::RowData(int row) const { return topLevelItem(row)->data(0, Qt::UserRole).toInt(); }
void CTesselListCtrl::SetRowData(int row, int value) { topLevelItem(row)->setData(0, Qt::UserRole, value); }
int CTesselListCtrl::RowImage(int) const { return 0; }
void CTesselListCtrl::SetRowImage(int, int) {}
std::vector<int> CTesselListCtrl::SelectedRows() const { return {}; }
int CTesselListCtrl::SelectionMark() const { return -1; }
void CTesselListCtrl::SetStateIcons(const QPixmap&) {}
void CTesselListCtrl::SetBackgroundPicture(const QPixmap&) {}
void CTesselListCtrl::mousePressEvent(QMouseEvent* e) { QTreeWidget::mousePressEvent(e); }
void CTesselListCtrl::mouseMoveEvent(QMouseEvent* e) { QTreeWidget::mouseMoveEvent(e); }
void CTesselListCtrl::keyPressEvent(QKeyEvent* e) { QTreeWidget::keyPressEvent(e); }
void CTesselListCtrl::keyReleaseEvent(QKeyEvent* e) { QTreeWidget::keyReleaseEvent(e); }
