#include "widgets/html_drawer.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHash>
#include <QMutex>
#include <QPaintDevice>
#include <QPainter>
#include <QPalette>
#include <QUrl>
#include <algorithm>
#include <array>
#include <utility>

#include "widgets/string_resources.h"

namespace {

using html_css::MulDiv;

// Entities, replaced one after the other in this order. "&lt;" becomes the doubled "<<", which
// the tag scanner reads as one literal less-than sign.
constexpr std::array<std::pair<const char16_t*, const char16_t*>, 13> kEntities = {{
    {u"&amp;", u"&"},
    {u"&bull;", u"\u2022"},
    {u"&copy;", u"\u00A9"},
    {u"&euro;", u"\u20AC"},
    {u"&gt;", u">"},
    {u"&iquest;", u"\u00BF"},
    {u"&lt;", u"<<"},
    {u"&nbsp;", u" "},
    {u"&para;", u"\u00B6"},
    {u"&pound;", u"\u00A3"},
    {u"&quot;", u"\""},
    {u"&reg;", u"\u00AE"},
    {u"&trade;", u"\u2122"},
}};

const QString kBreakCharacters = QStringLiteral(" -.,!:;)}]?");

struct Token {
  bool isTag = false;
  QString text;  // text run, or the tag name
  bool closing = false;
  std::vector<std::pair<QString, QString>> attributes;
  int number = -1;  // a bare number after the tag name ("<br 3>")

  QString Attribute(const char* name, bool* present = nullptr) const {
    for (const auto& [key, value] : attributes) {
      if (key == QLatin1String(name)) {
        if (present) *present = true;
        return value;
      }
    }
    if (present) *present = false;
    return {};
  }
};

Token ParseTag(const QString& inside) {
  Token tag;
  tag.isTag = true;
  qsizetype i = 0;
  const qsizetype n = inside.size();
  if (i < n && inside[i] == u'/') {
    tag.closing = true;
    ++i;
  }
  const qsizetype nameStart = i;
  while (i < n && !inside[i].isSpace())
    ++i;
  tag.text = inside.mid(nameStart, i - nameStart);
  while (i < n) {
    while (i < n && inside[i].isSpace())
      ++i;
    const qsizetype keyStart = i;
    while (i < n && !inside[i].isSpace() && inside[i] != u'=')
      ++i;
    const QString key = inside.mid(keyStart, i - keyStart);
    while (i < n && inside[i].isSpace())
      ++i;
    if (i < n && inside[i] == u'=') {
      ++i;
      while (i < n && inside[i].isSpace())
        ++i;
      QString value;
      if (i < n && (inside[i] == u'\'' || inside[i] == u'"')) {
        const QChar quote = inside[i++];
        const qsizetype close = inside.indexOf(quote, i);
        const qsizetype end = close < 0 ? n : close;
        value = inside.mid(i, end - i);
        i = close < 0 ? n : close + 1;
      } else {
        const qsizetype valueStart = i;
        while (i < n && !inside[i].isSpace())
          ++i;
        value = inside.mid(valueStart, i - valueStart);
      }
      if (!key.isEmpty()) tag.attributes.emplace_back(key, value);
    } else if (!key.isEmpty()) {
      bool ok = false;
      const int number = key.toInt(&ok);
      if (ok && tag.number < 0) tag.number = number;
    }
  }
  return tag;
}

std::vector<Token> Tokenize(const QString& text) {
  std::vector<Token> tokens;
  QString run;
  const auto flush = [&] {
    if (run.isEmpty()) return;
    Token token;
    token.text = run;
    tokens.push_back(std::move(token));
    run.clear();
  };
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = text[i];
    if (c != u'<') {
      run += c;
      continue;
    }
    if (i + 1 < n && text[i + 1] == u'<') {  // the doubled "<<" is one literal
      run += u'<';
      ++i;
      continue;
    }
    qsizetype j = i + 1;
    QChar quote;
    bool afterEquals = false;
    for (; j < n; ++j) {
      const QChar d = text[j];
      if (!quote.isNull()) {
        if (d == quote) quote = QChar();
      } else if (afterEquals && (d == u'\'' || d == u'"')) {
        quote = d;
      } else if (d == u'>') {
        break;
      }
      if (!d.isSpace()) afterEquals = d == u'=';
    }
    if (j >= n) {  // no end: the rest is text
      run += c;
      continue;
    }
    flush();
    tokens.push_back(ParseTag(text.mid(i + 1, j - i - 1)));
    i = j;
  }
  flush();
  return tokens;
}

