// The hyperlink label: its look while idle, hovered and visited, and how a click opens its
// target: the desktop first, the web-page handler's command second, the plain error box last.
#include "widgets/hyperlink_label.h"

#include <gtest/gtest.h>

#include <QCursor>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <vector>

#include "widgets/hyperlink_handler.h"

namespace {

using hyperlink::CommandBeforePlaceholder;

const QStringList kWindows{QStringLiteral("%1")};
const QStringList kDesktopEntry{"%u", "%U", "%f", "%F"};

TEST(HyperlinkHandler, CommandIsCutBeforeItsPlaceholder) {
  struct Case {
    const char* label;
    QString command;
    QStringList placeholders;
    QString cut;
  };
  const std::vector<Case> cases{
      {"quoted placeholder: cut at its quote", R"("C:\Program Files\Web\web.exe" -osint -url "%1")",
       kWindows, R"("C:\Program Files\Web\web.exe" -osint -url )"},
      {"bare placeholder", "web.exe %1", kWindows, "web.exe "},
      {"no placeholder: whole", "web.exe -new", kWindows, "web.exe -new"},
      {"field code", "/usr/lib/firefox-esr/firefox-esr %u", kDesktopEntry,
       "/usr/lib/firefox-esr/firefox-esr "},
      {"earliest of several", "viewer --open %F --then %u", kDesktopEntry, "viewer --open "},
      {"placeholder first", "%1", kWindows, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CommandBeforePlaceholder(c.command, c.placeholders), c.cut) << c.label;
  }
}

TEST(HyperlinkHandler, ArgumentsKeepTheTargetWhole) {
  const QStringList arguments = hyperlink::HandlerArguments(
      R"("C:\Program Files\Web\web.exe" -url "%1")", kWindows, "https://a.example/x y;rm");
  EXPECT_EQ(arguments,
            (QStringList{R"(C:\Program Files\Web\web.exe)", "-url", "https://a.example/x y;rm"}));
  EXPECT_TRUE(hyperlink::HandlerArguments("  %1", kWindows, "x").isEmpty());
}

TEST(HyperlinkHandler, DesktopEntryExecComesFromTheMainGroup) {
  const QString entry = QStringLiteral(
      "[Desktop Action new-window]\nExec=/usr/bin/web --new-window %u\n"
      "[Desktop Entry]\nName=Web\nExec = /usr/bin/web %u \nType=Application\n");
  EXPECT_EQ(hyperlink::DesktopEntryExec(entry), QStringLiteral("/usr/bin/web %u"));
  EXPECT_TRUE(hyperlink::DesktopEntryExec("[Desktop Entry]\nName=x\n").isEmpty());
}

#ifndef Q_OS_WIN
// The handler xdg-mime names, looked up among the desktop entries: a stand-in xdg-mime on the
// PATH and an entry in a data folder of our own.
TEST(HyperlinkHandler, WebPageHandlerIsTheEntryXdgMimeNames) {
  QTemporaryDir root;
  ASSERT_TRUE(root.isValid());
  QDir(root.path()).mkpath("bin");
  QDir(root.path()).mkpath("data/applications");
  QFile tool(root.filePath("bin/xdg-mime"));
  ASSERT_TRUE(tool.open(QIODevice::WriteOnly));
  tool.write("#!/bin/sh\n[ \"$*\" = \"query default text/html\" ] && echo web-test.desktop\n");
  tool.close();
  tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  QFile entry(root.filePath("data/applications/web-test.desktop"));
  ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
  entry.write("[Desktop Entry]\nType=Application\nName=Web\nExec=/opt/web/web --new %U\n");
  entry.close();
  const QByteArray path = qgetenv("PATH");
  const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
  qputenv("PATH", root.filePath("bin").toLocal8Bit() + ":" + path);
  qputenv("XDG_DATA_HOME", root.filePath("data").toLocal8Bit());
  const hyperlink::HandlerCommand found = hyperlink::WebPageHandlerCommand();
  qputenv("PATH", path);
  qputenv("XDG_DATA_HOME", dataHome);
  EXPECT_EQ(found.command, QStringLiteral("/opt/web/web --new %U"));
  EXPECT_EQ(hyperlink::HandlerArguments(found.command, found.placeholders, "https://x.example/"),
            (QStringList{"/opt/web/web", "--new", "https://x.example/"}));
}
#endif

TEST(HyperlinkHandler, ErrorTexts) {
  const std::vector<std::pair<int, QString>> cases{
      {0, "The operating system is out\nof memory or resources."},
      {2, "The specified file was not found."},
      {5, "The operating system denied\naccess to the specified file."},
      {26, "A sharing violation occurred. "},
      {31, "There is no application associated\nwith the given filename extension."},
      {32, "The specified dynamic-link library was not found."},
      {4, "Unknown Error (4) occurred."},
      {-7, "Unknown Error (-7) occurred."},
  };
  for (const auto& [result, text] : cases)
    EXPECT_EQ(hyperlink::ErrorText(result), text) << result;
  EXPECT_EQ(hyperlink::ErrorMessage(26),
            QStringLiteral("Unable to open hyperlink:\n\nA sharing violation occurred. "));
}

// Records every service the label calls; each answers as configured.
class HyperlinkLabelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CHyperlinkLabel::SetServices({
        .openUrl =
            [this](const QUrl& url) {
              opened.push_back(url);
              return desktopOpens;
            },
        .webPageHandler = [this] { return handler; },
        .run =
            [this](const QStringList& arguments) {
              runs.push_back(arguments);
              return runResult;
            },
        .showError = [this](QWidget*, const QString& text) { errors << text; },
    });
  }
  void TearDown() override { CHyperlinkLabel::SetServices({}); }

  bool desktopOpens = true;
  hyperlink::HandlerCommand handler;
  int runResult = hyperlink::kOpened;
  std::vector<QUrl> opened;
  std::vector<QStringList> runs;
  QStringList errors;
};

