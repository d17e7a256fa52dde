#include "widgets/html_drawer.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QPalette>
#include <QUrl>
#include <algorithm>
#include <utility>

#include "widgets/html_layout.h"
#include "widgets/html_markup.h"

namespace {

using html_layout::Layout;
using html_layout::LayoutInline;
using html_layout::LayoutTable;
using html_layout::LinesHeight;
using html_layout::LinesWidth;
using html_layout::Walker;
using html_markup::IsTag;
using html_markup::Token;

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
  QString out = html_markup::ReplaceEntities(text);
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
  for (const Token& token : html_markup::Tokenize(PrepareText(markup, true))) {
    if (!token.isTag) {
      out += token.text;
    } else if (!token.closing && token.text == u"br") {
      out += QString(token.number > 0 ? token.number : 1, u'\n');
    }
  }
  return out;
}

int CHtmlDrawer::RegisterImageHandle(const QImage& image) {
  return html_layout::RegisterImageHandle(image);
}

void CHtmlDrawer::ReleaseImageHandle(int handle) {
  html_layout::ReleaseImageHandle(handle);
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
  const std::vector<Token> tokens = html_markup::Tokenize(text_);
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