// Tag families: opening one pushes the style, the closing tag pops only its own family.
QString FamilyOf(const QString& name) {
  static const QHash<QString, QString> kFamilies = [] {
    QHash<QString, QString> table;
    const auto add = [&](const char* tag, const char* family) {
      table.insert(QString::fromLatin1(tag), QString::fromLatin1(family));
    };
    add("b", "bold");
    add("i", "italic");
    add("em", "italic");
    add("u", "underline");
    add("s", "strikeout");
    add("strike", "strikeout");
    add("font", "font");
    for (const char* same :
         {"left", "center", "right", "justify", "baseline", "top", "body",  "h1",  "h2",  "h3",
          "h4",   "h5",     "h6",    "code",    "pre",      "big", "small", "sub", "sup", "span"}) {
      add(same, same);
    }
    add("vcenter", "vcenter");
    add("middle", "vcenter");
    add("bottom", "vcenter");
    add("a", "link");
    return table;
  }();
  return kFamilies.value(name);
}

QFont FontOf(const HtmlStyle& style) {
  QFont font(style.face);
  font.setPixelSize(std::max(1, style.size));
  font.setWeight(static_cast<QFont::Weight>(std::clamp(style.weight, 1, 1000)));
  font.setItalic(style.italic);
  font.setUnderline(style.underline);
  font.setStrikeOut(style.strikeout);
  font.setOverline(style.overline);
  return font;
}

QString Transformed(const QString& text, int transform) {
  switch (transform) {
    case 1:
      return text.toUpper();
    case 2:
      return text.toLower();
    case 3: {
      QString out = text.toLower();
      for (qsizetype i = 0; i < out.size(); ++i) {
        if ((i == 0 || out[i - 1] == u' ') && out[i] >= u'a' && out[i] <= u'z')
          out[i] = out[i].toUpper();
      }
      return out;
    }
    default:
      return text;
  }
}

QHash<int, QImage>& ImageHandles() {
  static QHash<int, QImage> handles;
  return handles;
}

QMutex& ImageHandlesLock() {
  static QMutex lock;
  return lock;
}

}  // namespace

// ---- Layout structures ---------------------------------------------------------------------

