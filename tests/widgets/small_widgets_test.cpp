// The prompt edit and the transparent label.
#include <gtest/gtest.h>

#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>

#include "widgets/prompt_edit.h"
#include "widgets/transparent_static.h"

namespace {

const QString kPrompt = QStringLiteral("<Enter text here>");

// The prompt is the edit's text on screen, in the prompt colour, with the caret after it.
void ExpectPromptOnScreen(const CPromptEdit& edit, const QString& prompt) {
  EXPECT_TRUE(edit.ShowingPrompt());
  EXPECT_EQ(edit.text(), prompt);
  EXPECT_TRUE(edit.Text().isEmpty());
  EXPECT_FALSE(edit.hasSelectedText());
  EXPECT_EQ(edit.cursorPosition(), prompt.size());
  EXPECT_EQ(edit.palette().color(QPalette::Active, QPalette::Text), edit.PromptColour());
}

TEST(PromptEdit, PromptShowsButIsNeverTheContent) {
  CPromptEdit edit;
  EXPECT_EQ(edit.PromptText(), kPrompt);
  EXPECT_EQ(edit.PromptColour(), QColor(119, 121, 118));
  ExpectPromptOnScreen(edit, kPrompt);
  edit.SetText(QString(""));  // an empty text leaves the prompt
  edit.SetText(QString());    // a null text is ignored
  edit.SetText(kPrompt);      // the prompt itself is no content
  ExpectPromptOnScreen(edit, kPrompt);
  edit.SetPromptColour(QColor(158, 158, 158));
  edit.SetPromptText(QStringLiteral("<Enter valid path to save repaired Dotm file(s).>"));
  ExpectPromptOnScreen(edit, QStringLiteral("<Enter valid path to save repaired Dotm file(s).>"));
}

TEST(PromptEdit, FirstKeyRemovesThePromptForGood) {
  CPromptEdit edit;
  QTest::keyClick(&edit, Qt::Key_A);
  EXPECT_FALSE(edit.ShowingPrompt());
  EXPECT_EQ(edit.text(), QStringLiteral("a"));  // only what was typed, no prompt left over
  EXPECT_NE(edit.palette().color(QPalette::Active, QPalette::Text), edit.PromptColour());
  QTest::keyClick(&edit, Qt::Key_Backspace);
  QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier);  // undo cannot bring it back
  QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_FALSE(edit.ShowingPrompt());
  EXPECT_NE(edit.text(), kPrompt);
  edit.SetText(QString(""));
  EXPECT_TRUE(edit.text().isEmpty());
  EXPECT_FALSE(edit.ShowingPrompt());
}

TEST(PromptEdit, AnyMouseButtonRemovesThePrompt) {
  for (Qt::MouseButton button : {Qt::LeftButton, Qt::MiddleButton, Qt::RightButton}) {
    CPromptEdit edit;
    edit.resize(200, 24);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), QPointF(10, 10), button, button,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&edit, &press);
    EXPECT_FALSE(edit.ShowingPrompt()) << int(button);
    EXPECT_TRUE(edit.text().isEmpty()) << int(button);
  }
}

TEST(PromptEdit, FocusKeepsThePromptWithTheCaretAfterIt) {
  CPromptEdit edit;
  QFocusEvent tabIn(QEvent::FocusIn, Qt::TabFocusReason);  // would select the whole text
  QCoreApplication::sendEvent(&edit, &tabIn);
  ExpectPromptOnScreen(edit, kPrompt);
}

TEST(PromptEdit, ProgramTextAndEmptyPromptSwitchThePromptOff) {
  CPromptEdit set;
  set.SetText(QStringLiteral("/home/user/out"));
  EXPECT_FALSE(set.ShowingPrompt());
  EXPECT_EQ(set.Text(), QStringLiteral("/home/user/out"));
  set.SetPromptText(QStringLiteral("<new>"));  // too late: the prompt does not come back
  set.SetText(QString(""));
  EXPECT_TRUE(set.text().isEmpty());

  CPromptEdit none;
  none.SetPromptText(QString());
  EXPECT_FALSE(none.ShowingPrompt());
  EXPECT_TRUE(none.text().isEmpty());
}

// A parent painting plain red, so that anything the label paints itself shows.
class RedPanel : public QWidget {
 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::red); }
};

TEST(TransparentStatic, ShowsTheParentUnderItsText) {
  RedPanel panel;
  panel.resize(200, 60);
  CTesselTransparentStatic label(QStringLiteral("Version 1.0"), &panel);
  label.setGeometry(10, 10, 180, 40);
  label.SetText(QStringLiteral("Version 2.0\nsecond line"));
  EXPECT_FALSE(label.wordWrap());
  const QImage image = panel.grab().toImage();
  EXPECT_EQ(image.pixel(185, 45) & 0xFFFFFFu, 0xFF0000u);  // inside the label, no text
}

}  // namespace
