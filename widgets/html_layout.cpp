#include "widgets/html_layout.h"

#include <QFontMetrics>
#include <QHash>
#include <QMutex>
#include <algorithm>

#include "widgets/draw_manager.h"
#include "widgets/string_resources.h"

namespace html_layout {

using html_css::MulDiv;
using html_markup::IsTag;
using html_markup::Token;

namespace {

const QString kBreakCharacters = QStringLiteral(" -.,!:;)}]?");

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

}  // namespace

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

namespace {

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

}  // namespace

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

int RegisterImageHandle(const QImage& image) {
  static int next = 0x100;
  QMutexLocker lock(&ImageHandlesLock());
  const int handle = next++;
  ImageHandles().insert(handle, image);
  return handle;
}

void ReleaseImageHandle(int handle) {
  QMutexLocker lock(&ImageHandlesLock());
  ImageHandles().remove(handle);
}

QImage ImageForHandle(int handle) {
  QMutexLocker lock(&ImageHandlesLock());
  return ImageHandles().value(handle);
}

}  // namespace html_layout
