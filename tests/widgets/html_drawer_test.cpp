#include "widgets/html_drawer.h"

#include <gtest/gtest.h>

#include <QEvent>
#include <QFontMetrics>
#include <QImage>
#include <QObject>
#include <QPainter>

#include "widgets/app_message_box.h"
#include "widgets/html_css.h"

namespace {

// Stable metrics: one face of fonts-liberation2 at a fixed pixel size.
const QString kSheet = QStringLiteral(
    "body {font-size: 13px; color:black; font-family:Liberation Sans}\n"
    "a:link {text-decoration:none; color:blue}\n"
    "a:hover {text-decoration:underline; color:blue}\n");

QFont Face(bool bold = false) {
  QFont font(QStringLiteral("Liberation Sans"));
  font.setPixelSize(13);
  if (bold) font.setWeight(QFont::ExtraBold);
  return font;
}

class HtmlDrawerTest : public ::testing::Test {
 protected:
  HtmlDrawerTest() : canvas_(400, 300, QImage::Format_RGB32) {
    canvas_.fill(Qt::white);
    drawer_.SetStyleSheet(kSheet);
  }
  QSize Measure(const QString& text) { return drawer_.Measure(canvas_, text); }
  int Width(const QString& text, bool bold = false) const {
    return QFontMetrics(Face(bold), &canvas_).horizontalAdvance(text);
  }
  int LineHeight() const { return QFontMetrics(Face(), &canvas_).height(); }
  void Draw(const QRect& rect) {
    QPainter painter(&canvas_);
    drawer_.Draw(painter, rect);
  }