struct CHtmlDrawer::Layout {
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

namespace {

using Layout = CHtmlDrawer::Layout;

int LinesWidth(const std::vector<Layout::Line>& lines) {
  int width = 0;
  for (const Layout::Line& line : lines)
    width = std::max(width, line.width);
  return width;
}

int LinesHeight(const std::vector<Layout::Line>& lines) {
  int height = 0;
  for (const Layout::Line& line : lines)
    height += line.height;
  return height;
}

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
  void Open(const Token& tag, const QString& family) {
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

class LineBuilder {
 public:
  LineBuilder(const QPaintDevice* device, int maxWidth, int tabWidth)
      : device_(device), maxWidth_(maxWidth), tabWidth_(tabWidth) {}

  void AddText(QString run, const HtmlStyle& style, int link) {
    run = Transformed(run, style.textTransform);
    const QFont font = FontOf(style);
    const QFontMetrics metrics(font, const_cast<QPaintDevice*>(device_));
    while (!run.isEmpty()) {
      if (maxWidth_ <= 0) {
        PlaceText(run, font, metrics, style, link);
        return;
      }
      const int remaining = maxWidth_ - x_;
      if (metrics.horizontalAdvance(run) <= remaining) {
        PlaceText(run, font, metrics, style, link);
        return;
      }
      qsizetype best = -1;
      for (qsizetype p = 0; p < run.size(); ++p) {
        if (!kBreakCharacters.contains(run[p])) continue;
        if (metrics.horizontalAdvance(TrimmedRight(run.left(p + 1))) > remaining) break;
        best = p;
      }
      if (best >= 0) {
        const QString piece = TrimmedRight(run.left(best + 1));
        if (!piece.isEmpty()) PlaceText(piece, font, metrics, style, link);
        EndLine(true, metrics.height());
        run = TrimmedLeft(run.mid(best + 1));
        continue;
      }
      if (x_ == 0) {
        qsizetype k = 1;
        while (k < run.size() && metrics.horizontalAdvance(run.left(k + 1)) <= remaining)
          ++k;
        PlaceText(run.left(k), font, metrics, style, link);
        EndLine(true, metrics.height());
        run = run.mid(k);
        continue;
      }
      EndLine(true, metrics.height());
      run = TrimmedLeft(run);
    }
  }

  void AddImage(const QImage& image, QSize size, int imageStyle, const HtmlStyle& style, int link) {
    Layout::Item item;
    item.kind = Layout::kImage;
    item.image = image;
    item.imageStyle = imageStyle;
    item.style = style;
    item.width = size.width();
    item.ascent = size.height();
    item.link = link;
    Place(std::move(item));
  }

  void AddRule(int widthPixels, int percent, int thickness, std::uint32_t colour,
               const HtmlStyle& style) {
    if (!current_.items.empty()) EndLine(false, 0);
    Layout::Item item;
    item.kind = Layout::kRule;
    item.style = style;
    item.width = percent >= 0 ? 0 : widthPixels;
    item.rulePercent = percent;
    item.ruleSize = std::max(1, thickness);
    item.ruleColour = colour;
    const QFontMetrics metrics(FontOf(style), const_cast<QPaintDevice*>(device_));
    item.ascent = std::max(metrics.height(), item.ruleSize + 8);
    if (percent >= 0) current_.percent += percent;
    Place(std::move(item));
    EndLine(false, 0);
  }

  void Tab(int stops, const HtmlStyle& style) {
    const int target = (x_ / tabWidth_ + std::max(1, stops)) * tabWidth_;
    Layout::Item item;
    item.kind = Layout::kSpace;
    item.style = style;
    item.width = target - x_;
    Place(std::move(item));
  }

  void Break(int count, const HtmlStyle& style) {
    const QFontMetrics metrics(FontOf(style), const_cast<QPaintDevice*>(device_));
    for (int i = 0; i < std::max(1, count); ++i)
      EndLine(false, metrics.height());
  }

  std::vector<Layout::Line> Finish(const HtmlStyle& style) {
    if (!current_.items.empty()) {
      const QFontMetrics metrics(FontOf(style), const_cast<QPaintDevice*>(device_));
      EndLine(false, metrics.height());
    }
    return std::move(lines_);
  }

 private:
  static QString TrimmedRight(QString text) {
    while (text.endsWith(u' '))
      text.chop(1);
    return text;
  }
  static QString TrimmedLeft(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
      ++i;
    return text.mid(i);
  }

  void PlaceText(const QString& text, const QFont& font, const QFontMetrics& metrics,
                 const HtmlStyle& style, int link) {
    Layout::Item item;
    item.kind = Layout::kText;
    item.text = text;
    item.font = font;
    item.style = style;
    item.width = metrics.horizontalAdvance(text);
    item.ascent = metrics.ascent();
    item.descent = metrics.descent();
    item.link = link;
    current_.blanks += static_cast<int>(text.count(u' '));
    Place(std::move(item));
  }

  void Place(Layout::Item item) {
    if (!current_.alignSet) {
      current_.hAlign = item.style.hAlign;
      current_.alignSet = true;
    }
    item.x = x_;
    x_ += item.width;
    current_.width = x_;
    current_.items.push_back(std::move(item));
  }

  void EndLine(bool wrapped, int emptyHeight) {
    Layout::Line& line = current_;
    line.wrapped = wrapped;
    for (const Layout::Item& item : line.items) {
      line.ascent = std::max(line.ascent, item.ascent);
      line.descent = std::max(line.descent, item.descent);
    }
    line.height = line.items.empty() ? emptyHeight : line.ascent + line.descent;
    lines_.push_back(std::move(current_));
    current_ = Layout::Line();
    x_ = 0;
  }

  const QPaintDevice* device_;
  int maxWidth_;
  int tabWidth_;
  std::vector<Layout::Line> lines_;
  Layout::Line current_;
  int x_ = 0;
};

QImage LoadImageOf(const Token& tag, const Walker& walker) {
  bool present = false;
  const QString handle = tag.Attribute("handle", &present);
  if (present) {
    bool ok = false;
    const int id = handle.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)
                       ? handle.mid(2).toInt(&ok, 16)
                       : handle.toInt(&ok, 10);
    QMutexLocker lock(&ImageHandlesLock());
    return ok ? ImageHandles().value(id) : QImage();
  }
  if (tag.text == u"ilst" && walker.imageList != nullptr) {
    const int index = tag.Attribute("index").toInt();
    if (index >= 0 && index < static_cast<int>(walker.imageList->size()))
      return (*walker.imageList)[static_cast<std::size_t>(index)];
    return {};
  }
  const QString file = tag.Attribute("file");
  if (!file.isEmpty()) return QImage(file);
  const QString idres = tag.Attribute("idres");
  if (!idres.isEmpty()) return QImage(QStringLiteral(":/") + idres);
  return {};
}

int ImageStyleLetters(const QString& letters, bool shadowAllowed) {
  int style = 0;
  for (QChar c : letters) {
    if (c == u'g') style |= kImageGrey;
    if (c == u'd') style |= kImageDarker;
    if (c == u'l') style |= kImageLighter;
    if (c == u's' && shadowAllowed) style |= kImageShadow | kImageGradientShadow;
  }
  return style;
}

// Walks tokens [begin, end) as inline text.
std::vector<Layout::Line> LayoutInline(const std::vector<Token>& tokens, std::size_t begin,
                                       std::size_t end, Walker& walker, int maxWidth,
                                       int tabWidth) {
  LineBuilder builder(walker.device, maxWidth, tabWidth);
  for (std::size_t t = begin; t < end; ++t) {
    const Token& token = tokens[t];
    if (!token.isTag) {
      builder.AddText(token.text, walker.style,
                      walker.style.linkKind != 0 ? walker.currentLink : 0);
      continue;
    }
    const QString& name = token.text;
    const QString family = FamilyOf(name);
    if (!family.isEmpty()) {
      if (token.closing) {
        walker.Close(family);
      } else {
        walker.Open(token, family);
      }
      continue;
    }
    if (token.closing) continue;
    if (name == u"br") {
      builder.Break(token.number > 0 ? token.number : 1, walker.style);
    } else if (name == u"t") {
      builder.Tab(token.number > 0 ? token.number : 1, walker.style);
    } else if (name == u"hr") {
      HtmlStyle ruleStyle = walker.style;
      walker.stack.push_back(walker.style);
      walker.ApplyRule(QStringLiteral("hr"));
      ruleStyle = walker.style;
      walker.style = walker.stack.back();
      walker.stack.pop_back();
      const QString width = token.Attribute("width").trimmed();
      int percent = 100;
      int pixels = 0;
      if (!width.isEmpty()) {
        if (width.endsWith(u'%')) {
          percent = width.chopped(1).toInt();
        } else {
          percent = -1;
          pixels = width.toInt();
        }
      }
      const QString size = token.Attribute("size");
      std::uint32_t colour = ruleStyle.textColour;
      walker.Colour(token.Attribute("color"), colour);
      builder.AddRule(pixels, percent, size.isEmpty() ? 1 : size.toInt(), colour, ruleStyle);
    } else if (name == u"bmp" || name == u"icon" || name == u"ilst") {
      const QImage image = LoadImageOf(token, walker);
      if (image.isNull()) continue;  // an image that cannot be loaded takes no room
      const bool shadowAllowed = walker.shadowX != 0 || walker.shadowY != 0;
      const bool hot = walker.currentLink != 0 && walker.currentLink == walker.hovered;
      QString letters = token.Attribute("style");
      if (hot && !token.Attribute("hotstyle").isEmpty()) letters = token.Attribute("hotstyle");
      int imageStyle = ImageStyleLetters(letters, shadowAllowed);
      if (!walker.colourMode) imageStyle = kImageSingleColour;
      const auto dimension = [](const QString& value, int own) {
        if (value.isEmpty()) return own;
        if (value.endsWith(u'%')) return MulDiv(own, value.chopped(1).toInt(), 100);
        return value.toInt();
      };
      int cx = image.width();
      int cy = image.height();
      if (!token.Attribute("cx").isEmpty()) cx = token.Attribute("cx").toInt();
      if (!token.Attribute("cy").isEmpty()) cy = token.Attribute("cy").toInt();
      QSize size(dimension(token.Attribute("width"), cx), dimension(token.Attribute("height"), cy));
      if (imageStyle & kImageShadow) size += QSize(walker.shadowX, walker.shadowY);
      if (size.isEmpty()) continue;
      builder.AddImage(image, size, imageStyle, walker.style,
                       walker.style.linkKind != 0 ? walker.currentLink : 0);
    } else if (name == u"string") {
      QString id = token.Attribute("idres");
      if (id.isEmpty()) id = token.Attribute("iddll");
      const QString text = LoadStringResource(id.toUInt());
      if (!text.isEmpty())
        builder.AddText(text, walker.style, walker.style.linkKind != 0 ? walker.currentLink : 0);
    }
    // Anything else (p, script, ...) is skipped.
  }
  return builder.Finish(walker.style);
}

bool IsTag(const Token& token, const char* name, bool closing) {
  return token.isTag && token.closing == closing && token.text == QLatin1String(name);
}

void ApplyCellAttribute(Layout::Cell& cell, const QString& key, const QString& value,
                        const Walker& walker, int available) {
  HtmlStyle& style = cell.style;
  if (key == u"rowspan") cell.rowspan = std::max(1, value.toInt());
  if (key == u"colspan") cell.colspan = std::max(1, value.toInt());
  if (key == u"bgcolor" && walker.colourMode && walker.Colour(value, style.backColour)) {
    if (style.backEffect < 0) style.backEffect = kEffectSolid;
    style.backMiddle = style.backEnd = style.backColour;
  }
  if (key == u"bgmidcolor") walker.Colour(value, style.backMiddle);
  if (key == u"bgendcolor") walker.Colour(value, style.backEnd);
  if (key == u"bgeffect" && walker.colourMode) {
    const int effect = html_css::EffectByName(value);
    if (effect >= -1) style.backEffect = effect;
  }
  if (key == u"bordercolor" && walker.Colour(value, style.borderLight))
    style.borderDark = style.borderLight;
  if (key == u"bordercolorlight") walker.Colour(value, style.borderLight);
  if (key == u"bordercolordark") walker.Colour(value, style.borderDark);
  if (key == u"align") {
    style.hAlign = value == u"center" ? 1 : value == u"right" ? 2 : value == u"justify" ? 3 : 0;
  }
  if (key == u"valign") {
    cell.valign = value == u"top" ? 0 : value == u"bottom" ? 2 : 1;
  }
  if (key == u"width") {
    cell.ownWidth =
        value.endsWith(u'%') ? MulDiv(available, value.chopped(1).toInt(), 100) : value.toInt();
  }
  if (key == u"height") cell.ownHeight = value.toInt();
}

Layout::Table LayoutTable(const std::vector<Token>& tokens, std::size_t begin, std::size_t end,
                          Walker& walker, int available, int tabWidth) {
  Layout::Table table;
  table.style = walker.style;
  table.style.backEffect = -1;
  table.style.borderStyle = 0;
  table.style.borderWidth = 0;
  const Token& open = tokens[begin];
  for (const auto& [key, value] : open.attributes) {
    if (key == u"cellpadding") table.margin = std::max(0, value.toInt());
    if (key == u"cellspacing") table.spacing = std::max(0, value.toInt());
    if (key == u"background") table.background = value;
    if (key == u"border") {
      table.style.borderWidth = std::max(0, value.toInt());
      table.style.borderStyle = table.style.borderWidth > 0 ? 1 : 0;
    }
    if (key == u"borderstyle") {
      html_css::ApplyDeclarations(table.style, QStringLiteral("border-style:") + value,
                                  walker.Context(), walker.colourMode, walker.fixedColour);
    }
    if (key == u"align") table.align = value == u"center" ? 1 : value == u"right" ? 2 : 0;
    if (key == u"width") {
      table.ownWidth =
          value.endsWith(u'%') ? MulDiv(available, value.chopped(1).toInt(), 100) : value.toInt();
    }
    Layout::Cell scratch;
    scratch.style = table.style;
    if (key.startsWith(QStringLiteral("bg")) || key.startsWith(QStringLiteral("bordercolor"))) {
      ApplyCellAttribute(scratch, key, value, walker, available);
      table.style = scratch.style;
    }
  }
  if (table.style.borderWidth == 0) table.style.borderStyle = 0;
  if (table.style.borderStyle != 0 && table.style.borderStyle != 1) table.style.borderWidth = 1;

  std::size_t t = begin + 1;
  while (t < end) {
    if (!IsTag(tokens[t], "tr", false)) {
      ++t;
      continue;
    }
    std::vector<Layout::Cell> row;
    ++t;
    while (t < end && !IsTag(tokens[t], "tr", true) && !IsTag(tokens[t], "tr", false)) {
      if (!IsTag(tokens[t], "td", false)) {
        ++t;
        continue;
      }
      Layout::Cell cell;
      cell.style = walker.style;
      cell.style.backEffect = -1;
      cell.style.margin = table.margin;
      for (const auto& [key, value] : tokens[t].attributes)
        ApplyCellAttribute(cell, key, value, walker, available);
      std::size_t contentEnd = t + 1;
      while (contentEnd < end && !IsTag(tokens[contentEnd], "td", true) &&
             !IsTag(tokens[contentEnd], "td", false) && !IsTag(tokens[contentEnd], "tr", true))
        ++contentEnd;
      Walker inner = walker;
      inner.style = cell.style;
      inner.stack.clear();
      const int cellMax =
          walker.style.width > 0 ? 0 : (available > 0 && cell.ownWidth > 0 ? cell.ownWidth : 0);
      cell.lines = LayoutInline(tokens, t + 1, contentEnd, inner, cellMax, tabWidth);
      walker.linkCount = inner.linkCount;
      cell.contentWidth = LinesWidth(cell.lines);
      cell.contentHeight = LinesHeight(cell.lines);
      row.push_back(std::move(cell));
      t = contentEnd;
      if (t < end && IsTag(tokens[t], "td", true)) ++t;
    }
    if (t < end && IsTag(tokens[t], "tr", true)) ++t;
    table.rows.push_back(std::move(row));
  }

  // Columns and rows from the cells.
  std::size_t columnCount = 0;
  for (auto& row : table.rows) {
    std::size_t column = 0;
    for (Layout::Cell& cell : row) {
      cell.column = static_cast<int>(column);
      column += static_cast<std::size_t>(cell.colspan);
    }
    columnCount = std::max(columnCount, column);
  }
  table.columns.assign(columnCount, 0);
  std::vector<bool> ownWidth(columnCount, false);
  table.rowHeights.assign(table.rows.size(), 0);
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    for (const Layout::Cell& cell : table.rows[r]) {
      const auto c = static_cast<std::size_t>(cell.column);
      if (cell.colspan == 1) {
        // A width of its own is a minimum: the content and its padding always fit.
        if (cell.ownWidth > 0) ownWidth[c] = true;
        table.columns[c] =
            std::max({table.columns[c], cell.ownWidth, cell.contentWidth + 2 * table.margin});
      }
      if (cell.rowspan == 1) {
        table.rowHeights[r] =
            std::max({table.rowHeights[r], cell.ownHeight, cell.contentHeight + 2 * table.margin});
      }
    }
  }
  const int borderAllowance = table.style.borderStyle == 6 ? 6 : 2 * table.style.borderWidth;
  const auto totalWidth = [&] {
    int width = borderAllowance;
    for (int column : table.columns)
      width += column + table.spacing;
    return width;
  };
  const int target = table.ownWidth > 0 ? table.ownWidth : available;
  int difference = target - totalWidth();
  if (difference > 0) {
    int free = static_cast<int>(std::count(ownWidth.begin(), ownWidth.end(), false));
    for (std::size_t c = 0; c < columnCount && free > 0; ++c) {
      if (ownWidth[c]) continue;
      const int share = difference / free;
      table.columns[c] += share;
      difference -= share;
      --free;
    }
  }
  table.width = totalWidth();
  int height = table.spacing + borderAllowance;
  for (int rowHeight : table.rowHeights)
    height += rowHeight + table.spacing + 1;
  table.height = table.rows.empty() ? 0 : height;
  return table;
}

struct DrawContext {
  QPainter* painter = nullptr;
  CDrawManager* draw = nullptr;
  std::vector<LinkArea>* links = nullptr;
  const std::vector<Token>* tokens = nullptr;
  std::vector<QString> targets;  // link index - 1 -> target
  std::vector<int> kinds;
};

void DrawLines(DrawContext& context, const std::vector<Layout::Line>& lines, const QRect& area,
               int top) {
  QPainter& painter = *context.painter;
  int y = top;
  const int available = area.width();
  for (const Layout::Line& line : lines) {
    const int lineWidth = line.width + available * line.percent / 100;
    int x = area.left();
    if (line.hAlign == 1) x = area.left() + (available - lineWidth) / 2;
    if (line.hAlign == 2) x = area.left() + available - lineWidth;
    const bool justify = line.hAlign == 3 && line.wrapped && line.blanks > 0;
    const int extra = justify ? std::max(0, available - lineWidth) : 0;
    int blanksSeen = 0;
    int shift = 0;  // the justification added so far
    for (const Layout::Item& item : line.items) {
      const int itemX = x + item.x + shift;
      const int itemHeight = item.ascent + item.descent;
      int itemTop = y;
      switch (item.style.vAlign) {
        case 0:
          itemTop = y;
          break;
        case 1:
          itemTop = y + (line.height - itemHeight) / 2;
          break;
        case 2:
          itemTop = y + line.height - itemHeight;
          break;
        default:
          itemTop = item.kind == Layout::kText ? y + line.ascent - item.ascent
                                               : y + line.height - line.descent - itemHeight;
          break;
      }
      int itemWidth = item.width;
      if (item.kind == Layout::kText) {
        painter.setFont(item.font);
        painter.setPen(CDrawManager::ToQColor(item.style.textColour));
        if (justify) {
          // Words one by one, each blank widened by its share of the spare width.
          const QFontMetrics metrics(item.font, painter.device());
          int wordX = itemX;
          const QStringList words = item.text.split(u' ');
          for (qsizetype w = 0; w < words.size(); ++w) {
            if (w > 0) {
              ++blanksSeen;
              const int add =
                  extra * blanksSeen / line.blanks - extra * (blanksSeen - 1) / line.blanks;
              wordX += metrics.horizontalAdvance(u' ') + add;
              shift += add;
            }
            painter.drawText(wordX, itemTop + item.ascent, words[w]);
            wordX += metrics.horizontalAdvance(words[w]);
          }
          itemWidth = wordX - itemX;
        } else {
          if (item.style.backMode == 2) {
            painter.fillRect(QRect(itemX, itemTop, item.width, itemHeight),
                             CDrawManager::ToQColor(item.style.backColour));
          }
          painter.drawText(itemX, itemTop + item.ascent, item.text);
        }
      } else if (item.kind == Layout::kImage) {
        context.draw->DrawImage(painter, QPoint(itemX, itemTop), QSize(item.width, item.ascent),
                                item.image, item.imageStyle);
      } else if (item.kind == Layout::kRule) {
        const int width = item.rulePercent >= 0 ? available * item.rulePercent / 100 : item.width;
        itemWidth = width;
        const int middle = y + line.height / 2;
        painter.fillRect(QRect(itemX, middle - item.ruleSize / 2, width, item.ruleSize),
                         CDrawManager::ToQColor(item.ruleColour));
      }
      if (item.link > 0) {
        LinkArea link;
        link.rect = QRect(itemX, y, itemWidth, line.height);
        link.index = item.link;
        link.kind = item.style.linkKind;
        link.target = item.style.linkTarget;
        context.links->push_back(std::move(link));
      }
    }
    y += line.height;
  }
}

void DrawTable(DrawContext& context, const Layout::Table& table, const QRect& area, int top) {
  QPainter& painter = *context.painter;
  int left = area.left();
  if (table.width < area.width()) {
    if (table.align == 1) left += (area.width() - table.width) / 2;
    if (table.align == 2) left += area.width() - table.width;
  }
  const QRect whole(left, top, table.width, table.height);
  const HtmlStyle& style = table.style;
  if (style.backEffect >= 0) {
    context.draw->FillEffect(painter, whole, style.backEffect, style.backColour, style.backMiddle,
                             style.backEnd, 5);
  } else if (!table.background.isEmpty()) {
    const QImage image(table.background);
    if (!image.isNull()) painter.drawTiledPixmap(whole, QPixmap::fromImage(image));
  }
  const int border = style.borderStyle == 6 ? 3 : style.borderWidth;
  if (style.borderStyle != 0) {
    context.draw->DrawRectangle(painter, whole, style.borderLight, style.borderDark,
                                style.borderStyle == 6 ? kPenDouble : style.borderStyle,
                                style.borderStyle == 6 ? 1 : style.borderWidth);
  }
  const int originX = left + border;
  const int originY = top + border;
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    int cellTop = originY + table.spacing;
    for (std::size_t k = 0; k < r; ++k)
      cellTop += table.rowHeights[k] + table.spacing + 1;
    for (const Layout::Cell& cell : table.rows[r]) {
      int cellLeft = originX + table.spacing;
      for (int c = 0; c < cell.column; ++c)
        cellLeft += table.columns[static_cast<std::size_t>(c)] + table.spacing + 1;
      int width = (cell.colspan - 1) * (table.spacing + 1);
      for (int c = cell.column;
           c < cell.column + cell.colspan && c < static_cast<int>(table.columns.size()); ++c)
        width += table.columns[static_cast<std::size_t>(c)];
      int height = (cell.rowspan - 1) * (table.spacing + 1);
      for (std::size_t k = r;
           k < r + static_cast<std::size_t>(cell.rowspan) && k < table.rowHeights.size(); ++k)
        height += table.rowHeights[k];
      const QRect cellRect(cellLeft, cellTop, width, height);
      if (cell.style.backEffect >= 0) {
        context.draw->FillEffect(painter, cellRect, cell.style.backEffect, cell.style.backColour,
                                 cell.style.backMiddle, cell.style.backEnd, 5);
      }
      if (style.borderStyle != 0) {
        context.draw->DrawRectangle(painter, cellRect, cell.style.borderDark,
                                    cell.style.borderLight, kPenSolid, 1);
      }
      const QRect inside =
          cellRect.adjusted(table.margin, table.margin, -table.margin, -table.margin);
      int contentTop = inside.top();
      if (cell.valign == 1) contentTop += (inside.height() - cell.contentHeight) / 2;
      if (cell.valign == 2) contentTop += inside.height() - cell.contentHeight;
      DrawLines(context, cell.lines, inside, contentTop);
    }
  }
}

}  // namespace

