// The workspace's layout at two sizes, its background, the instruction line's emphasis and the
// mouse-over texts.
#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <atomic>
#include <optional>

#include "engine/job_texts.h"
#include "tests/gui/gui_test_support.h"
#include "widgets/tessel_list_ctrl.h"
#include "workspace/control_ids.h"
#include "workspace/tessel_view.h"

using guitest::Find;
namespace ids = workspace_ids;

namespace {

QLabel* LabelWithText(QWidget* view, const QString& text) {
  for (QLabel* label : view->findChildren<QLabel*>(ids::kStatic)) {
    if (label->text() == text) return label;
  }
  qFatal("label %s not found", qPrintable(text));
}

// Bold state of the character at index (QTextCursor reports the format before its position).
bool BoldAt(QTextEdit* edit, int index) {
  QTextCursor cursor(edit->document());
  cursor.setPosition(index + 1);
  return cursor.charFormat().fontWeight() >= QFont::Bold;
}

void SendMouseMove(QWidget* target, std::optional<QPointF> at = std::nullopt) {
  const QPointF local = at.value_or(QPointF(target->width() / 2.0, target->height() / 2.0));
  QMouseEvent move(QEvent::MouseMove, local, target->mapToGlobal(local), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QCoreApplication::sendEvent(target, &move);
}

}  // namespace

class LayoutTest : public QObject {
  Q_OBJECT

  std::atomic<int> running_{0};

 private slots:
  void controlsFollowTheFormulas_data() {
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::newRow("large") << 1100 << 720;
    QTest::newRow("small") << 640 << 401;
  }
  void controlsFollowTheFormulas() {
    QFETCH(int, w);
    QFETCH(int, h);
    CTesselMSOfficeDotmProjView view(&running_);
    view.resize(w, h);
    view.show();
    const int m = h / 2 + 25;
    QCOMPARE(Find<QWidget>(&view, ids::kBtnSelectFiles)->geometry(), QRect(10, 80, 100, 28));
    QCOMPARE(Find<QWidget>(&view, ids::kBtnRecoverFiles)->geometry(), QRect(220, 80, 100, 28));
    QCOMPARE(Find<QWidget>(&view, ids::kListCtrl)->geometry(), QRect(10, 113, w - 230, m - 113));
    QCOMPARE(Find<QWidget>(&view, ids::kStaticPictureCtrl)->geometry(),
             QRect(w - 210, 113, 200, m - 113));
    QCOMPARE(LabelWithText(&view, "File preview:")->geometry(), QRect(w - 210, 95, 90, 16));
    QCOMPARE(LabelWithText(&view, "Please select location to save repaired file(s):")->geometry(),
             QRect(10, m + 5, 290, 26));
    QCOMPARE(Find<QWidget>(&view, ids::kBrowseEditCtrl)->geometry(),
             QRect(305, m + 7, w - 585, 22));
    QCOMPARE(Find<QWidget>(&view, ids::kBtnBrowse)->geometry(), QRect(w - 275, m + 5, 50, 26));
    QCOMPARE(Find<QWidget>(&view, ids::kBtnSaveFiles)->geometry(), QRect(w - 220, m + 5, 70, 26));
    QCOMPARE(Find<QWidget>(&view, ids::kCheckExtractFileContent)->geometry(),
             QRect(w - 145, m + 5, 135, 26));
    QCOMPARE(Find<QWidget>(&view, ids::kBtnStop)->geometry(), QRect(w - 130, h - 40, 60, 30));
    QCOMPARE(Find<QWidget>(&view, ids::kBtnExit)->geometry(), QRect(w - 65, h - 40, 55, 30));
    QCOMPARE(Find<QWidget>(&view, ids::kRichEditCtrl)->geometry(), QRect(75, h - 50, 310, 45));

    QWidget* log = Find<QWidget>(&view, ids::kEditCtrl);
    QWidget* fileBar = Find<QWidget>(&view, ids::kFirstProgressCtrl);
    QWidget* totalBar = Find<QWidget>(&view, ids::kSecondProgressCtrl);
    QLabel* fileLabel = LabelWithText(&view, "File progress:");
    QLabel* totalLabel = LabelWithText(&view, "Total files progress:");
    const int top = m + 36;
    // Idle: the log takes the whole band, the progress area is hidden.
    QVERIFY(fileBar->isHidden() && totalBar->isHidden() && fileLabel->isHidden());
    QCOMPARE(log->geometry(), QRect(10, top, w - 20, h - 70 - top));
    // A repair: both bars, the log ends 105 pixels above the bottom.
    view.ShowProgressArea(true, true);
    int b = h - 105;
    QCOMPARE(log->geometry(), QRect(10, top, w - 20, b - top));
    QCOMPARE(fileLabel->geometry(), QRect(10, b + 5, 150, 18));
    QCOMPARE(fileBar->geometry(), QRect(165, b + 5, w - 175, 13));
    QCOMPARE(totalLabel->geometry(), QRect(10, b + 28, 150, 18));
    QCOMPARE(totalBar->geometry(), QRect(165, b + 28, w - 175, 13));
    QVERIFY(fileBar->isVisible() && totalBar->isVisible());
    // A save: the total bar only, the log ends 90 pixels above the bottom.
    view.ShowProgressArea(false, true);
    b = h - 90;
    QCOMPARE(log->geometry(), QRect(10, top, w - 20, b - top));
    QCOMPARE(totalLabel->geometry(), QRect(10, b + 5, 150, 18));
    QCOMPARE(totalBar->geometry(), QRect(165, b + 5, w - 175, 13));
    QVERIFY(fileBar->isHidden() && fileLabel->isHidden());
    view.ShowProgressArea(false, false);
    QCOMPARE(log->geometry(), QRect(10, top, w - 20, h - 70 - top));
  }