  QImage canvas_;
  CHtmlDrawer drawer_;
};

TEST(HtmlText, EntitiesInTheirOrder) {
  struct Case {
    const char* label;
    const char* markup;
    const char* prepared;
  };
  const Case cases[] = {
      {"less-than becomes the doubled literal", "a &lt; b", "a << b"},
      {"escaped ampersand before lt; ends as less-than too", "&amp;lt;", "<<"},
      {"greater-than and quote", "&gt;&quot;", ">\""},
      {"symbols", "&copy;&euro;&trade;&bull;", "\u00A9\u20AC\u2122\u2022"},
      {"nbsp is a blank", "a&nbsp;b", "a b"},
      {"unknown entity stays", "&zzz;", "&zzz;"},
      {"carriage returns go, line feeds and tabs become tags", "a\r\nb\tc", "a<br>b<t>c"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CHtmlDrawer::PrepareText(QString::fromUtf8(c.markup), true),
              QString::fromUtf8(c.prepared))
        << c.label;
  }
  EXPECT_EQ(CHtmlDrawer::PrepareText(QStringLiteral("a\nb\tc"), false), QStringLiteral("abc"));
}

TEST_F(HtmlDrawerTest, TextShowsLiterallyWhereTheMarkupSaysSo) {
  struct Case {
    const char* label;
    const char* markup;
    const char* shown;
  };
  const Case cases[] = {
      {"entity between two words", "one &lt; two", "one < two"},
      {"doubled less-than", "a << b", "a < b"},
      {"unterminated tag is text", "a < b", "a < b"},
      {"unknown p tag skipped", "<p>text</p>", "text"},
      {"script tag dropped", "<script>x</script>", "x"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Measure(QString::fromUtf8(c.markup)).width() - 1, Width(QString::fromUtf8(c.shown)))
        << c.label;
  }
}

TEST_F(HtmlDrawerTest, EscapedFileNamesShowExactlyAsGiven) {
  for (const char* name : {"R&D <b>draft.dotm", "a&lt;b.dotm", "x&amp;y>z\"q'.dotm",
                           "<a href='x'>link</a>.dotm", "&&&;"}) {
    const QString text = QString::fromUtf8(name);
    EXPECT_EQ(CHtmlDrawer::VisibleText(EscapeMessageText(text) + QStringLiteral(" already")),
              text + QStringLiteral(" already"))
        << name;
  }
  // The rest of the message is not turned bold (text pieces may differ by a pixel of kerning).
  const QString name = QStringLiteral("R&D <b>draft.dotm");
  EXPECT_NEAR(
      Measure(EscapeMessageText(name) + QStringLiteral("already exist in the list.")).width() - 1,
      Width(name + QStringLiteral("already exist in the list.")), 2);
}

TEST_F(HtmlDrawerTest, ClosingATagOfAnotherFamilyKeepsTheStyle) {
  // </i> while bold is innermost does nothing: "b" stays bold until </b>.
  EXPECT_EQ(Measure(QStringLiteral("<b>a</i>b</b>c")).width() - 1,
            Width(QStringLiteral("ab"), true) + Width(QStringLiteral("c")));
  EXPECT_EQ(Measure(QStringLiteral("<b>a</b>bc")).width() - 1,
            Width(QStringLiteral("a"), true) + Width(QStringLiteral("bc")));
}

TEST_F(HtmlDrawerTest, LineBreaksWithACount) {
  const QSize one = Measure(QStringLiteral("a"));
  EXPECT_EQ(one.height() - 1, LineHeight());
  EXPECT_EQ(Measure(QStringLiteral("a<br>b")).height() - 1, 2 * LineHeight());
  EXPECT_EQ(Measure(QStringLiteral("a<br 3>b")).height() - 1, 4 * LineHeight());
  EXPECT_EQ(Measure(QStringLiteral("a\nb")).height() - 1, 2 * LineHeight());
}

TEST_F(HtmlDrawerTest, TabStops) {
  EXPECT_EQ(Measure(QStringLiteral("<t>x")).width() - 1, 32 + Width(QStringLiteral("x")));
  EXPECT_EQ(Measure(QStringLiteral("ab<t 2>x")).width() - 1, 64 + Width(QStringLiteral("x")));
  drawer_.SetTabWidth(50);
  EXPECT_EQ(Measure(QStringLiteral("\tx")).width() - 1, 50 + Width(QStringLiteral("x")));
}

TEST_F(HtmlDrawerTest, WordWrapOnlyWithAMaximumWidth) {
  const QString words = QStringLiteral("one two three four five six seven");
  EXPECT_EQ(Measure(words).height() - 1, LineHeight());  // no limit: one line
  drawer_.SetMaxWidth(Width(QStringLiteral("one two three")) + 2);
  const QSize wrapped = Measure(words);
  EXPECT_LE(wrapped.width() - 1, Width(QStringLiteral("one two three")) + 2);
  EXPECT_EQ(wrapped.height() - 1, 3 * LineHeight());  // "one two three" / "four five six" / ..
  // A word longer than the width at the start of a line is cut after the last fitting letter.
  drawer_.SetMaxWidth(Width(QStringLiteral("abcde")));
  const QSize cut = Measure(QStringLiteral("abcdefghij"));
  EXPECT_EQ(cut.height() - 1, 2 * LineHeight());
  EXPECT_EQ(cut.width() - 1, Width(QStringLiteral("abcde")));
}

TEST_F(HtmlDrawerTest, TableCellsShareTheSpareWidth) {
  Measure(
      QStringLiteral("<table cellpadding=2><tr><td width=50>a</td>"
                     "<td><a href='x'>b</a></td><td><a href='y'>c</a></td></tr></table>"));
  Draw(QRect(10, 10, 300, 100));
  const auto& links = drawer_.LinkAreas();
  ASSERT_EQ(links.size(), 2u);
  // Column 0 is 50 wide; columns 1 and 2 share the rest: (300 - 50 - w1 - w2) split in turn.
  const int w1 = Width(QStringLiteral("b")) + 4;
  const int w2 = Width(QStringLiteral("c")) + 4;
  const int spare = 300 - (50 + w1 + w2);
  EXPECT_EQ(links[0].rect.left(), 10 + 50 + 1 + 2);
  EXPECT_EQ(links[1].rect.left(), 10 + 50 + 1 + (w1 + spare / 2) + 1 + 2);
}

TEST_F(HtmlDrawerTest, LinkAreasAndHoverRedraw) {
  struct Counter : QObject {
    int redraws = 0;
    bool event(QEvent* e) override {
      if (e->type() == QEvent::User + 5) ++redraws;
      return true;
    }
  } host;
  drawer_.SetRedrawTarget(&host, QEvent::User + 5);
  const QString text = QStringLiteral("Saved in <a href='/tmp/out dir'>/tmp/out dir</a>.");
  Measure(text);
  Draw(QRect(0, 0, 400, 40));
  ASSERT_EQ(drawer_.LinkAreas().size(), 1u);
  const LinkArea area = drawer_.LinkAreas()[0];
  EXPECT_EQ(area.kind, 1);
  EXPECT_EQ(area.index, 1);
  EXPECT_EQ(area.target, QStringLiteral("/tmp/out dir"));  // single quotes keep the blank
  EXPECT_EQ(area.rect.left(), Width(QStringLiteral("Saved in ")));
  EXPECT_EQ(area.rect.width(), Width(QStringLiteral("/tmp/out dir")));

  const auto underlinePixels = [&] {
    int blue = 0;
    const int y = area.rect.top() + QFontMetrics(Face(), &canvas_).ascent() + 1;
    for (int x = area.rect.left(); x < area.rect.right(); ++x)
      for (int dy = 0; dy < 3; ++dy)
        blue += canvas_.pixelColor(x, y + dy) == QColor(0, 0, 255);
    return blue;
  };
  EXPECT_LT(underlinePixels(), area.rect.width() / 2);  // a:link: not underlined
  EXPECT_TRUE(drawer_.OnSetCursor(area.rect.center()));
  EXPECT_EQ(host.redraws, 1);
  EXPECT_EQ(drawer_.HoveredLink(), 1);
  EXPECT_TRUE(drawer_.OnSetCursor(area.rect.center()));
  EXPECT_EQ(host.redraws, 1);  // same link: no second request
  canvas_.fill(Qt::white);
  Draw(QRect(0, 0, 400, 40));
  EXPECT_GE(underlinePixels(), area.rect.width() - 2);  // a:hover: underlined
  EXPECT_FALSE(drawer_.OnSetCursor(QPoint(1, 1)));
  EXPECT_EQ(host.redraws, 2);
  EXPECT_EQ(drawer_.HoveredLink(), -2);
}

TEST_F(HtmlDrawerTest, MessageLinksGoToTheCallback) {
  QString received;
  drawer_.SetLinkCallback([&received](const QString& target) { received = target; });
  Measure(QStringLiteral("<a msg=\"retry now\">Retry</a>"));
  Draw(QRect(0, 0, 200, 30));
  ASSERT_EQ(drawer_.LinkAreas().size(), 1u);
  EXPECT_EQ(drawer_.LinkAreas()[0].kind, 2);
  drawer_.OnLButtonDown(drawer_.LinkAreas()[0].rect.center());
  EXPECT_EQ(received, QStringLiteral("retry now"));
}

TEST_F(HtmlDrawerTest, CentredAndRightAlignedLines) {
  Measure(
      QStringLiteral("<center><a href='c'>mid</a></center><br><right><a href='r'>end</a></right>"));
  Draw(QRect(0, 0, 300, 60));
  ASSERT_EQ(drawer_.LinkAreas().size(), 2u);
  EXPECT_EQ(drawer_.LinkAreas()[0].rect.left(), (300 - Width(QStringLiteral("mid"))) / 2);
  EXPECT_EQ(drawer_.LinkAreas()[1].rect.left(), 300 - Width(QStringLiteral("end")));
}

TEST(HtmlCss, Sizes) {
  SizeContext context;
  context.dpi = 96;
  context.fontHeight = 16;
  context.xHeight = 7;
  struct Case {
    const char* value;
    int current;
    bool fontSize;
    int expected;
  };
  const Case cases[] = {
      {"10pt", 16, true, 13},  {"5", 16, true, 18},    {"1", 16, true, 8},
      {"7", 16, true, 36},     {"5", 16, false, 5},    {"150%", 16, true, 24},
      {"2em", 16, true, 32},   {"2ex", 16, true, 14},  {"1in", 16, true, 96},
      {"2.54cm", 0, true, 96}, {"1pc", 0, true, 16},   {"12px", 16, true, 12},
      {"+3", 16, true, 12},    {"wide", 16, true, 16}, {"", 16, true, 16},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(html_css::ParseSize(QString::fromLatin1(c.value), c.current, context, c.fontSize),
              c.expected)
        << c.value;
  }
}

TEST(HtmlCss, Colours) {
  struct Case {
    const char* value;
    bool parsed;
    std::uint32_t colour;
  };
  const Case cases[] = {
      {"#ff9900", true, 0x0099FF},       {"#f90", false, 0x123456},
      {"red", true, 0x0000FF},           {"Cyan", true, 0xFFFF00},
      {"aqua", true, 0xFFFF00},          {"fuchsia", true, 0xFF00FF},
      {"magenta", true, 0xFF00FF},       {"lightgrey", true, 0xD3D3D3},
      {"yellowgreen", true, 0x32CD9A},   {"aliceblue", true, 0xFFF8F0},
      {"0x0000FF", true, 0x0000FF},      {"255", true, 0x0000FF},
      {"nosuchcolour", false, 0x123456}, {"transparent", false, 0x123456},
  };
  for (const Case& c : cases) {
    std::uint32_t colour = 0x123456;
    EXPECT_EQ(html_css::ParseColour(QString::fromLatin1(c.value), colour), c.parsed) << c.value;
    EXPECT_EQ(colour, c.colour) << c.value;
  }
  std::uint32_t face = 0;
  EXPECT_TRUE(html_css::ParseColour(QStringLiteral("buttonface"), face));
  std::uint32_t threed = 1;
  EXPECT_TRUE(html_css::ParseColour(QStringLiteral("threedface"), threed));
  EXPECT_EQ(face, threed);
}

TEST(HtmlCss, StyleSheetAndDeclarations) {
  const html_css::StyleSheet sheet = html_css::ParseStyleSheet(html_css::DefaultStyleSheetText());
  EXPECT_EQ(sheet.count(QStringLiteral("a:hover")), 1u);
  EXPECT_EQ(sheet.count(QStringLiteral(".cpp-comment")), 1u);
  const html_css::StyleSheet later =
      html_css::ParseStyleSheet(QStringLiteral("H1 {color:red} h1 {color:blue}"));
  EXPECT_EQ(later.at(QStringLiteral("h1")), QStringLiteral("color:blue"));

  HtmlStyle style;
  const SizeContext context;
  html_css::ApplyDeclarations(
      style,
      QStringLiteral("font-size: 10pt; color:#ff9900; font-family:\"Courier "
                     "New\"; font-weight:bold; text-decoration:underline "
                     "overline; vertical-align:top; background-color:red"),
      context, true, 0);
  EXPECT_EQ(style.size, 13);
  EXPECT_EQ(style.textColour, 0x0099FFu);
  EXPECT_EQ(style.face, QStringLiteral("Courier New"));
  EXPECT_EQ(style.weight, 700);
  EXPECT_TRUE(style.underline);
  EXPECT_TRUE(style.overline);
  EXPECT_EQ(style.vAlign, 0);
  EXPECT_EQ(style.backMode, 2);
  html_css::ApplyDeclarations(style,
                              QStringLiteral("text-decoration:; color:nosuch; border-style:dashed"),
                              context, true, 0);
  EXPECT_FALSE(style.underline);
  EXPECT_EQ(style.textColour, 0x0099FFu);  // unknown colour keeps the current one
  EXPECT_EQ(style.borderStyle, 2);
  EXPECT_EQ(style.borderWidth, 1);
  // Colour mode off: every colour is the fixed one, backgrounds are ignored.
  HtmlStyle plain;
  html_css::ApplyDeclarations(plain, QStringLiteral("color:red; background-color:blue"), context,
                              false, 0x808080);
  EXPECT_EQ(plain.textColour, 0x808080u);
  EXPECT_EQ(plain.backMode, 1);
}

}  // namespace