// ---- CHtmlDrawer ---------------------------------------------------------------------------

CHtmlDrawer::CHtmlDrawer()
    : styleSheet_(html_css::ParseStyleSheet(html_css::DefaultStyleSheetText())) {
  fixedColour_ = CDrawManager::FromQColor(QGuiApplication::palette().color(QPalette::Mid));
}

QString CHtmlDrawer::PrepareText(const QString& text, bool newlineMode) {
  QString out = text;
  for (const auto& [entity, replacement] : kEntities)
    out.replace(QString::fromUtf16(entity), QString::fromUtf16(replacement));
  out.remove(u'\r');
  if (newlineMode) {
    out.replace(u'\n', QStringLiteral("<br>"));
    out.replace(u'\t', QStringLiteral("<t>"));
  } else {
    out.remove(u'\n');
    out.remove(u'\t');
  }
  return out;
}

QString CHtmlDrawer::VisibleText(const QString& markup) {
  QString out;
  for (const Token& token : Tokenize(PrepareText(markup, true))) {
    if (!token.isTag) {
      out += token.text;
    } else if (!token.closing && token.text == u"br") {
      out += QString(token.number > 0 ? token.number : 1, u'\n');
    }
  }
  return out;
}

int CHtmlDrawer::RegisterImageHandle(const QImage& image) {
  static int next = 0x100;
  QMutexLocker lock(&ImageHandlesLock());
  const int handle = next++;
  ImageHandles().insert(handle, image);
  return handle;
}

