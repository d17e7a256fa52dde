#include "widgets/tessel_list_ctrl.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

namespace {

constexpr int kImageRole = Qt::UserRole + 1;
constexpr int kStateIconSide = 20;
constexpr int kFileNameColumnWidth = 900;

// Tree views have no grid option: each cell draws its own right and bottom edge.
class GridLineDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    painter->save();
    painter->setPen(QColor(208, 208, 208));
    const QRect cell = option.rect;
    painter->drawLine(cell.bottomLeft(), cell.bottomRight());
    painter->drawLine(cell.topRight(), cell.bottomRight());
    painter->restore();
  }
};

// Rows compare equal, so that no sort, whoever asks for it, ever reorders the list: row indices
// name the rows' working folders.
class UnorderedItem : public QTreeWidgetItem {
 public:
  using QTreeWidgetItem::QTreeWidgetItem;
  bool operator<(const QTreeWidgetItem&) const override { return false; }
};

}  // namespace

CTesselListCtrl::CTesselListCtrl(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(1);
  setHeaderLabels({QStringLiteral("File Name")});
  header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header()->setSectionsClickable(false);
  header()->setStretchLastSection(false);
  setColumnWidth(0, kFileNameColumnWidth);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSortingEnabled(false);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setAllColumnsShowFocus(true);
  setIconSize(QSize(kStateIconSide, kStateIconSide));
  setMouseTracking(true);
  setItemDelegate(new GridLineDelegate(this));
}

int CTesselListCtrl::RowCount() const {
  return topLevelItemCount();
}

QTreeWidgetItem* CTesselListCtrl::Row(int row) const {
  return row >= 0 && row < RowCount() ? topLevelItem(row) : nullptr;
}

int CTesselListCtrl::AddRow(const QString& text, int image) {
  auto item = std::make_unique<UnorderedItem>(QStringList{text});
  item->setToolTip(0, text);
  // The rows draw their text on white, so that it stays readable over the background picture.
  item->setBackground(0, QBrush(Qt::white));
  item->setData(0, Qt::UserRole, 0);
  addTopLevelItem(item.release());  // the list owns its items from here on
  const int row = RowCount() - 1;
  SetRowImage(row, image);
  return row;
}

void CTesselListCtrl::DeleteRow(int row) {
  if (Row(row) == nullptr) return;
  std::unique_ptr<QTreeWidgetItem> taken(takeTopLevelItem(row));
}

void CTesselListCtrl::DeleteAllRows() {
  clear();
}

QString CTesselListCtrl::RowText(int row) const {
  const QTreeWidgetItem* item = Row(row);
  return item != nullptr ? item->text(0) : QString();
}

int CTesselListCtrl::RowData(int row) const {
  const QTreeWidgetItem* item = Row(row);
  return item != nullptr ? item->data(0, Qt::UserRole).toInt() : 0;
}

void CTesselListCtrl::SetRowData(int row, int value) {
  if (QTreeWidgetItem* item = Row(row)) item->setData(0, Qt::UserRole, value);
}

int CTesselListCtrl::RowImage(int row) const {
  const QTreeWidgetItem* item = Row(row);
  return item != nullptr ? item->data(0, kImageRole).toInt() : -1;
}

void CTesselListCtrl::SetRowImage(int row, int image) {
  QTreeWidgetItem* item = Row(row);
  if (item == nullptr) return;
  item->setData(0, kImageRole, image);
  ApplyIcon(*item);
}

void CTesselListCtrl::ApplyIcon(QTreeWidgetItem& item) const {
  const int image = item.data(0, kImageRole).toInt();
  const bool known = image >= 0 && static_cast<std::size_t>(image) < icons_.size();
  item.setIcon(0, known ? icons_[static_cast<std::size_t>(image)] : QIcon());
}

std::vector<int> CTesselListCtrl::SelectedRows() const {
  std::vector<int> rows;
  for (const QModelIndex& index : selectionModel()->selectedRows())
    rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

int CTesselListCtrl::SelectionMark() const {
  const QModelIndex current = currentIndex();
  return current.isValid() ? current.row() : -1;
}

void CTesselListCtrl::SetStateIcons(const QPixmap& strip) {
  icons_.clear();
  const int side = strip.height();
  if (side > 0) {
    for (int x = 0; x + side <= strip.width(); x += side) {
      icons_.emplace_back(strip.copy(x, 0, side, side));
    }
  }
  for (int row = 0; row < RowCount(); ++row)
    ApplyIcon(*topLevelItem(row));
}

void CTesselListCtrl::SetBackgroundPicture(const QPixmap& picture) {
  QPalette colours = viewport()->palette();
  colours.setBrush(QPalette::Base,
                   picture.isNull() ? palette().brush(QPalette::Base) : QBrush(picture));
  viewport()->setPalette(colours);
  viewport()->setAutoFillBackground(true);
  viewport()->update();
}

void CTesselListCtrl::mousePressEvent(QMouseEvent* event) {
  QTreeWidget::mousePressEvent(event);
  if (event->button() != Qt::LeftButton) return;
  const QModelIndex hit = indexAt(event->position().toPoint());
  if (hit.isValid()) emit showItemPreview(hit.row());
}

void CTesselListCtrl::mouseMoveEvent(QMouseEvent* event) {
  QTreeWidget::mouseMoveEvent(event);
  const QModelIndex hit = indexAt(event->position().toPoint());
  if (!hit.isValid()) return;
  const QString text = hit.data(Qt::DisplayRole).toString();
  if (!text.isEmpty()) emit hoverText(text);
}

void CTesselListCtrl::keyPressEvent(QKeyEvent* event) {
  QTreeWidget::keyPressEvent(event);
  EmitPreviewOfSelectionMark();
}

void CTesselListCtrl::keyReleaseEvent(QKeyEvent* event) {
  QTreeWidget::keyReleaseEvent(event);
  EmitPreviewOfSelectionMark();
}

void CTesselListCtrl::EmitPreviewOfSelectionMark() {
  const int mark = SelectionMark();
  if (mark >= 0) emit showItemPreview(mark);
}
