// The layout of a marked-up text: the walk over its tokens with the style stack, lines of
// placed items with word wrap and tab stops, and tables with their cell geometry. The same walk
// serves measuring and drawing.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPaintDevice>
#include <QString>
#include <cstdint>
#include <vector>

#include "widgets/html_css.h"
#include "widgets/html_markup.h"
#include "widgets/html_style.h"

namespace html_layout {

struct Layout {
  enum Kind { kText, kImage, kRule, kSpace };
  struct Item {
    Kind kind = kText;
    QString text;
    QFont font;
    HtmlStyle style;
    int x = 0;
    int width = 0;
    int ascent = 0;
    int descent = 0;
    int link = 0;  // link index, 0 outside links
    QImage image;
    int imageStyle = 0;
    int rulePercent = -1;  // a percent-wide rule; -1 for a fixed width
    int ruleSize = 1;
    std::uint32_t ruleColour = 0;
  };
  struct Line {
    std::vector<Item> items;
    int width = 0;
    int hAlign = 0;
    bool alignSet = false;
    int percent = 0;
    int blanks = 0;
    bool wrapped = false;
    int ascent = 0;
    int descent = 0;
    int height = 0;
  };
  struct Cell {
    std::vector<Line> lines;
    HtmlStyle style;
    int colspan = 1;
    int rowspan = 1;
    int ownWidth = 0;
    int ownHeight = 0;
    int valign = 1;
    int contentWidth = 0;
    int contentHeight = 0;
    int column = 0;
  };
  struct Table {
    std::vector<std::vector<Cell>> rows;
    HtmlStyle style;
    int align = 0;
    int ownWidth = 0;
    int margin = 2;
    int spacing = 0;
    QString background;
    std::vector<int> columns;
    std::vector<int> rowHeights;
    int width = 0;
    int height = 0;
  };
  struct Block {
    bool isTable = false;
    std::vector<Line> lines;
    Table table;
  };
  std::vector<Block> blocks;
};

QFont FontOf(const HtmlStyle& style);
int LinesWidth(const std::vector<Layout::Line>& lines);
int LinesHeight(const std::vector<Layout::Line>& lines);

// Everything the walk needs besides the tokens: the style stack, the link count, the settings.
struct Walker {
  const QPaintDevice* device = nullptr;
  const html_css::StyleSheet* sheet = nullptr;
  std::vector<HtmlStyle> stack;
  HtmlStyle style;
  int linkCount = 0;
  int currentLink = 0;
  int hovered = -2;
  bool colourMode = true;
  std::uint32_t fixedColour = 0x808080;
  const std::vector<QImage>* imageList = nullptr;
  int shadowX = 4;
  int shadowY = 4;

  SizeContext Context() const {
    SizeContext context;
    context.dpi = device != nullptr ? device->logicalDpiY() : 96;
    const QFontMetrics metrics(FontOf(style), const_cast<QPaintDevice*>(device));
    context.fontHeight = style.size;
    context.xHeight = metrics.xHeight();
    return context;
  }

  void ApplyRule(const QString& selector) {
    const auto found = sheet->find(selector);
    if (found == sheet->end()) return;
    html_css::ApplyDeclarations(style, found->second, Context(), colourMode, fixedColour);
  }

  bool Colour(const QString& value, std::uint32_t& target) const {
    std::uint32_t parsed = target;
    if (!html_css::ParseColour(value, parsed)) return false;
    target = colourMode ? parsed : fixedColour;
    return true;
  }

  void ApplyFontStyleLetters(const QString& letters) {
    bool on = true;
    for (QChar c : letters) {
      if (c == u'-') {
        on = false;
        continue;
      }
      if (c == u'+') {
        on = true;
        continue;
      }
      if (c == u'b') style.weight = on ? 700 : 400;
      if (c == u'i') style.italic = on;
      if (c == u'u') style.underline = on;
      if (c == u's') style.strikeout = on;
      if (c == u'o') style.overline = on;
      on = true;
    }
  }

  // A paired tag opened: push, set the family, apply the tag.
  void Open(const html_markup::Token& tag, const QString& family) {
    stack.push_back(style);
    style.family = family;
    const QString& name = tag.text;
    if (name == u"b") {
      style.weight = std::min(900, style.weight * 2);
    } else if (name == u"i" || name == u"em") {
      style.italic = !style.italic;
    } else if (name == u"u") {
      style.underline = !style.underline;
    } else if (name == u"s" || name == u"strike") {
      style.strikeout = !style.strikeout;
    } else if (name == u"font") {
      for (const auto& [key, value] : tag.attributes) {
        if (key == u"face" && !value.isEmpty()) style.face = value;
        if (key == u"size") style.size = html_css::ParseSize(value, style.size, Context(), true);
        if (key == u"color") Colour(value, style.textColour);
        if (key == u"style") ApplyFontStyleLetters(value);
        if (key == u"weight")
          html_css::ApplyDeclarations(style, QStringLiteral("font-weight:") + value, Context(),
                                      colourMode, fixedColour);
        if (key == u"bkgnd" && colourMode) {
          if (value == u"transparent") {
            style.backMode = 1;
          } else if (Colour(value, style.backColour)) {
            style.backMode = 2;
          }
        }
      }
    } else if (name == u"left" || name == u"center" || name == u"right" || name == u"justify") {
      style.hAlign = name == u"left" ? 0 : name == u"center" ? 1 : name == u"right" ? 2 : 3;
    } else if (name == u"baseline") {
      style.vAlign = 3;
    } else if (name == u"top") {
      style.vAlign = 0;
    } else if (name == u"vcenter" || name == u"middle") {
      style.vAlign = 1;
    } else if (name == u"bottom") {
      style.vAlign = 2;
    } else if (name == u"span") {
      const QString cls = tag.Attribute("class");
      if (!cls.isEmpty()) ApplyRule(u'.' + cls.toLower());
    } else if (name == u"a") {
      style.linkKind = 2;
      style.linkTarget.clear();
      bool present = false;
      const QString href = tag.Attribute("href", &present);
      if (present) {
        style.linkKind = 1;
        style.linkTarget = href;
      }
      const QString msg = tag.Attribute("msg", &present);
      if (present) {
        style.linkKind = 2;
        style.linkTarget = msg;
      }
      currentLink = ++linkCount;
      ApplyRule(currentLink == hovered ? QStringLiteral("a:hover") : QStringLiteral("a:link"));
    } else {
      ApplyRule(name);  // body, h1-h6, code, pre, big, small, sub, sup
    }
  }

  void Close(const QString& family) {
    if (style.family != family || stack.empty()) return;
    style = stack.back();
    stack.pop_back();
    if (style.linkKind == 0) currentLink = 0;
  }
};

// Walks tokens [begin, end) as inline text.
std::vector<Layout::Line> LayoutInline(const std::vector<html_markup::Token>& tokens,
                                       std::size_t begin, std::size_t end, Walker& walker,
                                       int maxWidth, int tabWidth);
// Lays out the table whose opening tag is tokens[begin]; end is its closing tag.
Layout::Table LayoutTable(const std::vector<html_markup::Token>& tokens, std::size_t begin,
                          std::size_t end, Walker& walker, int available, int tabWidth);

// Images the markup names by handle.
int RegisterImageHandle(const QImage& image);
void ReleaseImageHandle(int handle);
QImage ImageForHandle(int handle);

}  // namespace html_layout