void CHtmlDrawer::ReleaseImageHandle(int handle) {
  QMutexLocker lock(&ImageHandlesLock());
  ImageHandles().remove(handle);
}

QUrl CHtmlDrawer::LinkTargetUrl(const QString& target) {
  const QUrl asUrl(target, QUrl::StrictMode);
  // A one-letter "scheme" is the drive letter of a local path.
  const bool hasScheme = asUrl.isValid() && asUrl.scheme().size() > 1;
  return hasScheme ? asUrl : QUrl::fromLocalFile(target);
}

void CHtmlDrawer::SetRedrawTarget(QObject* target, int eventType) {
  redrawTarget_ = target;
  redrawEvent_ = eventType;
}

void CHtmlDrawer::SetLinkCallback(std::function<void(const QString&)> callback) {
  linkCallback_ = std::move(callback);
}

void CHtmlDrawer::SetStyleSheet(const QString& text) {
  styleSheet_ = html_css::ParseStyleSheet(text.isNull() ? html_css::DefaultStyleSheetText() : text);
}

void CHtmlDrawer::SetColorMode(bool on, std::uint32_t fixedColour) {
  colourMode_ = on;
  fixedColour_ = fixedColour;
}

void CHtmlDrawer::RunLayout(const QPaintDevice& device, int availableWidth, QPainter* painter,
                            const QRect& rect) {
  const std::vector<Token> tokens = Tokenize(text_);
  Walker walker;
  walker.device = &device;
  walker.sheet = &styleSheet_;
  walker.hovered = hovered_;
  walker.colourMode = colourMode_;
  walker.fixedColour = fixedColour_;
  walker.imageList = &imageList_;
  walker.shadowX = shadow_.offsetX;
  walker.shadowY = shadow_.offsetY;
  walker.ApplyRule(QStringLiteral("body"));

  Layout layout;
  std::size_t t = 0;
  while (t < tokens.size()) {
    std::size_t tableAt = t;
    while (tableAt < tokens.size() && !IsTag(tokens[tableAt], "table", false))
      ++tableAt;
    if (tableAt > t) {
      Layout::Block block;
      block.lines = LayoutInline(tokens, t, tableAt, walker, maxWidth_, tabWidth_);
      layout.blocks.push_back(std::move(block));
    }
    if (tableAt >= tokens.size()) break;
    std::size_t tableEnd = tableAt + 1;
    while (tableEnd < tokens.size() && !IsTag(tokens[tableEnd], "table", true))
      ++tableEnd;
    Layout::Block block;
    block.isTable = true;
    block.table = LayoutTable(tokens, tableAt, tableEnd, walker, availableWidth, tabWidth_);
    layout.blocks.push_back(std::move(block));
    t = tableEnd + 1;
  }

  int width = 0;
  int height = 0;
  for (const Layout::Block& block : layout.blocks) {
    width = std::max(width, block.isTable ? block.table.width : LinesWidth(block.lines));
    height += block.isTable ? block.table.height : LinesHeight(block.lines);
  }
  measured_ = QSize(width, height);
  if (painter == nullptr) return;

  links_.clear();
  DrawContext context;
  context.painter = painter;
  context.draw = &draw_;
  context.links = &links_;
  int y = rect.top();
  painter->save();
  painter->setClipRect(rect, Qt::IntersectClip);
  for (const Layout::Block& block : layout.blocks) {
    if (block.isTable) {
      DrawTable(context, block.table, rect, y);
      y += block.table.height;
    } else {
      DrawLines(context, block.lines, rect, y);
      y += LinesHeight(block.lines);
    }
  }
  painter->restore();
}