  void backgroundIsWarmBetweenHeaderAndFooter() {
    CTesselMSOfficeDotmProjView view(&running_);
    view.resize(900, 600);
    const QImage picture = view.grab().toImage();
    QCOMPARE(picture.pixelColor(5, 200), QColor(253, 225, 185));
    QCOMPARE(picture.pixelColor(895, 530), QColor(253, 225, 185));
  }

  void fontsAndCaptions() {
    CTesselMSOfficeDotmProjView view(&running_);
    QCOMPARE(Find<QPushButton>(&view, ids::kBtnSaveFiles)->text(), QString("Save..."));
    QCOMPARE(Find<QPushButton>(&view, ids::kBtnSaveFiles)->toolTip(), QString("Save file(s)"));
    QCOMPARE(Find<QPushButton>(&view, ids::kBtnBrowse)->text(), QString("..."));
    QCOMPARE(Find<QPushButton>(&view, ids::kBtnBrowse)->toolTip(), QString("Browse folder"));
    const QFont bold = LabelWithText(&view, "File preview:")->font();
    QCOMPARE(bold.family(), QString("Arial"));
    QCOMPARE(bold.pixelSize(), 16);
    QVERIFY(bold.bold());
    const QFont normal = Find<QCheckBox>(&view, ids::kCheckExtractFileContent)->font();
    QCOMPARE(normal.family(), QString("Times New Roman"));
    QCOMPARE(normal.pixelSize(), 18);
    QVERIFY(Find<QCheckBox>(&view, ids::kCheckExtractFileContent)->isChecked());
    QVERIFY(Find<QWidget>(&view, ids::kBtnStop)->isHidden());
  }

