// The workspace's layout at two sizes, its background, the instruction line's emphasis and the
// mouse-over texts.
#include <QCheckBox>
#include <QFontMetrics>
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
    const auto at = [&view](const char* id) { return Find<QWidget>(&view, id)->geometry(); };
    QCOMPARE(at(ids::kBtnSelectFiles), QRect(10, 80, 100, 28));
    QCOMPARE(at(ids::kBtnRecoverFiles), QRect(220, 80, 100, 28));
    QCOMPARE(at(ids::kListCtrl), QRect(10, 113, w - 230, m - 113));
    QCOMPARE(at(ids::kStaticPictureCtrl), QRect(w - 210, 113, 200, m - 113));
    // "File preview:" keeps its left edge and ends above the preview, wide and tall enough
    // for its whole text (the colon and the descender were cut at 90 by 16).
    QLabel* previewLabel = LabelWithText(&view, "File preview:");
    const QFontMetrics previewMetrics(previewLabel->font());
    QCOMPARE(previewLabel->x(), w - 210);
    QVERIFY(previewLabel->geometry().bottom() < at(ids::kStaticPictureCtrl).top());
    QVERIFY(previewLabel->width() >= previewMetrics.horizontalAdvance("File preview:"));
    QVERIFY(previewLabel->height() >= previewMetrics.height());
    QVERIFY(previewLabel->y() >= 80);
    QCOMPARE(LabelWithText(&view, "Please select location to save repaired file(s):")->geometry(),
             QRect(10, m + 5, 290, 26));
    QCOMPARE(at(ids::kBrowseEditCtrl), QRect(305, m + 7, w - 585, 22));
    QCOMPARE(at(ids::kBtnBrowse), QRect(w - 275, m + 5, 50, 26));
    QCOMPARE(at(ids::kBtnSaveFiles), QRect(w - 220, m + 5, 70, 26));
    QCOMPARE(at(ids::kCheckExtractFileContent), QRect(w - 145, m + 5, 135, 26));
    QCOMPARE(at(ids::kBtnStop), QRect(w - 130, h - 40, 60, 30));
    QCOMPARE(at(ids::kBtnExit), QRect(w - 65, h - 40, 55, 30));
    QCOMPARE(at(ids::kRichEditCtrl), QRect(75, h - 50, 310, 45));

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

  // One view at 900 by 600: background, captions and fonts, mouse-over texts, log colours.
  void lookAndTexts() {
    CTesselMSOfficeDotmProjView view(&running_);
    view.resize(900, 600);
    const QImage picture = view.grab().toImage();  // warm between header and footer
    QCOMPARE(picture.pixelColor(5, 200), QColor(253, 225, 185));
    QCOMPARE(picture.pixelColor(895, 530), QColor(253, 225, 185));

    QCOMPARE(Find<QPushButton>(&view, ids::kBtnSaveFiles)->text(), QString("Save..."));
    QCOMPARE(Find<QPushButton>(&view, ids::kBtnSaveFiles)->toolTip(), QString("Save file(s)"));
    QCOMPARE(Find<QPushButton>(&view, ids::kBtnBrowse)->text(), QString("..."));
    QCOMPARE(Find<QPushButton>(&view, ids::kBtnBrowse)->toolTip(), QString("Browse folder"));
    const QFont bold = LabelWithText(&view, "File preview:")->font();
    QCOMPARE(bold.family(), QString("Arial"));
    QCOMPARE(bold.pixelSize(), 16);
    QVERIFY(bold.bold());
    auto* check = Find<QCheckBox>(&view, ids::kCheckExtractFileContent);
    QCOMPARE(check->font().family(), QString("Times New Roman"));
    QCOMPARE(check->font().pixelSize(), 18);
    QVERIFY(check->isChecked());
    QVERIFY(Find<QWidget>(&view, ids::kBtnStop)->isHidden());

    view.show();
    QSignalSpy spy(&view, &CTesselMSOfficeDotmProjView::statusText);
    SendMouseMove(Find<QWidget>(&view, ids::kBtnSaveFiles));
    QVERIFY(!spy.isEmpty());
    QCOMPARE(spy.last().at(0).toString(), QString("Save..."));
    SendMouseMove(LabelWithText(&view, "File preview:"));
    QCOMPARE(spy.last().at(0).toString(), QString("File preview:"));
    SendMouseMove(&view, QPointF(5, 150));  // the warm background left of the list
    QCOMPARE(spy.last().at(0).toString(), QString());
    auto* log = Find<QTextEdit>(&view, ids::kEditCtrl);
    SendMouseMove(log->viewport());
    QCOMPARE(spy.last().at(0).toString(), guitest::Qs(engine::kLogIdleText));

    view.SetLogText(QString());
    view.AppendLog("/p/a.dotm  Repaired....\r\n", 0x009900);
    view.AppendLog("/p/a.dotm not Repaired....\r\n", 0x0000FF);
    QCOMPARE(log->toPlainText(), QString("/p/a.dotm  Repaired....\n/p/a.dotm not Repaired....\n"));
    const QTextBlock first = log->document()->firstBlock();
    const QTextCharFormat green = first.begin().fragment().charFormat();
    QCOMPARE(green.foreground().color(), QColor(0, 0x99, 0));
    QVERIFY(green.fontWeight() >= QFont::Bold);
    QCOMPARE(first.next().begin().fragment().charFormat().foreground().color(), QColor(255, 0, 0));
  }

  // Every character's bold state; the view's own emphasis at creation is the idle one (not the
  // emptied list's), and ranges outside the text are clipped.
  void instructionEmphasis() {
    CTesselMSOfficeDotmProjView view(&running_);
    auto* line = Find<QTextEdit>(&view, ids::kRichEditCtrl);
    const auto ranges = [](const auto& array) {
      return std::vector<engine::TextRange>(array.begin(), array.end());
    };
    struct Case {
      const char* label;
      QString text;
      std::vector<engine::TextRange> bold;
    };
    const Case cases[] = {
        {"at creation", QString(), ranges(engine::kInstructionIdleBold)},
        {"idle", guitest::Qs(engine::kInstructionIdle), ranges(engine::kInstructionIdleBold)},
        {"repaired", guitest::Qs(engine::kInstructionRepaired),
         ranges(engine::kInstructionRepairedBold)},
        {"saved", guitest::Qs(engine::kInstructionSaved), ranges(engine::kInstructionSavedBold)},
        {"out of range", "short", {{2, 400}, {-5, 1}, {9, 3}}},
    };
    for (const Case& c : cases) {
      QString text = c.text;
      if (text.isEmpty())
        text = guitest::Qs(engine::kInstructionIdle);
      else
        view.SetInstruction(c.text, c.bold);
      QCOMPARE(line->toPlainText(), text);
      for (int index = 0; index < text.size(); ++index) {
        bool expected = false;
        for (const engine::TextRange& r : c.bold)
          expected |= index >= r.first && index < r.end;
        if (text[index] == '\n') continue;  // a line break carries no glyph
        QVERIFY2(BoldAt(line, index) == expected,
                 qPrintable(QString("%1, index %2").arg(c.label).arg(index)));
      }
    }
    QCOMPARE(line->font().family(), QString("Arial"));
    QCOMPARE(line->font().pointSize(), 9);
  }
};

BRENVIK_GUI_TEST_MAIN(LayoutTest)
#include "layout_test.moc"
