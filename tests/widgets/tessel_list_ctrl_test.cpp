#include "widgets/tessel_list_ctrl.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

namespace {

QPixmap ThreeColourStrip() {
  QPixmap strip(60, 20);
  QPainter painter(&strip);
  painter.fillRect(0, 0, 20, 20, Qt::red);
  painter.fillRect(20, 0, 20, 20, Qt::green);
  painter.fillRect(40, 0, 20, 20, Qt::blue);
  return strip;
}

class TesselListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    list_.resize(500, 300);
    list_.SetStateIcons(ThreeColourStrip());
    for (const char* path : {"/data/a.dotm", "/data/b.dotm", "/data/c.dotm", "/data/d.dotm"}) {
      list_.AddRow(QString::fromLatin1(path), 2);
    }
    list_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list_));
  }

  QPoint RowCentre(int row) const { return list_.visualItemRect(list_.topLevelItem(row)).center(); }

  void MoveMouse(const QPoint& at) {
    QMouseEvent move(QEvent::MouseMove, at, list_.viewport()->mapToGlobal(at), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(list_.viewport(), &move);
  }

  CTesselListCtrl list_;
};

TEST_F(TesselListTest, RowsShowTheirPathStateIconAndTooltip) {
  ASSERT_EQ(list_.RowCount(), 4);
  EXPECT_EQ(list_.headerItem()->text(0), QStringLiteral("File Name"));
  EXPECT_EQ(list_.RowText(1), QStringLiteral("/data/b.dotm"));
  EXPECT_EQ(list_.RowData(1), 0);
  EXPECT_EQ(list_.RowImage(1), 2);
  EXPECT_EQ(list_.topLevelItem(1)->toolTip(0), QStringLiteral("/data/b.dotm"));
  list_.SetRowImage(1, 1);  // the icon is the strip's second square
  const QImage icon = list_.topLevelItem(1)->icon(0).pixmap(20, 20).toImage();
  EXPECT_EQ(icon.pixel(10, 10) & 0xFFFFFFu, 0x00FF00u);
}

TEST_F(TesselListTest, DeletingShiftsLaterRowsAndBadRowsAreHarmless) {
  list_.DeleteRow(1);
  ASSERT_EQ(list_.RowCount(), 3);
  EXPECT_EQ(list_.RowText(1), QStringLiteral("/data/c.dotm"));
  list_.DeleteRow(7);
  list_.DeleteRow(-1);
  list_.SetRowData(9, 1);
  list_.SetRowImage(-2, 1);
  EXPECT_EQ(list_.RowCount(), 3);
  EXPECT_TRUE(list_.RowText(5).isEmpty());
  EXPECT_EQ(list_.RowImage(5), -1);
  list_.DeleteAllRows();
  EXPECT_EQ(list_.RowCount(), 0);
  EXPECT_EQ(list_.SelectionMark(), -1);
}

TEST_F(TesselListTest, NeverReordersRowsAndReportsSelectedRowsInAscendingOrder) {
  list_.AddRow(QStringLiteral("/a/first.dotm"), 2);
  list_.sortByColumn(0, Qt::AscendingOrder);
  EXPECT_EQ(list_.RowText(4), QStringLiteral("/a/first.dotm"));
  for (int row : {3, 0, 2}) {
    list_.topLevelItem(row)->setSelected(true);
  }
  EXPECT_EQ(list_.SelectedRows(), (std::vector<int>{0, 2, 3}));
}

TEST_F(TesselListTest, LeftClickOnARowReportsThatRow) {
  QSignalSpy preview(&list_, &CTesselListCtrl::showItemPreview);
  QTest::mouseClick(list_.viewport(), Qt::LeftButton, {}, RowCentre(2));
  ASSERT_EQ(preview.count(), 1);
  EXPECT_EQ(preview.at(0).at(0).toInt(), 2);
  EXPECT_EQ(list_.SelectionMark(), 2);

  QTest::mouseClick(list_.viewport(), Qt::RightButton, {}, RowCentre(1));
  QTest::mouseClick(list_.viewport(), Qt::LeftButton, {}, QPoint(20, 280));  // below the rows
  EXPECT_EQ(preview.count(), 1);
}

TEST_F(TesselListTest, KeyPressAndReleaseBothReportTheSelectionMarkIfThereIsOne) {
  list_.setFocus();
  list_.setCurrentItem(list_.topLevelItem(0));
  QSignalSpy preview(&list_, &CTesselListCtrl::showItemPreview);
  QTest::keyClick(&list_, Qt::Key_Down);
  ASSERT_EQ(preview.count(), 2);
  EXPECT_EQ(preview.at(0).at(0).toInt(), 1);
  EXPECT_EQ(preview.at(1).at(0).toInt(), 1);

  list_.DeleteAllRows();
  QTest::keyClick(&list_, Qt::Key_Down);
  EXPECT_EQ(preview.count(), 2);
}

TEST_F(TesselListTest, HoverReportsOnlyNonEmptyCells) {
  list_.AddRow(QString(), 2);
  QSignalSpy hover(&list_, &CTesselListCtrl::hoverText);
  MoveMouse(RowCentre(3));
  ASSERT_EQ(hover.count(), 1);
  EXPECT_EQ(hover.at(0).at(0).toString(), QStringLiteral("/data/d.dotm"));
  MoveMouse(RowCentre(4));     // a row with an empty cell
  MoveMouse(QPoint(20, 280));  // no row at all
  EXPECT_EQ(hover.count(), 1);
}

TEST_F(TesselListTest, BackgroundPictureTilesTheViewport) {
  QPixmap picture(40, 30);
  picture.fill(QColor(250, 240, 230));
  list_.SetBackgroundPicture(picture);
  const QBrush base = list_.viewport()->palette().brush(QPalette::Base);
  EXPECT_FALSE(base.texture().isNull());
  EXPECT_EQ(list_.topLevelItem(0)->background(0).color(), QColor(Qt::white));
  list_.SetBackgroundPicture(QPixmap());
  EXPECT_TRUE(list_.viewport()->palette().brush(QPalette::Base).texture().isNull());
}

}  // namespace