TEST_F(HyperlinkLabelTest, LooksLikeALinkAndUnderlinesWhileHovered) {
  QWidget page;
  page.resize(300, 100);
  CHyperlinkLabel link(QString(), &page);
  link.move(20, 30);
  link.SetURL(QStringLiteral("https://www.brenvik.example/"));
  EXPECT_EQ(link.text(), QStringLiteral("https://www.brenvik.example/"));  // empty: the target
  EXPECT_EQ(link.toolTip(), link.URL());
  EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(0, 0, 238));
  EXPECT_FALSE(link.font().underline());
  QFont underlined = link.font();
  underlined.setUnderline(true);
  EXPECT_EQ(link.pos(), QPoint(20, 30));  // fitted to its text, the corner kept
  EXPECT_EQ(link.width(), QFontMetrics(underlined).horizontalAdvance(link.text()) + 1);

  QEnterEvent enter(QPointF(2, 2), QPointF(22, 32), QPointF(22, 32));
  QCoreApplication::sendEvent(&link, &enter);
  EXPECT_TRUE(link.Hovering());
  EXPECT_TRUE(link.font().underline());
  EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(255, 0, 0));
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(&link, &leave);
  EXPECT_FALSE(link.Hovering());
  EXPECT_FALSE(link.font().underline());
  EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(0, 0, 238));
}

TEST_F(HyperlinkLabelTest, HoverEndsWhenTheTimerFindsTheCursorOutside) {
  QWidget page;
  page.resize(300, 100);
  CHyperlinkLabel link(QStringLiteral("sales@brenvik.example"), &page);
  link.move(20, 30);
  page.show();
  QCursor::setPos(page.mapToGlobal(QPoint(250, 90)));
  QEnterEvent enter(QPointF(2, 2), QPointF(22, 32), QPointF(22, 32));
  QCoreApplication::sendEvent(&link, &enter);
  EXPECT_TRUE(link.Hovering());
  EXPECT_TRUE(QTest::qWaitFor([&link] { return !link.Hovering(); }, 2000));
  EXPECT_FALSE(link.font().underline());
}

TEST_F(HyperlinkLabelTest, ClickOpensThroughTheDesktopAndMarksVisited) {
  CHyperlinkLabel link(QStringLiteral("support@brenvik.example"));
  link.SetURL(QStringLiteral("mailto:support@brenvik.example"));
  link.show();
  QTest::mouseClick(&link, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], QUrl(QStringLiteral("mailto:support@brenvik.example")));
  EXPECT_TRUE(runs.empty());
  EXPECT_TRUE(link.Visited());
  EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(85, 26, 139));
  EXPECT_TRUE(errors.isEmpty());
  QTest::mouseClick(&link, Qt::RightButton, Qt::NoModifier, QPoint(3, 3));
  EXPECT_EQ(opened.size(), 1u);  // only the left button opens
}

TEST_F(HyperlinkLabelTest, WebPageHandlerIsTheSecondTry) {
  desktopOpens = false;
  handler = {R"("C:\Web\web.exe" -url "%1")", kWindows};
  CHyperlinkLabel link(QStringLiteral("https://www.brenvik.example/"));
  EXPECT_EQ(link.OpenTarget(), hyperlink::kOpened);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0], (QStringList{R"(C:\Web\web.exe)", "-url", "https://www.brenvik.example/"}));
  EXPECT_TRUE(link.Visited());
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(HyperlinkLabelTest, FailureSaysWhyAndLeavesTheLinkUnvisited) {
  struct Case {
    const char* label;
    QString command;
    int runResult;
    QString message;
  };
  const std::vector<Case> cases{
      {"no handler", "", hyperlink::kOpened,
       "Unable to open hyperlink:\n\nThere is no application associated\nwith the given "
       "filename extension."},
      {"handler cannot start", "/nowhere/web %u", hyperlink::kFileNotFound,
       "Unable to open hyperlink:\n\nThe specified file was not found."},
      {"sharing violation", "/usr/bin/web %u", 26,
       "Unable to open hyperlink:\n\nA sharing violation occurred. "},
  };
  for (const Case& c : cases) {
    desktopOpens = false;
    handler = {c.command, kDesktopEntry};
    runResult = c.runResult;
    errors.clear();
    CHyperlinkLabel link(QStringLiteral("https://www.brenvik.example/"));
    EXPECT_EQ(link.OpenTarget() > 32, false) << c.label;
    EXPECT_EQ(errors, QStringList{c.message}) << c.label;
    EXPECT_FALSE(link.Visited()) << c.label;
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(0, 0, 238)) << c.label;
  }
}

TEST_F(HyperlinkLabelTest, UnderlinedLookUntilTheFirstHoverEnds) {
  CHyperlinkLabel link(QStringLiteral("www.brenvik.example"));
  link.ShowUnderlined();
  EXPECT_TRUE(link.font().underline());
  EXPECT_FALSE(link.Hovering());
  QFont bold = link.font();
  bold.setBold(true);
  link.setFont(bold);  // a font from outside becomes the normal face
  QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
  QCoreApplication::sendEvent(&link, &enter);
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(&link, &leave);
  EXPECT_FALSE(link.font().underline());
  EXPECT_TRUE(link.font().bold());
}

}  // namespace
