// The prompt edit, the transparent label and the file dialogs' seam.
#include <gtest/gtest.h>

#include <QPainter>
#include <QTest>

#include "widgets/file_dialogs.h"
#include "widgets/prompt_edit.h"
#include "widgets/transparent_static.h"

namespace {

TEST(PromptEdit, PromptIsShownButNeverReturned) {
  CPromptEdit edit;
  EXPECT_EQ(edit.PromptText(), QStringLiteral("<Enter text here>"));
  EXPECT_TRUE(edit.ShowingPrompt());
  EXPECT_TRUE(edit.Text().isEmpty());

  edit.SetPromptText(QStringLiteral("<Enter valid path to save repaired Dotm file(s).>"));
  edit.SetText(QString());
  EXPECT_TRUE(edit.ShowingPrompt());
  EXPECT_EQ(edit.PromptText(), QStringLiteral("<Enter valid path to save repaired Dotm file(s).>"));

  edit.SetText(QStringLiteral("/home/user/out"));
  EXPECT_FALSE(edit.ShowingPrompt());
  EXPECT_EQ(edit.Text(), QStringLiteral("/home/user/out"));
  edit.SetText(QString());  // no prompt on screen: the content is cleared
  EXPECT_TRUE(edit.Text().isEmpty());
}

TEST(PromptEdit, PromptColourIsTheGivenOne) {
  CPromptEdit edit;
  edit.SetPromptColour(QColor(158, 158, 158));
  EXPECT_EQ(edit.palette().color(QPalette::PlaceholderText), QColor(158, 158, 158));
}

TEST(PromptEdit, TypingReplacesThePrompt) {
  CPromptEdit edit;
  QTest::keyClicks(&edit, QStringLiteral("abc"));
  EXPECT_EQ(edit.Text(), QStringLiteral("abc"));
  EXPECT_FALSE(edit.ShowingPrompt());
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
  EXPECT_EQ(label.text(), QStringLiteral("Version 2.0\nsecond line"));
  EXPECT_FALSE(label.wordWrap());
  const QImage image = panel.grab().toImage();
  EXPECT_EQ(image.pixel(185, 45) & 0xFFFFFFu, 0xFF0000u);  // inside the label, no text
}

TEST(FileDialogs, HooksAnswerInsteadOfTheDialogs) {
  SetOpenPackagesHook([] { return QStringList{QStringLiteral("/x/a.dotm")}; });
  QString askedTitle;
  SetFolderHook([&](const QString& title) {
    askedTitle = title;
    return QStringLiteral("/x/out");
  });
  EXPECT_EQ(AskOpenPackages(nullptr), QStringList{QStringLiteral("/x/a.dotm")});
  EXPECT_EQ(AskFolder(nullptr, QStringLiteral("Browse folder")), QStringLiteral("/x/out"));
  EXPECT_EQ(askedTitle, QStringLiteral("Browse folder"));
  SetOpenPackagesHook(nullptr);
  SetFolderHook(nullptr);
}

}  // namespace
