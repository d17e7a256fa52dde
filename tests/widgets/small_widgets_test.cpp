// The prompt edit and the transparent label.
#include <gtest/gtest.h>

#include <QPainter>
#include <QTest>

#include "widgets/prompt_edit.h"
#include "widgets/transparent_static.h"

namespace {

TEST(PromptEdit, PromptIsShownButNeverReturned) {
  CPromptEdit edit;
  EXPECT_EQ(edit.PromptText(), QStringLiteral("<Enter text here>"));
  EXPECT_TRUE(edit.ShowingPrompt());
  EXPECT_TRUE(edit.Text().isEmpty());

  QTest::keyClicks(&edit, QStringLiteral("abc"));  // typing replaces the prompt
  EXPECT_EQ(edit.Text(), QStringLiteral("abc"));
  EXPECT_FALSE(edit.ShowingPrompt());
  edit.SetText(QString());  // no prompt on screen: the content is cleared
  EXPECT_TRUE(edit.Text().isEmpty());
  EXPECT_TRUE(edit.ShowingPrompt());
  edit.SetText(QStringLiteral("/home/user/out"));
  EXPECT_FALSE(edit.ShowingPrompt());
  EXPECT_EQ(edit.Text(), QStringLiteral("/home/user/out"));
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