QSize CHtmlDrawer::Measure(const QPaintDevice& device, const QString& text) {
  text_ = PrepareText(text, newlineMode_);
  RunLayout(device, maxWidth_, nullptr, QRect());
  if (measured_.isEmpty()) {
    text_.clear();
    links_.clear();
    return QSize(0, 0);
  }
  int width = measured_.width();
  if (maxWidth_ > 0) width = std::min(width, maxWidth_);
  return QSize(width + 1, measured_.height() + 1);
}

void CHtmlDrawer::Draw(QPainter& painter, const QRect& rect) {
  if (text_.isEmpty() || painter.device() == nullptr) return;
  RunLayout(*painter.device(), rect.width(), &painter, rect);
}

bool CHtmlDrawer::OnSetCursor(QPoint point) {
  for (const LinkArea& area : links_) {
    const QRect r = area.rect;
    const bool inside = point.x() >= r.left() && point.x() <= r.left() + r.width() &&
                        point.y() >= r.top() && point.y() <= r.top() + r.height();
    if (!inside) continue;
    if (area.index != hovered_) {
      hovered_ = area.index;
      if (redrawTarget_ != nullptr) {
        QEvent redraw(static_cast<QEvent::Type>(redrawEvent_));
        QCoreApplication::sendEvent(redrawTarget_, &redraw);
      }
    }
    return !area.target.isEmpty();
  }
  if (hovered_ != -2) {
    hovered_ = -2;
    if (redrawTarget_ != nullptr) {
      QEvent redraw(static_cast<QEvent::Type>(redrawEvent_));
      QCoreApplication::sendEvent(redrawTarget_, &redraw);
    }
  }
  return false;
}

void CHtmlDrawer::OnLButtonDown(QPoint point) {
  for (const LinkArea& area : links_) {
    const QRect r = area.rect;
    const bool inside = point.x() >= r.left() && point.x() <= r.left() + r.width() &&
                        point.y() >= r.top() && point.y() <= r.top() + r.height();
    if (!inside) continue;
    if (area.target.isEmpty()) return;
    if (area.kind == 1) {
      QDesktopServices::openUrl(LinkTargetUrl(area.target));
    } else if (area.kind == 2 && linkCallback_) {
      linkCallback_(area.target);
    }
    return;
  }
}