  void instructionEmphasis_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("ranges");  // first, end, first, end, ...
    const auto flat = [](auto ranges) {
      QList<int> values;
      for (const engine::TextRange& r : ranges)
        values << r.first << r.end;
      return values;
    };
    QTest::newRow("idle") << QString::fromUtf8(engine::kInstructionIdle.data(),
                                               engine::kInstructionIdle.size())
                          << flat(engine::kInstructionIdleBold);
    QTest::newRow("repaired") << QString::fromUtf8(engine::kInstructionRepaired.data(),
                                                   engine::kInstructionRepaired.size())
                              << flat(engine::kInstructionRepairedBold);
    QTest::newRow("saved") << QString::fromUtf8(engine::kInstructionSaved.data(),
                                                engine::kInstructionSaved.size())
                           << flat(engine::kInstructionSavedBold);
  }
  void instructionEmphasis() {
    QFETCH(QString, text);
    QFETCH(QList<int>, ranges);
    CTesselMSOfficeDotmProjView view(&running_);
    std::vector<engine::TextRange> bold;
    for (int i = 0; i + 1 < ranges.size(); i += 2)
      bold.push_back({ranges[i], ranges[i + 1]});
    view.SetInstruction(text, bold);
    auto* line = Find<QTextEdit>(&view, ids::kRichEditCtrl);
    QCOMPARE(line->toPlainText(), text);
    for (int index = 0; index < text.size(); ++index) {
      bool expected = false;
      for (const engine::TextRange& r : bold)
        expected |= index >= r.first && index < r.end;
      if (text[index] == '\n') continue;  // a line break carries no glyph
      QVERIFY2(BoldAt(line, index) == expected, qPrintable(QString("index %1").arg(index)));
    }
    QCOMPARE(line->font().family(), QString("Arial"));
    QCOMPARE(line->font().pointSize(), 9);
  }

  void emphasisAtCreation() {
    CTesselMSOfficeDotmProjView view(&running_);
    auto* line = Find<QTextEdit>(&view, ids::kRichEditCtrl);
    // "Click Select files": "Select files" is bold, "Click " is not.
    QVERIFY(!BoldAt(line, 5));
    QVERIFY(BoldAt(line, 6));
    QVERIFY(BoldAt(line, 17));
    QVERIFY(!BoldAt(line, 18));
    QVERIFY(BoldAt(line, 103));
    QVERIFY(!BoldAt(line, 104));
  }

  void outOfRangeEmphasisIsClipped() {
    CTesselMSOfficeDotmProjView view(&running_);
    const std::vector<engine::TextRange> ranges{{2, 400}, {-5, 1}, {9, 3}};
    view.SetInstruction("short", ranges);
    auto* line = Find<QTextEdit>(&view, ids::kRichEditCtrl);
    QVERIFY(BoldAt(line, 0));
    QVERIFY(!BoldAt(line, 1));
    QVERIFY(BoldAt(line, 4));
  }

  void mouseOverTexts() {
    CTesselMSOfficeDotmProjView view(&running_);
    view.resize(900, 600);
    view.show();
    QSignalSpy spy(&view, &CTesselMSOfficeDotmProjView::statusText);
    SendMouseMove(Find<QWidget>(&view, ids::kBtnSaveFiles));
    QVERIFY(!spy.isEmpty());
    QCOMPARE(spy.last().at(0).toString(), QString("Save..."));
    SendMouseMove(LabelWithText(&view, "File preview:"));
    QCOMPARE(spy.last().at(0).toString(), QString("File preview:"));
    SendMouseMove(&view, QPointF(5, 150));  // the warm background left of the list
    QCOMPARE(spy.last().at(0).toString(), QString());
    SendMouseMove(Find<QTextEdit>(&view, ids::kEditCtrl)->viewport());
    QCOMPARE(spy.last().at(0).toString(),
             QString::fromUtf8(engine::kLogIdleText.data(), engine::kLogIdleText.size()));
  }

  void logLinesKeepTheirColours() {
    CTesselMSOfficeDotmProjView view(&running_);
    view.SetLogText(QString());
    view.AppendLog("/p/a.dotm  Repaired....\r\n", 0x009900);
    view.AppendLog("/p/a.dotm not Repaired....\r\n", 0x0000FF);
    auto* log = Find<QTextEdit>(&view, ids::kEditCtrl);
    QCOMPARE(log->toPlainText(), QString("/p/a.dotm  Repaired....\n/p/a.dotm not Repaired....\n"));
    const QTextBlock first = log->document()->firstBlock();
    const QTextCharFormat green = first.begin().fragment().charFormat();
    QCOMPARE(green.foreground().color(), QColor(0, 0x99, 0));
    QVERIFY(green.fontWeight() >= QFont::Bold);
    QCOMPARE(first.next().begin().fragment().charFormat().foreground().color(), QColor(255, 0, 0));
  }
};

BRENVIK_GUI_TEST_MAIN(LayoutTest)
#include "layout_test.moc"
